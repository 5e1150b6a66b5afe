#!/usr/bin/env bash
# An office of headless savers behind one cache: Squid (Debian's) on the loopback as the office's
# proxy, the picture server as a camera whose picture changes every CHANGE seconds (dated, tagged,
# honouring conditional requests), and SAVERS savers with the same source fetched every INTERVAL
# seconds, half through the proxy named in the environment and half through a PAC file (libproxy).
# Squid's log says what the camera served (a whole picture, or "not modified") and what the savers
# received; each saver's settings file says when it had each of the camera's pictures.
#
#   bash bench/office_bench.sh [SECONDS] [SAVERS] [INTERVAL] [CHANGE]     (600 20 10 30 by default)
#   KELVANE_BUILD=build/bench      the build holding kelvane-saver and the picture server
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-600}"
savers="${2:-20}"
interval="${3:-10}"
change="${4:-30}"
build="${KELVANE_BUILD:-build/bench}"
saver="$build/kelvane-saver"
picture_server="$build/tools/picture_server/kelvane-picture-server"
command -v squid >/dev/null || { echo "this measure needs Squid (apt-get install squid)"; exit 2; }
[ -x "$saver" ] && [ -x "$picture_server" ] || { echo "build $saver and $picture_server first"; exit 2; }

work=$(mktemp -d /tmp/kelvane-office-XXXXXX)
chmod 777 "$work"  # Squid drops to its own user
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  [ -n "${KELVANE_KEEP_BENCH_ROOT:-}" ] && echo "kept: $work" || rm -rf "$work"
}
trap cleanup EXIT
free_port() { /usr/bin/python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }

camera_port=$(free_port)
"$picture_server" "$camera_port" >/dev/null &
pids+=($!)
squid_port=$(free_port)
cat >"$work/squid.conf" <<CONF
http_port 127.0.0.1:$squid_port
http_access allow localhost
http_access deny all
cache_mem 64 MB
logformat office %ts %Ss/%>Hs %<Hs %rm %ru
access_log stdio:$work/access.log office
cache_log $work/cache.log
pid_filename $work/squid.pid
coredump_dir $work
shutdown_lifetime 0 seconds
# Requests for the same picture that come together wait for one answer from the camera.
collapsed_forwarding on
CONF
squid -N -f "$work/squid.conf" &
pids+=($!)
for _ in $(seq 100); do (exec 3<>"/dev/tcp/127.0.0.1/$squid_port") 2>/dev/null && break; sleep 0.1; done

camera="http://127.0.0.1:$camera_port/demo/1.jpg?every=$change"
cat >"$work/office.pac" <<PAC
function FindProxyForURL(url, host) { return "PROXY 127.0.0.1:$squid_port"; }
PAC
echo "$savers savers for ${seconds}s, each fetching every ${interval}s; the camera changes every ${change}s"
for n in $(seq "$savers"); do
  root="$work/saver-$n"
  mkdir -p "$root/config"
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarvex\\Ostrel Screen Saver\\Kelvane Screen Saver]\n"CamList"="Camera|%s|??:??|Unknown|???|1|||0|"\n"CurrentCam"="Camera"\n"EditHours"=dword:00000000\n"EditMinutes"=dword:00000000\n"EditSeconds"=dword:%08x\n"Movement"=dword:00000002\n"LockScreen"=dword:00000000\n' \
    "$camera" "$interval" >"$root/config/user.reg"
  if [ $((n % 2)) -eq 0 ]; then proxy="pac+file://$work/office.pac"; else proxy="http://127.0.0.1:$squid_port"; fi
  env -i PATH=/usr/bin:/bin HOME="$root" KELVANE_ROOT="$root" KELVANE_DISPLAY=headless:320x240 KELVANE_ONLINE=1 \
    http_proxy="$proxy" KELVANE_DEBUG="${KELVANE_BENCH_DEBUG:-}" "$saver" /s 2>"$root/saver.log" &
  pids+=($!)
done

# When each saver first had each of the camera's pictures (its ImageDate is the picture's date).
/usr/bin/python3 - "$work" "$savers" "$seconds" "$interval" "$change" <<'PY'
import email.utils, re, sys, time
work, savers, seconds, interval, change = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
first_seen = {}  # (saver, picture time) -> when
start = time.time()
while time.time() - start < seconds:
    now = time.time()
    for n in range(1, savers + 1):
        try:
            text = open(f"{work}/saver-{n}/config/user.reg", encoding="utf-8").read()
        except OSError:
            continue
        # The picture's date is the record's eighth field.
        found = re.search(r'"CamList"="Camera(?:\|[^|]*){6}\|([^|]*)\|', text)
        try:
            picture = email.utils.parsedate_to_datetime(found.group(1)).timestamp() if found else None
        except (TypeError, ValueError):
            picture = None  # not fetched yet
        if picture:
            first_seen.setdefault((n, picture), now)
    time.sleep(0.5)
# Pictures that came out while the run was on, after every saver's first update: their delays.
pictures = sorted({p for (_, p) in first_seen if p > start + 2 * interval and p + 2 * interval < start + seconds})
delays = [first_seen[(n, p)] - p for p in pictures for n in range(1, savers + 1) if (n, p) in first_seen]
missed = sum(1 for p in pictures for n in range(1, savers + 1) if (n, p) not in first_seen)
within = sum(1 for d in delays if d <= interval + interval / 10 + 1.5)
print(f"camera pictures during the run: {len(pictures)}; every saver had each of them: {missed == 0} ({missed} missed)")
if delays:
    delays.sort()
    print(f"delay from a picture to each saver showing it: median {delays[len(delays)//2]:.1f}s, "
          f"longest {delays[-1]:.1f}s; within one interval (+ the spread, + the 0.5 s look): {within}/{len(delays)}")
PY

kill "${pids[@]:2}" 2>/dev/null || true
sleep 1
awk -v seconds="$seconds" -v change="$change" -v savers="$savers" -v interval="$interval" '
  $4 == "GET" { requests++; client[$2]++; if ($3 == "200") whole++; else if ($3 == "304") unmodified++; else notasked++ }
  END {
    printf "savers asked the cache %d times:", requests; for (s in client) printf " %s x%d", s, client[s]; printf "\n"
    printf "the camera sent %d whole pictures and %d \"not modified\"; %d answers came from the cache alone\n", whole, unmodified, notasked
    printf "changes in the run: %d; without the cache each saver would have taken a whole picture per update: %d\n", seconds / change, requests
  }' "$work/access.log"
