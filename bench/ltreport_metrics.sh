#!/usr/bin/env bash
# The cost of one `ltreport metrics` run on ten years of ten interfaces'
# hourly records (876,000, priced), in wall time and peak resident memory
# (GNU time's %e and %M), beside a plain read of the same log (cat) and
# `ltreport check` (which walks every frame), each the median of RUNS.
#   bench/ltreport_metrics.sh [BIN_DIR] [RUNS]    default build/dev/bin, 7
set -euo pipefail
bin=$(realpath "${1:-build/dev/bin}")
runs=${2:-7}
[ -x /usr/bin/time ] || { echo "needs GNU time (Debian package time)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export LINKTALLY_COMMON_APPDATA=$work/common XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
export LINKTALLY_IPC_DIR=$work/ipc XDG_RUNTIME_DIR=$work/runtime HOME=$work/home
mkdir -p "$work/ipc" "$work/runtime" "$work/home"
prices=$work/prices.txt
for i in 0 1 2 3 4 5 6 7 8 9; do
    "$bin/makehistory" "eth$i" 3650 >/dev/null
    printf 'eth%s\n2\n2010-01-01 0.05 0.02\n2020-06-01 0.04 0.015\n' "$i" >>"$prices"
done
log="$work/common/Tarnwick Software/Linktally/1.3.1/cn.log"
records=$("$bin/ltreport" check | awk -F': *' '/^Whole records/ { print $2 }')
echo "log: $records records, $(($(stat -c %s "$log") / 1048576)) MiB"

# The median wall time and the median peak memory of RUNS runs.
measure() {
    local i
    : >"$work/times"
    for ((i = 0; i < runs; i++)); do
        /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; return 1; }
        cat "$work/time" >>"$work/times"
    done
    local middle=$(((runs + 1) / 2))
    echo "$(cut -d' ' -f1 "$work/times" | sort -n | sed -n "${middle}p") s, $(cut -d' ' -f2 "$work/times" | sort -n | sed -n "${middle}p") KiB peak"
}
printf '%-40s %s\n' "cat cn.log (plain read)" "$(measure cat "$log")"
printf '%-40s %s\n' "ltreport check" "$(measure "$bin/ltreport" check)"
printf '%-40s %s\n' "ltreport metrics --prices" "$(measure "$bin/ltreport" metrics --prices "$prices")"
