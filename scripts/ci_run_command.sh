#!/usr/bin/env bash
# CI: the README's run command (scripts/run.sh) as a fresh unprivileged user
# with an empty home, on a virtual X server (Xvfb) with a tray host
# (trayer), from a root-owned copy of this checkout with a prebuilt build:
# the service and the monitor must come up (the service logging to the
# user's own data folder, the tray icon showing the meter window), and the
# monitor's Exit (tray menu) must end both, run.sh with status 0. Then two
# more fresh users, each with a runtime folder of its own, run it at once on
# the same display: each must get its own service and log, and the first
# one's Exit must leave the second's service running. Needs root (it adds
# the users and removes them afterwards).
#   scripts/ci_run_command.sh [BUILD_DIR]   default: build/ci under CI, else build/dev
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

case "${1:-}" in
    -h|--help) sed -n '2,13p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
fail() { echo "ci_run_command: $*" >&2; exit 1; }
. scripts/waits.sh
. scripts/xsession.sh
. scripts/preset.sh
[ "$(id -u)" -eq 0 ] || fail "needs root (it creates a user)"

build="${1:-build/$(default_preset)}"
[ -x "$build/bin/ltsrvc" ] && [ -x "$build/bin/ltmonitor" ] && [ -x "$build/bin/xtraywait" ] ||
    fail "$build has no ltsrvc, ltmonitor and xtraywait (run scripts/test.sh first)"
for tool in Xvfb trayer xdotool runuser useradd; do
    command -v "$tool" >/dev/null || fail "$tool is missing (scripts/test.sh installs the packages)"
done

stage=$(mktemp -d /tmp/linktally-run-XXXXXX)
users=()
runtimes=()
run_pids=()
cleanup() {
    local pid user
    for user in "${users[@]}"; do
        for pid in $(pgrep -u "$user" 2>/dev/null || true); do
            kill -KILL "$pid" 2>/dev/null || true
        done
    done
    for pid in "${run_pids[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    xsession_stop
    for user in "${users[@]}"; do
        # What the user's programs left outside its home: the monitor's
        # instance lock and the live table in /dev/shm, Qt's runtime folder in /tmp.
        find /dev/shm /tmp -maxdepth 1 -user "$user" -exec rm -rf {} + 2>/dev/null || true
        userdel -f -r "$user" 2>/dev/null || true
    done
    rm -rf "${runtimes[@]}" "$stage"
}
trap cleanup EXIT

# add_user VAR: a fresh account with an empty home, its name in VAR.
add_user() {
    local name
    name="ltrun$(od -An -N3 -tu4 /dev/urandom | tr -d ' ')"
    useradd -m -s /bin/bash "$name"
    users+=("$name")
    printf -v "$1" %s "$name"
}
home_of() { getent passwd "$1" | cut -d: -f6; }
log_folder_of() { echo "$(home_of "$1")/.local/share/Tarnwick Software/Linktally/1.3.1"; }

# start_run USER LOG [RUNTIME_DIR]: scripts/run.sh as the user in the
# background, in a bare environment like a fresh log-in's (with
# XDG_RUNTIME_DIR when given); its pid in run_pid.
start_run() {
    local runtime=()
    [ -z "${3:-}" ] || runtime=(XDG_RUNTIME_DIR="$3")
    runuser -u "$1" -- env -i HOME="$(home_of "$1")" USER="$1" LOGNAME="$1" SHELL=/bin/bash \
        PATH=/usr/local/bin:/usr/bin:/bin LANG="${LANG:-C.UTF-8}" DISPLAY="$DISPLAY" "${runtime[@]}" \
        bash -c "cd '$copy' && scripts/run.sh" >"$2" 2>&1 &
    run_pid=$!
    run_pids+=("$run_pid")
}

# exit_through_tray X Y WIDTH HEIGHT: Exit, the last entry of the menu of
# the tray icon there.
exit_through_tray() {
    local before
    before=$(ltmonitor_windows)
    xdotool mousemove $(($1 + $3 / 2)) $(($2 + $4 / 2)) click 3
    wait_for 5 more_windows_than "$before" || return 1
    xdotool key Up Return
}

# run_status PID: waits up to 10 s for that run.sh to end; its status.
ended() { ! kill -0 "$1" 2>/dev/null; }
run_status() {
    local status=0
    wait_for 10 ended "$1" || { echo "run.sh still runs 10 s after Exit" >&2; return 1; }
    wait "$1" || status=$?
    # Its pid is free again: the cleanup must not kill whoever gets it.
    local pid left=()
    for pid in "${run_pids[@]}"; do
        [ "$pid" = "$1" ] || left+=("$pid")
    done
    run_pids=("${left[@]}")
    return "$status"
}

# A copy like a root-owned checkout on a build machine: readable by all,
# writable by none but root, with the build in place (wherever this
# checkout lives, e.g. below a 0700 /root).
copy="$stage/linktally"
mkdir -p "$copy/build/dev/bin" "$copy/build/dev/lib"
tar -C "$repo" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
cp "$build"/bin/{ltsrvc,ltmonitor,ltreport} "$copy/build/dev/bin/"
cp "$build"/lib/*.so "$copy/build/dev/lib/"
chmod -R a+rX,go-w "$stage"

add_user user
home=$(home_of "$user")
[ ! -e "$home/.local" ] && [ ! -e "$home/.config" ] || fail "$home is not a fresh home"

xsession_start "$build/bin/xtraywait" "$stage" || fail "no virtual X session"
echo "X server $DISPLAY with trayer; user $user (home $home); checkout copy $copy"

started=$(date +%s%N)
start_run "$user" "$stage/run.log"
show_log() { echo "--- run.sh output"; cat "$stage/run.log"; echo "---"; }
icon=$("$build/bin/xtraywait" 15 --icon ltmonitor) || { show_log; fail "no tray icon of ltmonitor"; }
up=$(date +%s%N)
service=$(pgrep -u "$user" -x ltsrvc) || { show_log; fail "ltsrvc is not running"; }
pgrep -u "$user" -x ltmonitor >/dev/null || { show_log; fail "ltmonitor is not running"; }
wait_for 5 grep -q "data folder: $(log_folder_of "$user")" "$stage/run.log" ||
    { show_log; fail "the service does not log to the user's data folder"; }
echo "Service (pid $service) and monitor up, tray icon at $icon, $(((up - started) / 1000000)) ms after the start"

# A left click on the tray icon shows the meter once the start's own hiding
# of it (200 ms in) is past, as it is when the splash (1.5 s) has gone.
read -r x y w h <<<"$icon"
wait_for 10 window_gone About || { show_log; fail "the splash window stays"; }
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 1
wait_for 5 window_shown "Linktally Monitor 1.3.1" || { show_log; fail "a click on the tray icon shows no meter window"; }
meter=$(windows_titled "Linktally Monitor 1.3.1" | head -1)
echo "The meter window ($meter) is on screen."

exit_through_tray "$x" "$y" "$w" "$h" || { show_log; fail "a right click on the tray icon opens no menu"; }
status=0
run_status "$run_pid" || status=$?
[ "$status" -eq 0 ] || { show_log; fail "run.sh exited with status $status"; }
if kill -0 "$service" 2>/dev/null || pgrep -u "$user" >/dev/null; then
    show_log
    fail "processes of $user outlive run.sh: $(pgrep -a -u "$user" | tr '\n' ';')"
fi
echo "Exit ended the monitor and the service; run.sh (pid $run_pid) exited with 0."

# Two users at once: each run is personal, in a folder below its own
# runtime folder (as a log-in makes /run/user/UID), so neither meets the
# other's service.
add_user first
add_user second
declare -A runtime_of service_of
for user in "$first" "$second"; do
    runtime_of[$user]="/run/user/$(id -u "$user")"
    runtimes+=("${runtime_of[$user]}")
    install -d -m 0700 -o "$user" -g "$user" "${runtime_of[$user]}"
done
start_run "$first" "$stage/first.log" "${runtime_of[$first]}"
first_run=$run_pid
start_run "$second" "$stage/second.log" "${runtime_of[$second]}"
second_run=$run_pid
show_logs() {
    local which
    for which in first second; do
        echo "--- run.sh output of the $which user"
        cat "$stage/$which.log"
    done
    echo "---"
}

# The tray icon of the user's monitor, as X Y WIDTH HEIGHT, once embedded:
# the window of that process with the icon's name (a search by name misses
# it below the tray).
tray_icon_of() {
    # shellcheck disable=SC2034 # WINDOW and SCREEN come with the geometry
    local monitor window WINDOW X Y WIDTH HEIGHT SCREEN
    monitor=$(pgrep -u "$1" -x ltmonitor) || return 1
    for window in $(xdotool search --pid "$monitor" 2>/dev/null); do
        [ "$(xdotool getwindowname "$window" 2>/dev/null)" = "Linktally 1.3.1" ] || continue
        eval "$(xdotool getwindowgeometry --shell "$window")"
        [ "$WIDTH" -gt 1 ] && [ "$HEIGHT" -gt 1 ] && echo "$X $Y $WIDTH $HEIGHT" && return 0
    done
    return 1
}
# end_run USER RUN_PID: Exit from the user's tray icon must end its run.sh
# with 0 and every program of the user.
end_run() {
    local icon x y w h status=0 attempt
    # The tray may still be moving the icon over a place another one left:
    # a second try reads it anew.
    for attempt in 1 2; do
        icon=$(tray_icon_of "$1") || { show_logs; fail "$1's monitor has no tray icon"; }
        read -r x y w h <<<"$icon"
        exit_through_tray "$x" "$y" "$w" "$h" && break
        [ "$attempt" -eq 2 ] && { show_logs; fail "a right click on $1's tray icon opens no menu"; }
    done
    run_status "$2" || status=$?
    [ "$status" -eq 0 ] || { show_logs; fail "$1's run.sh exited with status $status"; }
    ! pgrep -u "$1" >/dev/null || { show_logs; fail "processes of $1 outlive its run.sh"; }
}
both_icons() { tray_icon_of "$first" >/dev/null && tray_icon_of "$second" >/dev/null; }
wait_for 15 both_icons || { show_logs; fail "the two users' monitors have no two tray icons"; }
for user in "$first" "$second"; do
    service_of[$user]=$(pgrep -u "$user" -x ltsrvc) || { show_logs; fail "$user has no ltsrvc of its own"; }
    table="${runtime_of[$user]}/linktally/LINKTALLY_1.3.1_STATISTICS"
    [ "$(stat -c %U "$table" 2>/dev/null)" = "$user" ] || { show_logs; fail "$user has no live table of its own in $table"; }
    wait_for 5 test -f "$(log_folder_of "$user")/cn.log" || { show_logs; fail "$user's service writes no cn.log of its own"; }
done
if grep -q "starting only the monitor" "$stage/first.log" "$stage/second.log"; then
    show_logs
    fail "a run attached to another user's service"
fi
echo "Users $first and $second: services ${service_of[$first]} and ${service_of[$second]}, each with its own live table and cn.log"

wait_for 10 window_gone About || { show_logs; fail "a splash window stays"; }
end_run "$first" "$first_run"
kill -0 "${service_of[$second]}" 2>/dev/null && pgrep -u "$second" -x ltmonitor >/dev/null ||
    { show_logs; fail "$first's Exit ended $second's programs"; }
echo "$first's Exit ended its own programs; $second's service and monitor still run."
end_run "$second" "$second_run"
echo "$second's Exit ended its programs; both run.sh exited with 0."
