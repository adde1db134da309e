#!/usr/bin/env bash
# CI: the README's run command (scripts/run.sh) as a fresh unprivileged user
# with an empty home, on a virtual X server (Xvfb) with a tray host
# (trayer), from a root-owned copy of this checkout with a prebuilt build:
# the service and the monitor must come up (the service logging to the
# user's own data folder, the tray icon showing the meter window), and the
# monitor's Exit (tray menu) must end both, run.sh with status 0. Needs
# root (it adds the user and removes it afterwards).
#   scripts/ci_run_command.sh [BUILD_DIR]   default: build/ci under CI, else build/dev
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)

case "${1:-}" in
    -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
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
user="ltrun$(od -An -N3 -tu4 /dev/urandom | tr -d ' ')"
run_pid=""
cleanup() {
    local pid
    for pid in $run_pid $(pgrep -u "$user" 2>/dev/null || true); do
        kill -KILL "$pid" 2>/dev/null || true
    done
    xsession_stop
    if id "$user" >/dev/null 2>&1; then
        # What the user's programs left outside its home: the monitor's
        # instance lock in /dev/shm, Qt's runtime folder in /tmp.
        find /dev/shm /tmp -maxdepth 1 -user "$user" -exec rm -rf {} + 2>/dev/null || true
        userdel -f -r "$user" 2>/dev/null || true
    fi
    rm -rf "$stage"
}
trap cleanup EXIT

# A copy like a root-owned checkout on a build machine: readable by all,
# writable by none but root, with the build in place (wherever this
# checkout lives, e.g. below a 0700 /root).
copy="$stage/linktally"
mkdir -p "$copy/build/dev/bin" "$copy/build/dev/lib"
tar -C "$repo" --exclude=./build --exclude=./.git -cf - . | tar -C "$copy" -xf -
cp "$build"/bin/{ltsrvc,ltmonitor,ltreport} "$copy/build/dev/bin/"
cp "$build"/lib/*.so "$copy/build/dev/lib/"
chmod -R a+rX,go-w "$stage"

useradd -m -s /bin/bash "$user"
home=$(getent passwd "$user" | cut -d: -f6)
[ ! -e "$home/.local" ] && [ ! -e "$home/.config" ] || fail "$home is not a fresh home"

xsession_start "$build/bin/xtraywait" "$stage" || fail "no virtual X session"
echo "X server $DISPLAY with trayer; user $user (home $home); checkout copy $copy"

started=$(date +%s%N)
runuser -u "$user" -- env -i HOME="$home" USER="$user" LOGNAME="$user" SHELL=/bin/bash \
    PATH=/usr/local/bin:/usr/bin:/bin LANG="${LANG:-C.UTF-8}" DISPLAY="$DISPLAY" \
    bash -c "cd '$copy' && scripts/run.sh" >"$stage/run.log" 2>&1 &
run_pid=$!

show_log() { echo "--- run.sh output"; cat "$stage/run.log"; echo "---"; }
icon=$("$build/bin/xtraywait" 15 --icon ltmonitor) || { show_log; fail "no tray icon of ltmonitor"; }
up=$(date +%s%N)
service=$(pgrep -u "$user" -x ltsrvc) || { show_log; fail "ltsrvc is not running"; }
pgrep -u "$user" -x ltmonitor >/dev/null || { show_log; fail "ltmonitor is not running"; }
wait_for 5 grep -q "data folder: $home/.local/share/Tarnwick Software/Linktally/1.3.1" "$stage/run.log" ||
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

# Exit, the last entry of the tray menu.
before=$(ltmonitor_windows)
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 3
wait_for 5 more_windows_than "$before" || { show_log; fail "a right click on the tray icon opens no menu"; }
xdotool key Up Return
ended() { ! kill -0 "$run_pid" 2>/dev/null; }
wait_for 10 ended || { show_log; fail "run.sh still runs 10 s after Exit"; }
status=0
wait "$run_pid" || status=$?
run_pid_done=$run_pid
run_pid=""
[ "$status" -eq 0 ] || { show_log; fail "run.sh exited with status $status"; }
if kill -0 "$service" 2>/dev/null || pgrep -u "$user" >/dev/null; then
    show_log
    fail "processes of $user outlive run.sh: $(pgrep -a -u "$user" | tr '\n' ';')"
fi
echo "Exit ended the monitor and the service; run.sh (pid $run_pid_done) exited with 0."
