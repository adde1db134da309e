#!/usr/bin/env bash
# Kills the service with SIGKILL again and again under steady traffic and
# compares the bytes in the log with the kernel's counter of the link: what
# each kill costs. Needs root (a private network namespace).
#   bench/ltsrvc_kills.sh [KILLS] [BUILD]     default: 300 kills, build/dev
set -euo pipefail
cd "$(dirname "$0")/.."
kills="${1:-300}"
build="${2:-build/dev}"
if [ "${LT_KILLS_INSIDE:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || { echo "ltsrvc_kills: needs root" >&2; exit 1; }
    LT_KILLS_INSIDE=1 exec unshare --net --mount bash "$0" "$kills" "$(realpath "$build")"
fi
mount -t sysfs sysfs /sys
. scripts/testlink.sh
make_test_link
work=$(mktemp -d /tmp/linktally-kills-XXXXXX)
mkdir -p "$work/ipc"
export LINKTALLY_COMMON_APPDATA="$work" LINKTALLY_IPC_DIR="$work/ipc"
payload=$(printf '%1000s' '')
( while :; do printf '%s' "$payload" >/dev/udp/10.9.0.3/9 2>/dev/null || true; done ) &
sender=$!
trap 'kill $sender 2>/dev/null; rm -rf "$work"' EXIT
tx() { cat /sys/class/net/lm0/statistics/tx_bytes; }
start=$(tx)
began=$(date +%s.%N)
died=0
for ((k = 0; k < kills; k++)); do
    "$build/bin/ltsrvc" >>"$work/ltsrvc.log" 2>&1 &
    pid=$!
    sleep "$((RANDOM % 3 + 1)).$((RANDOM % 10))" # 1.0 .. 3.9 s: at any moment of a pass
    kill -KILL "$pid" 2>/dev/null || died=$((died + 1)) # it had ended by itself
    wait "$pid" 2>/dev/null || true
done
kill $sender; wait $sender 2>/dev/null || true
"$build/bin/ltsrvc" >/dev/null 2>&1 &
pid=$!
for _ in $(seq 50); do "$build/bin/ltreport" live 2>/dev/null | grep -q '^Service: *active$' && break; sleep 0.1; done
kill -TERM "$pid"; wait "$pid" || true
ended=$(date +%s.%N)
sent=$(( $(tx) - start ))
logged=0
pages=$("$build/bin/ltreport" --connection lm0 log | sed -n 's/.*page [0-9]* of \([0-9]*\).*/\1/p' | head -1)
for ((page = 1; page <= ${pages:-0}; page++)); do
    for bytes in $("$build/bin/ltreport" --connection lm0 --format csv log --page "$page" | tail -n +2 | cut -d, -f5 | tr -d ' \r'); do
        logged=$((logged + bytes))
    done
done
seconds=$(echo "$ended - $began" | bc)
rate=$(echo "$sent / $seconds" | bc)
echo "kills: $kills in $seconds s (services that ended by themselves: $died); kernel: $sent bytes sent on lm0 ($rate bytes/s); log: $logged bytes"
echo "lost per kill: $(( (sent - logged) / kills )) bytes, $(echo "scale=2; ($sent - $logged) / $kills / $rate" | bc) s of traffic"
