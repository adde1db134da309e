#!/usr/bin/env bash
# Resident memory of ltsrvc after one faked hour (libfaketime, 600 times
# faster), metering five veth pairs in a private network namespace. Root.
#   bench/ltsrvc_rss.sh [build/dev/bin/ltsrvc]
set -euo pipefail
ltsrvc=$(realpath "${1:-build/dev/bin/ltsrvc}")
faketime_lib=$(ls /usr/lib/*/faketime/libfaketimeMT.so.1 | head -n 1)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
exec unshare -n bash -s "$ltsrvc" "$faketime_lib" "$work" <<'INNER'
set -euo pipefail
ltsrvc=$1 faketime_lib=$2 work=$3
for p in 0 1 2 3 4; do
    ip link add lb$((2*p)) type veth peer name lb$((2*p+1))
    ip link set lb$((2*p)) up && ip link set lb$((2*p+1)) up
done
export LINKTALLY_COMMON_APPDATA=$work LINKTALLY_IPC_DIR=$work
LD_PRELOAD=$faketime_lib FAKETIME="@2026-12-08 10:00:00 x600" FAKETIME_NO_CACHE=1 "$ltsrvc" >/dev/null &
pid=$!
sleep 6.5   # one faked hour and a little more
rss=$(awk '/VmRSS/ {print $2}' /proc/$pid/status)
hwm=$(awk '/VmHWM/ {print $2}' /proc/$pid/status)
kill -TERM $pid; wait $pid
echo "ltsrvc after one faked hour: VmRSS ${rss} KiB, peak ${hwm} KiB (goal: at most 4096 KiB)"
INNER
