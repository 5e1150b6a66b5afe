#!/usr/bin/env bash
# What an update costs when the picture has not changed, measured at the server. nginx on the
# loopback serves a 10 MB JPEG, a PNG and a WebP made by ImageMagick, and the same JPEG once more
# from a location that ignores conditional requests (the reference: a server that answers every
# request with the whole picture); the picture server streams MJPEG. The saver runs full screen
# (headless) with every source due every 10 seconds; nginx's log gives the bytes it sent for each
# request, and the sources' last results show each kind was taken.
#
#   bash bench/unchanged_update_bench.sh [SECONDS]      (65 by default; needs nginx and ImageMagick)
#   KELVANE_BUILD=build/bench                           the build holding kelvane-saver and the picture server
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-65}"
build="${KELVANE_BUILD:-build/bench}"
saver="$build/kelvane-saver"
picture_server="$build/tools/picture_server/kelvane-picture-server"
for tool in nginx convert; do
  command -v "$tool" >/dev/null || { echo "this measure needs $tool (apt-get install nginx-light imagemagick)"; exit 2; }
done
[ -x "$saver" ] && [ -x "$picture_server" ] || { echo "build $saver and $picture_server first"; exit 2; }

work=$(mktemp -d /tmp/kelvane-unchanged-XXXXXX)
chmod 755 "$work"
mkdir -p "$work/www" "$work/root/config"
nginx_pid=""
stream_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null || true
  [ -n "$stream_pid" ] && kill "$stream_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  [ -n "${KELVANE_KEEP_BENCH_ROOT:-}" ] && echo "kept: $work" || rm -rf "$work"
}
trap cleanup EXIT

# Noise compresses badly: 4800 x 3200 at quality 92 is about 10 MB.
convert -size 4800x3200 xc:gray +noise Random -quality 92 "$work/www/big.jpg"
convert -size 480x270 plasma:fractal -resize 1920x1080 -depth 8 "$work/www/photo.png"
convert "$work/www/photo.png" -quality 80 "$work/www/photo.webp"
chmod 644 "$work/www/"*

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $work/nginx.pid;
error_log $work/error.log;
events {}
http {
  types { image/jpeg jpg; image/png png; image/webp webp; }
  log_format sent '\$uri \$status \$bytes_sent';
  access_log $work/access.log sent;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
    location /ignoring/ { alias $work/www/; if_modified_since off; etag off; }
  }
}
EOF
nginx -c "$work/nginx.conf" -p "$work" &
nginx_pid=$!
"$picture_server" >"$work/stream.port" &
stream_pid=$!
for _ in $(seq 50); do
  [ -s "$work/stream.port" ] && curl -s -o /dev/null "http://127.0.0.1:$port/ready" && break
  sleep 0.1
done
stream_port=$(awk '{print $3}' "$work/stream.port")

base="http://127.0.0.1:$port"
list="Big|$base/big.jpg|??:??|Unknown|???|1|||0|Ignoring|$base/ignoring/big.jpg|??:??|Unknown|???|1|||0|"
list+="Png|$base/photo.png|??:??|Unknown|???|1|||0|Webp|$base/photo.webp|??:??|Unknown|???|1|||0|"
list+="Stream|http://127.0.0.1:$stream_port/video?stream=200|??:??|Unknown|???|1|||0|"
cat >"$work/root/config/user.reg" <<EOF
Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]
"CamList"="$list"
"Change"=dword:00000001
"ChangeTime"=dword:0000000a
"EditHours"=dword:00000000
"EditMinutes"=dword:00000000
"EditSeconds"=dword:0000000a
EOF
echo "at $((seconds * 1000)) quit" >"$work/script"
KELVANE_ROOT="$work/root" KELVANE_DISPLAY=headless:1920x1080 KELVANE_ONLINE=1 KELVANE_SCRIPT="$work/script" \
  "$saver" /s

echo "every source due every 10 s for $seconds s; bytes nginx sent per request:"
printf '  %-22s %8s %14s %14s %s\n' "picture" "requests" "first" "each after" "statuses after the first"
for uri in /big.jpg /ignoring/big.jpg /photo.png /photo.webp; do
  awk -v uri="$uri" -v file="$work/www/${uri##*/}" '
    $1 == uri { n++; if (n == 1) first = $3; else { later += $3; statuses[$2]++ } }
    END {
      each = n > 1 ? later / (n - 1) : 0
      s = ""; for (code in statuses) s = s code " x" statuses[code] " "
      printf "  %-22s %8d %14d %14.0f %s\n", uri, n, first, each, s
    }' "$work/access.log"
done
echo "picture sizes: $(stat -c '%n %s' "$work/www/"* | sed "s|$work/www/||" | tr '\n' ' ')"
echo "last results (name, result) from the stored list:"
grep -o '"CamList"="[^"]*"' "$work/root/config/user.reg" | sed 's/"CamList"="//; s/"$//' |
  awk -F'|' '{ for (i = 1; i + 8 <= NF; i += 9) printf "  %-10s %s\n", $i, $(i + 3) }'
