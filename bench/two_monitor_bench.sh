#!/usr/bin/env bash
# The saver's processor load and memory on two 1920x1080 monitors against one, in the same run:
# saver_run_bench on an Xvfb of one 1920x1080 monitor and on one of two (RandR monitors side by
# side, the primary on the right), taken in turns, ROUNDS times each.
#
#   bash bench/two_monitor_bench.sh [SECONDS] [ROUNDS]     (30 s and 2 rounds by default)
#   KELVANE_BUILD=build/bench                              the build holding saver_run_bench
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
rounds="${2:-2}"
bench="${KELVANE_BUILD:-build/bench}/bench/saver_run_bench"
[ -x "$bench" ] || { echo "build $bench first"; exit 2; }

servers=()
cleanup() { for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null || true; done; }
trap cleanup EXIT
started=""
start_xvfb() {  # sets started to the display name; the server is ended on exit
  local fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -noreset -nolisten tcp -screen 0 "$1" 3>"$fifo" >/dev/null 2>&1 &
  servers+=($!)
  started=":$(head -n1 "$fifo")"
  rm -f "$fifo"
}
start_xvfb 1920x1080x24
one=$started
start_xvfb 3840x1080x24
two=$started
DISPLAY=$two xrandr --setmonitor LEFT 1920/508x1080/286+0+0 screen >/dev/null
DISPLAY=$two xrandr --setmonitor '*RIGHT' 1920/508x1080/286+1920+0 none

measure() {  # display -> "cpu memory" (CPU % outside transitions, peak MB)
  KELVANE_BENCH_X_DISPLAY=$1 "$bench" "$seconds" |
    awk '/CPU outside transitions/ { cpu = $4 } /peak resident memory/ { mb = $4 } END { sub("%", "", cpu); print cpu, mb }'
}
echo "saver_run_bench $seconds s on X, one 1920x1080 monitor against two, $rounds rounds:"
for round in $(seq "$rounds"); do
  read -r cpu1 mb1 < <(measure "$one")
  read -r cpu2 mb2 < <(measure "$two")
  awk -v r="$round" -v c1="$cpu1" -v m1="$mb1" -v c2="$cpu2" -v m2="$mb2" 'BEGIN {
    printf "  round %d: one monitor %5.2f%% CPU %6.1f MB; two monitors %5.2f%% CPU %6.1f MB; %.2fx CPU, %.2fx memory\n",
           r, c1, m1, c2, m2, c2 / c1, m2 / m1 }'
done
echo "(targets: at most 1.6x the CPU and 1.5x the memory of one monitor)"
