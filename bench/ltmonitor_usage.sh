#!/usr/bin/env bash
# ltmonitor's idle CPU time, resident memory and start-up against a minimal
# Qt Widgets program (bench/minimal_qt.cpp), both under one Xvfb with trayer
# as the tray. About two minutes. Root (ltsrvc meters five veth pairs in a
# private network namespace, so the live table has ten rows).
usage() {
    cat <<'EOF'
Usage: bench/ltmonitor_usage.sh [--help] [BIN_DIR]
  BIN_DIR   where ltmonitor, minimal_qt, meter_bench, ltsrvc and xtraywait are (build/dev/bin)

Under one Xvfb with trayer, ltmonitor (the meter hidden at start, later shown
by a click on its tray icon) and minimal_qt (shown) run side by side on a log
of a year of ten interfaces (87,600 records) and a live table of ten rows:
  CPU      ns on CPU per second of idle, summed over the threads'
           /proc/PID/task/*/schedstat, over 25 s with the meter hidden and
           25 s with it shown (goal: ltmonitor <= 1.5 x minimal_qt)
  memory   VmRSS after 60 s (goal: ltmonitor <= 1.3 x minimal_qt)
  start-up from execve to ltmonitor's "tray icon added" line in debug.log
           (minimal_qt: to its first paint), strace -ttt, median of 5
           (goal: ltmonitor <= 300 ms)
Build: cmake --build --preset dev --target ltmonitor minimal_qt meter_bench ltsrvc xtraywait
EOF
}
set -euo pipefail
scripts=$(dirname "$(realpath "$0")")/../scripts
. "$scripts/waits.sh"
. "$scripts/xsession.sh"
if [[ "${1:-}" == "--help" || "${1:-}" == "-h" ]]; then
    usage
    exit 0
fi
bin=$(realpath "${1:-build/dev/bin}")
for program in ltmonitor minimal_qt meter_bench ltsrvc xtraywait; do
    [[ -x "$bin/$program" ]] || { echo "missing $bin/$program (see --help)" >&2; exit 2; }
done
for tool in Xvfb trayer xdotool xwininfo strace unshare ip; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done

work=$(mktemp -d /tmp/linktally-usage-XXXXXX)
pids=()
cleanup() {
    [[ -s "$work/traffic.pid" ]] && pids+=("$(cat "$work/traffic.pid")")
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    xsession_stop
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

# The folders a test process gets, so that nothing of the user's is read.
for name in common data config runtime ipc home peers ppprun; do mkdir -p "$work/$name"; done
chmod 700 "$work/runtime"
export LINKTALLY_COMMON_APPDATA=$work/common XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config \
    XDG_RUNTIME_DIR=$work/runtime LINKTALLY_IPC_DIR=$work/ipc HOME=$work/home \
    LINKTALLY_PPP_PEERS=$work/peers LINKTALLY_PPP_RUNDIR=$work/ppprun
unset WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS QT_QPA_PLATFORM
product="Tarnwick Software/Linktally/1.3.1"
mkdir -p "$LINKTALLY_COMMON_APPDATA/$product"
"$bin/meter_bench" --write-year-log "$LINKTALLY_COMMON_APPDATA/$product/cn.log"

# The service in a network namespace of its own, metering five veth pairs
# named as the log's interfaces; raw frames out of enp2s0 (python3) are
# traffic for the selected enp3s0. The table is a file in
# $LINKTALLY_IPC_DIR, which the monitor outside reads all the same.
mkdir -p "$(dirname "$XDG_CONFIG_HOME/$product")" "$XDG_DATA_HOME/$product"
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\%s]\n"Connection"="enp3s0"\n' \
    "${product//\//\\}" >"$XDG_CONFIG_HOME/$product.reg"
printf 'enp3s0\n2\n2000-01-01 0.01 0.02\n2020-06-01 0.005 0.01\n' >"$XDG_DATA_HOME/$product/prices.txt"
unshare -n bash -c '
    for p in 0 1 2 3 4; do
        ip link add enp$((2*p))s0 type veth peer name enp$((2*p+1))s0
        ip link set enp$((2*p))s0 up && ip link set enp$((2*p+1))s0 up
    done
    timeout 300 python3 -c "
import random, socket, time
s = socket.socket(socket.AF_PACKET, socket.SOCK_RAW)
s.bind((\"enp2s0\", 0))
while True:
    s.send(b\"\\xff\" * 6 + b\"\\x02\" + bytes(5) + b\"\\x88\\xb5\" + bytes(random.randint(46, 1400)))
    time.sleep(0.02)
" &
    echo $! >"$2"
    exec "$1" >/dev/null' _ "$bin/ltsrvc" "$work/traffic.pid" &
pids+=($!)

xsession_start "$bin/xtraywait" "$work" 1280x1024x24
table=$LINKTALLY_IPC_DIR/LINKTALLY_1.3.1_STATISTICS
wait_for 5 test -s "$table" || { echo "the service published no table" >&2; exit 1; }

# ns on CPU so far, all threads of the process.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{s += $1} END {printf "%d", s}'; }
rss_kib() { awk '/^VmRSS/ {print $2}' /proc/"$1"/status; }
# CPU per second of the two programs over $1 seconds, as "monitor minimal".
cpu_rates() {
    local m0 q0 t0 m1 q1 t1
    m0=$(cpu_ns "$monitor"); q0=$(cpu_ns "$minimal"); t0=$(date +%s%N)
    sleep "$1"
    m1=$(cpu_ns "$monitor"); q1=$(cpu_ns "$minimal"); t1=$(date +%s%N)
    awk -v m=$((m1 - m0)) -v q=$((q1 - q0)) -v t=$((t1 - t0)) 'BEGIN {printf "%.0f %.0f\n", m / t * 1e9, q / t * 1e9}'
}
meter_visible() { xwininfo -name "Linktally Monitor 1.3.1" 2>/dev/null | grep -q "IsViewable"; }

start=$(date +%s)
"$bin/ltmonitor" >/dev/null 2>&1 &
monitor=$!
pids+=($monitor)
"$bin/minimal_qt" >/dev/null 2>&1 &
minimal=$!
pids+=($minimal)
# Once the splash (1.5 s) has gone, so has the start's hiding of the meter (0.2 s).
icon=$("$bin/xtraywait" 10 --icon ltmonitor) || { echo "no tray icon of ltmonitor" >&2; exit 1; }
wait_for 10 window_gone About || { echo "the splash stays" >&2; exit 1; }
if meter_visible; then
    echo "the meter is on screen although trayer runs: no tray icon?" >&2
    exit 1
fi
read -r cpu_hidden_monitor cpu_hidden_minimal < <(cpu_rates 25)

# A left click on its tray icon shows the meter.
read -r x y w h <<<"$icon"
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
if ! wait_for 5 meter_visible; then
    echo "the meter did not show after a click on the tray icon" >&2
    exit 1
fi
read -r cpu_shown_monitor cpu_shown_minimal < <(cpu_rates 25)
sleep $((60 - ($(date +%s) - start)))
rss_monitor=$(rss_kib "$monitor")
rss_minimal=$(rss_kib "$minimal")
kill "$monitor" "$minimal"
wait "$monitor" "$minimal" 2>/dev/null || true

# Start-up: from execve to the program's marker write, as strace sees them.
startup_ms() { # marker program [arguments]
    local marker=$1 trace=$work/strace.out pid i
    shift
    rm -f "$trace"
    strace -f --seccomp-bpf -ttt -s 128 -e trace=execve,write -o "$trace" "$@" >/dev/null 2>&1 &
    pid=$!
    for i in $(seq 100); do grep -q "$marker" "$trace" 2>/dev/null && break; sleep 0.1; done
    # The traced program, whose pid leads its lines; strace ends with it.
    kill "$(awk '/execve\(/ {print $1; exit}' "$trace")" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    awk -v marker="$marker" '
        /execve\(/ && !begin {begin = $2}
        index($0, marker) && !end {end = $2}
        END {if (begin && end) printf "%.0f", (end - begin) * 1000; else print "NaN"}' "$trace"
}
median() { tr ' ' '\n' | sort -n | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'; }
monitor_runs=() minimal_runs=()
for _ in 1 2 3 4 5; do
    monitor_runs+=("$(startup_ms "tray icon added" "$bin/ltmonitor" --debug-log)")
    minimal_runs+=("$(startup_ms "first paint" "$bin/minimal_qt")")
    sleep 0.3
done
startup_monitor=$(echo "${monitor_runs[*]}" | median)
startup_minimal=$(echo "${minimal_runs[*]}" | median)

ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }
verdict() { awk -v r="$1" -v g="$2" 'BEGIN {print (r <= g ? "met" : "MISSED")}'; }
r_hidden=$(ratio "$cpu_hidden_monitor" "$cpu_hidden_minimal")
r_shown=$(ratio "$cpu_shown_monitor" "$cpu_shown_minimal")
r_rss=$(ratio "$rss_monitor" "$rss_minimal")
printf '\n%-34s %12s %12s %7s  %s\n' "" ltmonitor minimal_qt ratio goal
printf '%-34s %12s %12s %7s  %s\n' \
    "CPU us/s, meter hidden (25 s)" $((cpu_hidden_monitor / 1000)) $((cpu_hidden_minimal / 1000)) "$r_hidden" \
    "<= 1.5 $(verdict "$r_hidden" 1.5)" \
    "CPU us/s, meter shown (25 s)" $((cpu_shown_monitor / 1000)) $((cpu_shown_minimal / 1000)) "$r_shown" \
    "<= 1.5 $(verdict "$r_shown" 1.5)" \
    "VmRSS KiB after 60 s" "$rss_monitor" "$rss_minimal" "$r_rss" "<= 1.3 $(verdict "$r_rss" 1.3)" \
    "start-up ms, median of 5" "$startup_monitor" "$startup_minimal" "$(ratio "$startup_monitor" "$startup_minimal")" \
    "ltmonitor <= 300 $(verdict "$startup_monitor" 300)"
echo "live table rows: $(od -An -tu4 -j4 -N4 "$table" 2>/dev/null | tr -d ' ' || echo none)"
echo "the meter's last status: $(grep 'updateStatus' "$XDG_DATA_HOME/$product/debug.log" | tail -n 1)"
echo "start-up runs, ms: ltmonitor ${monitor_runs[*]}; minimal_qt ${minimal_runs[*]}"
