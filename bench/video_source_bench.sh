#!/usr/bin/env bash
# Video sources measured against FFmpeg's own program in the same run: the time and CPU from the
# start of a fetch to the stored picture for each kind (an MP4 file, HLS on demand and live, DASH,
# RTSP with H.264 and with 4K H.265), against `ffmpeg -frames:v 1` taking the same frame; then the
# saver's peak memory with a 4K H.265 RTSP source against the same frame as a 4K JPEG source.
# The clips are made by ffmpeg, served by the picture server (HTTP) and GStreamer's RTSP server.
#
#   bash bench/video_source_bench.sh [ROUNDS]      (9 by default)
#   KELVANE_BUILD=build/bench                      the build holding the saver, the picture server
#                                                  and video_fetch_bench (-DKELVANE_BENCH=ON)
set -euo pipefail
cd "$(dirname "$0")/.."
rounds="${1:-9}"
build="${KELVANE_BUILD:-build/bench}"
saver="$build/kelvane-saver"
picture_server="$build/tools/picture_server/kelvane-picture-server"
fetch_bench="$build/bench/video_fetch_bench"
for program in "$saver" "$picture_server" "$fetch_bench"; do
  [ -x "$program" ] || { echo "build $program first (cmake -DKELVANE_BENCH=ON)"; exit 2; }
done

work=$(mktemp -d /tmp/kelvane-video-XXXXXX)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

clip() {  # SIZE CODEC-OPTIONS... OUTPUT-OPTIONS...
  local size=$1; shift
  (cd "$work" && ffmpeg -nostdin -loglevel error -y -f lavfi -i "testsrc2=s=$size:r=25:d=4" -pix_fmt yuv420p "$@")
}
h264="-c:v libx264 -g 25 -keyint_min 25 -sc_threshold 0"
echo "making the clips"
clip 1920x1080 $h264 -movflags +faststart clip.mp4
clip 1920x1080 $h264 -f hls -hls_time 1 -hls_list_size 0 -hls_playlist_type vod -hls_segment_filename 'vod%d.ts' vod.m3u8
clip 1920x1080 $h264 -f hls -hls_time 1 -hls_list_size 0 -hls_flags omit_endlist -hls_segment_filename 'live%d.ts' live.m3u8
clip 1920x1080 $h264 -f dash -seg_duration 1 dash.mpd
clip 1920x1080 $h264 h264.mkv
clip 3840x2160 -c:v libx265 -x265-params keyint=25:log-level=error h265.mkv

"$picture_server" 0 "$work" >"$work/server.out" &
pids+=($!)
rtsp() {  # FILE CODEC -> its port on stdout
  /usr/bin/python3 tests/support/rtsp_server.py "$work/$1" "$2" >"$work/$1.port" &
  pids+=($!)
}
rtsp h264.mkv h264
rtsp h265.mkv h265
for file in server.out h264.mkv.port h265.mkv.port; do
  for _ in $(seq 100); do [ -s "$work/$file" ] && break; sleep 0.1; done
done
http="http://127.0.0.1:$(awk '{print $3}' "$work/server.out")/files"
rtsp_h264="rtsp://127.0.0.1:$(cat "$work/h264.mkv.port")/stream"
rtsp_h265="rtsp://127.0.0.1:$(cat "$work/h265.mkv.port")/stream"

echo "time and CPU to the stored picture, medians of $rounds rounds (ratio: ours / ffmpeg -frames:v 1)"
"$fetch_bench" "$rounds" \
  mp4 "$http/clip.mp4" -- \
  hls-vod "$http/vod.m3u8" -- \
  hls-live "$http/live.m3u8" -live_start_index -1 -- \
  dash "$http/dash.mpd" -- \
  rtsp-h264 "$rtsp_h264" -rtsp_transport tcp -- \
  rtsp-h265 "$rtsp_h265" -rtsp_transport tcp

# Peak memory of the whole saver (headless 1920x1080) fetching and showing one source.
peak_of() {  # NAME URL -> the saver's VmHWM in kB once the source's picture is stored and shown
  local root="$work/root-$1"
  mkdir -p "$root/config"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]\n"CamList"="%s|%s|??:??|Unknown|???|1|||0|"\n"CurrentCam"="%s"\n"LockScreen"=dword:00000000\n' \
    "$1" "$2" "$1" >"$root/config/user.reg"
  KELVANE_ROOT="$root" KELVANE_DISPLAY=headless:1920x1080 KELVANE_ONLINE=1 "$saver" /s &
  local pid=$!
  for _ in $(seq 600); do grep -q '|Success|' "$root/config/user.reg" && break; sleep 0.1; done
  sleep 3  # the stored picture read and shown
  grep -q '|Success|' "$root/config/user.reg" || { echo "$1: no picture" >&2; kill $pid; return 1; }
  awk '/VmHWM/ {print $2}' "/proc/$pid/status"
  kill $pid
  wait $pid 2>/dev/null || true
}
echo "peak memory of the saver (headless 1920x1080)"
ffmpeg -nostdin -loglevel error -y -rtsp_transport tcp -i "$rtsp_h265" -frames:v 1 -q:v 2 "$work/frame.jpg"
video_kb=$(peak_of video "$rtsp_h265")
jpeg_kb=$(peak_of jpeg "$http/frame.jpg")
echo "  4K H.265 RTSP source: $video_kb kB; the same frame as a 4K JPEG ($(stat -c %s "$work/frame.jpg") bytes): $jpeg_kb kB; ratio $(awk "BEGIN {printf \"%.2f\", $video_kb / $jpeg_kb}")"
