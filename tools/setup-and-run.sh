#!/usr/bin/env bash
# Installs what is missing, builds the suite and runs the saver on its own demo settings:
# full screen on the real display when there is one (a key ends it), otherwise headless for
# a few seconds, leaving screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVANE_TESTS=OFF >/dev/null
cmake --build build/release

demo="$PWD/build/demo"
mkdir -p "$demo"
export KELVANE_ROOT="$demo"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${KELVANE_DISPLAY:-}" ]; then
  echo "The saver runs full screen: press a key or click to end it."
  exec build/release/kelvane-saver /s
fi

script="$demo/script"
cat > "$script" <<SCRIPT
at 1000 screenshot $demo/screen-1.png
at 5000 screenshot $demo/screen-2.png
at 5100 quit
SCRIPT
KELVANE_DISPLAY="${KELVANE_DISPLAY:-headless}" KELVANE_SCRIPT="$script" build/release/kelvane-saver /s
echo "No display: the saver ran headless. Screenshots:"
ls -1 "$demo"/screen-*.png
