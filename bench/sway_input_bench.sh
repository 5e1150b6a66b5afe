#!/usr/bin/env bash
# saver_input_bench on Sway (headless, pixman) with two 1280x720 outputs, the keyboard's focus on
# the second output's window, keys typed with wtype. Sway will not run as root: there it runs as
# the user "nobody".
#
#   bash bench/sway_input_bench.sh [ROUNDS]     (10 rounds by default)
#   KELVANE_BUILD=build/bench                   the build holding saver_input_bench
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-10}"
bench="${KELVANE_BUILD:-build/bench}/bench/saver_input_bench"
[ -x "$bench" ] || { echo "build $bench first"; exit 2; }
for program in sway swaymsg wtype; do command -v "$program" >/dev/null || { echo "$program is not installed"; exit 2; }; done

runtime=$(mktemp -d)
as_user=()
if [ "$(id -u)" = 0 ]; then
  chown nobody "$runtime"
  as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
chmod 700 "$runtime"
env -i PATH="$PATH" HOME="$runtime" XDG_RUNTIME_DIR="$runtime" WLR_BACKENDS=headless WLR_HEADLESS_OUTPUTS=2 \
  WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman "${as_user[@]}" sway -c /dev/null >/dev/null 2>&1 &
sway_pid=$!
trap 'kill $sway_pid 2>/dev/null || true; wait $sway_pid 2>/dev/null || true; rm -rf "$runtime"' EXIT
for _ in $(seq 100); do ls "$runtime"/sway-ipc.* >/dev/null 2>&1 && break; sleep 0.1; done
socket=$(ls "$runtime"/sway-ipc.*)
display=$(cd "$runtime" && ls wayland-? | head -n1)

export XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY="$display" SWAYSOCK="$socket"
unset DISPLAY
export KELVANE_BENCH_FOCUS_COMMAND="swaymsg -q focus output HEADLESS-2"
export KELVANE_BENCH_KEY_COMMAND="wtype -k Escape"
echo "Sway, two 1280x720 outputs, the focus on the second:"
"$bench" "$rounds"
