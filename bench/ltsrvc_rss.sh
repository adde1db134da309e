#!/usr/bin/env bash
# Resident memory of ltsrvc after one faked hour (libfaketime, 600 times
# faster), metering five veth pairs in a private network namespace. Root.
# When vnstatd (Debian package vnstat) is installed, it meters the same
# links under the same clock beside it, as a yardstick.
#   bench/ltsrvc_rss.sh [build/dev/bin/ltsrvc]
set -euo pipefail
ltsrvc=$(realpath "${1:-build/dev/bin/ltsrvc}")
faketime_lib=$(ls /usr/lib/*/faketime/libfaketimeMT.so.1 | head -n 1)
vnstatd=$(command -v vnstatd || true)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exec unshare -n bash -s "$ltsrvc" "$faketime_lib" "$work" "$vnstatd" <<'INNER'
set -euo pipefail
ltsrvc=$1 faketime_lib=$2 work=$3 vnstatd=$4
for p in 0 1 2 3 4; do
    ip link add lb$((2*p)) type veth peer name lb$((2*p+1))
    ip link set lb$((2*p)) up && ip link set lb$((2*p+1)) up
done
# The faked clock for the meters only: the script's own sleep keeps real
# time. env runs the meter in its own place, so that $! is the meter.
faked=(env LD_PRELOAD="$faketime_lib" FAKETIME="@2026-12-08 10:00:00 x600" FAKETIME_NO_CACHE=1)
# Its status line: VmRSS and VmHWM in KiB.
memory() { awk '/^VmRSS/ {rss=$2} /^VmHWM/ {hwm=$2} END {print rss, hwm}' /proc/$1/status; }
if [ -n "$vnstatd" ]; then
    mkdir "$work/vnstat"
    printf 'DatabaseDir "%s"\nPidFile "%s"\nUseLogging 0\nAlwaysAddNewInterfaces 1\n' \
        "$work/vnstat" "$work/vnstat/vnstatd.pid" >"$work/vnstat.conf"
    "${faked[@]}" "$vnstatd" --nodaemon --config "$work/vnstat.conf" >/dev/null 2>&1 &
    vnstat_pid=$!
fi
"${faked[@]}" LINKTALLY_COMMON_APPDATA="$work" LINKTALLY_IPC_DIR="$work" "$ltsrvc" >/dev/null &
pid=$!
sleep 6.5   # one faked hour and a little more
read -r rss hwm < <(memory $pid)
kill -TERM $pid; wait $pid
echo "ltsrvc after one faked hour: VmRSS ${rss} KiB, peak ${hwm} KiB (goal: at most 4096 KiB)"
if [ -z "$vnstatd" ]; then
    echo "vnstatd is not installed (Debian package vnstat): no comparison"
    exit 0
fi
read -r vn_rss vn_hwm < <(memory $vnstat_pid)
kill -TERM $vnstat_pid; wait $vnstat_pid || true
echo "vnstatd in the same run: VmRSS ${vn_rss} KiB, peak ${vn_hwm} KiB"
awk -v a="$rss" -v b="$vn_rss" 'BEGIN {printf "ltsrvc/vnstatd: %.2f (goal: at most 1)\n", a / b}'
INNER
