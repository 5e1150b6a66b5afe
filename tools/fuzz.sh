#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given seconds (default 20).
# Long runs by hand: bash tools/fuzz.sh 1800
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-20}"

# Both compilers clang: the generated Wayland protocol code is C and takes the fuzzing flags too.
CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DKELVANE_FUZZ=ON -DKELVANE_TESTS=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
if ! cmake --build build/fuzz >build/fuzz/build.log 2>&1; then
  grep -B2 -A8 -E 'FAILED|error' build/fuzz/build.log | head -60
  echo "the fuzz targets did not build; the whole log is build/fuzz/build.log"
  exit 1
fi
build/fuzz/fuzz/make_fuzz_seeds build/fuzz/seeds

# Allocations system libraries keep for the process's life are not leaks of ours.
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"

for target in build/fuzz/fuzz/*_fuzz; do
  name=$(basename "$target" _fuzz)
  mkdir -p "build/fuzz/corpus/$name" build/fuzz/findings
  log="build/fuzz/$name.log"
  # A picture file of up to 1 KB holds a few megapixels at the most: deciding it takes little
  # memory and time, and a reader that allocates what a chunk claims is caught.
  limits=(-rss_limit_mb=2048)
  [ "$name" = png ] && limits=(-max_len=1024 -malloc_limit_mb=64 -rss_limit_mb=512 -timeout=10)
  echo "fuzzing $name for ${seconds}s"
  if ! "$target" -max_total_time="$seconds" -print_final_stats=1 "${limits[@]}" \
       -artifact_prefix=build/fuzz/findings/ \
       "build/fuzz/corpus/$name" "build/fuzz/seeds/$name" >"$log" 2>&1; then
    tail -40 "$log"
    echo "fuzz target $name found a fault; the input is in build/fuzz/findings/"
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|peak_rss_mb)' "$log" | sed 's/^/  /'
done
