#!/usr/bin/env bash
# Installs what is missing, builds the suite and runs the saver on its demo: four picture sources
# served by the loopback picture server (changing JPEG and GIF pictures), changing every ten
# seconds with transitions while the picture floats, a marquee of date, time, source, last
# update, result and status scrolling along the bottom, and a generated tune as music. On a real display it runs full screen until
# a key or a click; without one it runs headless for 30 seconds and leaves screenshots.
set -euo pipefail
cd "$(dirname "$0")/.."

bash tools/install-dependencies.sh
cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=Release -DKELVANE_TESTS=OFF >/dev/null
cmake --build build/release

demo="$PWD/build/demo"
rm -rf "$demo"
mkdir -p "$demo/config"
export KELVANE_ROOT="$demo"
export KELVANE_ONLINE=1  # the demo's pictures come from this machine

# Music under the pictures: a generated tune, played by the music companion.
mkdir -p "$demo/music"
build/release/tools/demo_music "$demo/music/tune.wav" 60

# The picture server, on a free port, stopped whatever way the demo ends.
build/release/tools/picture_server/kelvane-picture-server 0 > "$demo/server.out" &
server=$!
trap 'kill $server 2>/dev/null; wait $server 2>/dev/null || true' EXIT
for _ in $(seq 50); do grep -q listening "$demo/server.out" 2>/dev/null && break; sleep 0.1; done
port=$(sed -n 's/^listening on //p' "$demo/server.out")
[ -n "$port" ] || { echo "The picture server did not start." >&2; exit 1; }

source() { echo -n "$1|http://127.0.0.1:$port/demo/$2|??:??|Unknown|???|1|||0|"; }
cat > "$demo/config/user.reg" <<REG
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]
"CamList"="$(source Harbour harbour.jpg)$(source Bridge bridge.gif)$(source Tower tower.jpg)$(source Market market.gif)$(source Quay quay.mjpg)"
"Change"=dword:00000001
"ChangeTime"=dword:0000000a
"EditHours"=dword:00000000
"EditMinutes"=dword:00000000
"EditSeconds"=dword:00000005
"EnableTransitionEffect"=dword:00000001
"AutoTransitionEffect"=dword:00000001
"Movement"=dword:00000000
"FloatSpeed"=dword:0000005a
"ImageStretchOption"=dword:00000002
"BackColor"=dword:00201008
"ShowTicker"=dword:00000001
"ShowDate"=dword:00000001
"DateFormat"=dword:00000002
"ShowTime"=dword:00000001
"ShowFileName"=dword:00000001
"UsePath"=dword:00000001
"UseExtension"=dword:00000001
"ShowStatus"=dword:00000001
"FontColor"=dword:0000ffff
"NoMidiSound"=dword:00000000
"NotUseCD"=dword:00000001
"MidiFiles"="$demo/music/tune.wav|"
REG

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -z "${KELVANE_DISPLAY:-}" ]; then
  echo "The saver runs full screen with music (F3 pauses it): press another key or click to end it."
  build/release/kelvane-saver /s
  exit 0
fi

script="$demo/script"
{
  for second in 8 16 24 29; do echo "at $((second * 1000)) screenshot $demo/screen-$second.png"; done
  echo "at 30000 quit"
} > "$script"
KELVANE_DISPLAY="${KELVANE_DISPLAY:-headless}" KELVANE_AUDIO="${KELVANE_AUDIO:-null}" KELVANE_SCRIPT="$script" \
  build/release/kelvane-saver /s 2>/dev/null
echo "No display: the saver ran headless for 30 seconds. Screenshots:"
ls -1 "$demo"/screen-*.png
