#!/usr/bin/env bash
# Pictures of the tray program from a real run: builds what it needs, then
# in a private network namespace (so needs root) with a veth pair carrying
# made-up traffic runs ltsrvc and ltmonitor on a virtual X server (Xvfb)
# with a tray host (trayer), and saves PNGs, each cropped to the windows it
# shows: splash, meter online (traffic in its chart), connection menu, tray
# menu, options dialog, both price dialogs, every tab of the totals window
# over a generated month of history, meter offline (after the link is
# deleted), then the Totals and Year tabs over a large history (large-*.png).
#   scripts/screenshots.sh [OUT_DIR]   default: build/screenshots
set -euo pipefail
self="$(realpath "$0")"
# A relative OUT_DIR is the caller's.
[ -n "${1:-}" ] && [ "${1#-}" = "$1" ] && set -- "$(realpath -m "$1")"
cd "$(dirname "$self")/.."

case "${1:-}" in
    -h|--help) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac
fail() { echo "screenshots: $*" >&2; exit 1; }
. scripts/waits.sh
. scripts/xsession.sh
. scripts/preset.sh

# The build of scripts/test.sh.
export LT_SCREENSHOTS_PRESET="${LT_SCREENSHOTS_PRESET:-$(default_preset)}"
preset=$LT_SCREENSHOTS_PRESET

if [ "${LT_SCREENSHOTS_INSIDE:-}" != 1 ]; then
    [ "$(id -u)" -eq 0 ] || fail "needs root for a private network namespace with a veth pair (try sudo)"
    out="${1:-build/screenshots}"
    mkdir -p "$out"
    . scripts/deps.sh
    ensure_packages "${BUILD_PACKAGES[@]}"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" --target ltsrvc ltmonitor ltreport xshot xtraywait makehistory
    # A network of its own, and a sysfs that shows it.
    LT_SCREENSHOTS_INSIDE=1 exec unshare --net --mount bash "$self" "$(cd "$out" && pwd)"
fi

out="$1"
bin=build/$preset/bin
mount -t sysfs sysfs /sys
. scripts/testlink.sh
make_test_link

work=$(mktemp -d /tmp/linktally-shots-XXXXXX)
pids=()
cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill -TERM "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    xsession_stop
    rm -rf "$work"
}
trap cleanup EXIT

for folder in common data config runtime ipc home; do mkdir -p "$work/$folder"; done
chmod 700 "$work/runtime"
export LINKTALLY_COMMON_APPDATA="$work/common" XDG_DATA_HOME="$work/data" XDG_CONFIG_HOME="$work/config"
export XDG_RUNTIME_DIR="$work/runtime" LINKTALLY_IPC_DIR="$work/ipc" HOME="$work/home"
mkdir -p "$XDG_CONFIG_HOME/Tarnwick Software/Linktally"
# The connection the monitor shows.
select_connection() {
    printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwick Software\\Linktally\\1.3.1]\n"Connection"="%s"\n' \
        "$1" >"$XDG_CONFIG_HOME/Tarnwick Software/Linktally/1.3.1.reg"
}
select_connection lm0

xsession_start "$bin/xtraywait" "$work" || fail "no virtual X session"

# Five weeks of lm0's history and a price table, for the totals window.
"$bin/makehistory" lm0 35 || fail "no history"

"$bin/ltsrvc" >"$work/ltsrvc.log" 2>&1 &
pids+=($!)
wait_for 5 service_active "$bin/ltreport" || fail "the service did not come up: $(cat "$work/ltsrvc.log")"
QT_QPA_PLATFORM=xcb "$bin/ltmonitor" --debug-log >"$work/ltmonitor.log" 2>&1 &
monitor_pid=$!
pids+=($monitor_pid)

# The first visible top-level window of that title, waiting up to 5 s.
window() {
    wait_for 5 window_shown "$1" || fail "no window '$1' (ltmonitor: $(cat "$work/ltmonitor.log"))"
    windows_titled "$1" | head -1
}
# Closes a window with Escape and waits until it has gone.
escape_from() {
    focus_window "$2" || fail "the window '$1' takes no keys"
    xdotool key Escape
    wait_for 5 window_gone "$1" "$2" || fail "the window '$1' stays after Escape"
}
# The meter's last status line (its debug log) says this.
meter_says() { grep 'TMainForm::updateStatus()' "$XDG_DATA_HOME/Tarnwick Software/Linktally/1.3.1/debug.log" | tail -1 | grep -q "$1"; }
shot() { "$bin/xshot" "$out/$1" "${@:2}"; }
popup_open() { wait_for 3 more_windows_than "$1" || fail "no menu opened"; }
# Sends megabytes of datagrams out of lm0 in one go.
send() {
    local n=$(($1 * 1048576 / 1400)) payload
    payload=$(printf '%1400s' '')
    for ((i = 0; i < n; i++)); do printf '%s' "$payload" >/dev/udp/10.9.0.3/9; done 2>/dev/null
}

splash=$(window About)
sleep 0.3 # painted
shot splash.png --window "$splash"

icon=$("$bin/xtraywait" 10 --icon ltmonitor) || fail "no tray icon"
read -r ix iy iw ih <<<"$icon"
# Once the splash has gone, so has the start's hiding of the meter (200 ms in).
wait_for 10 window_gone About || fail "the splash window stays"
xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2)) click 1
meter=$(window "Linktally Monitor 1.3.1")

# A second's burst of one to four megabytes at a time, for the chart.
for mb in 1 2 3 1 4 2 1 3 2 4 1 2 3 2 1 4 3 1 2 4; do
    send "$mb"
    sleep 1
done
shot meter-online.png --window "$meter"

eval "$(xdotool getwindowgeometry --shell "$meter")" # X, Y
mx=$X my=$Y
before=$(ltmonitor_windows)
xdotool mousemove $((mx + 236)) $((my + 55)) click 1
popup_open "$before"
sleep 0.3
shot connection-menu.png --window "$meter" --popups
xdotool key Escape
wait_for 3 no_more_windows_than "$before" || fail "the connection menu stays after Escape"

before=$(ltmonitor_windows)
xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2)) click 3
popup_open "$before"
sleep 0.3
shot tray-menu.png --rect "$ix,$iy,$iw,$ih" --popups
# Totals, Costs, Options: the third entry.
xdotool key Down Down Down Return
options=$(window Options)
sleep 0.3
shot options.png --window "$options"
escape_from Options "$options"

# The tray menu's entry n (1 = Totals, 2 = Costs, 3 = Options).
tray_menu() {
    local before keys=()
    before=$(ltmonitor_windows)
    xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2)) click 3
    popup_open "$before"
    for ((k = 0; k < $1; k++)); do keys+=(Down); done
    xdotool key "${keys[@]}" Return
}
# Exit, the tray menu's last entry, and the monitor ends.
exit_from_tray_menu() {
    local before
    before=$(ltmonitor_windows)
    xdotool mousemove $((ix + iw / 2)) $((iy + ih / 2)) click 3
    popup_open "$before"
    xdotool key Up Return
    for _ in $(seq 50); do
        kill -0 "$monitor_pid" 2>/dev/null || return 0
        sleep 0.1
    done
    fail "ltmonitor did not exit from its tray menu"
}
# The visible window of that title that is not $2.
other_window() {
    other_of() { windows_titled "$1" | grep -vx "$2" | head -1 | grep .; }
    wait_for 5 other_of "$1" "$2" || fail "no second window '$1'"
}

tray_menu 2
prices=$(window Costs)
focus_window "$prices" || fail "the price list takes no keys"
xdotool key Down # the first price, for Edit
sleep 0.2
shot prices.png --window "$prices"
xdotool key alt+e
record=$(other_window Costs "$prices")
sleep 0.3
shot price-record.png --window "$record" --margin 0 # the list dialog lies around it
escape_from Costs "$record"
escape_from Costs "$prices"

# A budget from the 5th, at 85 % of its traffic cap and 60 % of its money
# cap with the traffic sent above, for the Totals tab (the monitor follows
# the settings). ltreport budget exits 3 or 4 at a level of 80 or 100.
budget_used() {
    "$bin/ltreport" budget --connection lm0 --format csv | awk -F, -v c="$1" 'NR == 2 { print $c }' || [ $? -le 4 ]
}
# Not told: a tray message would lie over the pictures.
"$bin/ltreport" budget --set --connection lm0 --cap-mb 1000000 --billing-day 5 --notify no >/dev/null || fail "no budget"
"$bin/ltreport" budget --set --connection lm0 --billing-day 5 \
    --cap-mb "$(awk -v u="$(budget_used 6)" 'BEGIN { printf "%.0f", u / 0.85 }')" \
    --cap-money "$(awk -v u="$(budget_used 7)" 'BEGIN { printf "%.0f", u / 0.6 }')" >/dev/null || fail "no budget"
tray_menu 1
totals=$(window "Linktally Totals 1.3.1")
sleep 0.5
shot totals-log.png --window "$totals"
# Ctrl+Tab goes round the tabs, from the log to Totals, Day ... Year.
for tab in totals day week month year; do
    xdotool windowfocus "$totals" 2>/dev/null || true
    xdotool key ctrl+Tab
    sleep 0.4
    shot "totals-$tab.png" --window "$totals"
    if [ "$tab" = totals ]; then
        # The Budget group's button, at the bottom right of the group.
        xdotool mousemove --window "$totals" 599 260 click 1
        dialog=$(window "Budget of lm0")
        sleep 0.3
        shot budget-dialog.png --window "$dialog"
        escape_from "Budget of lm0" "$dialog"
    fi
done
xdotool windowunmap "$totals"
wait_for 5 window_gone "Linktally Totals 1.3.1" || fail "the totals window stays"

ip link del lm0
wait_for 10 meter_says 'Offline$' || fail "the meter does not say Offline"
sleep 0.3 # painted
shot meter-offline.png --window "$meter"

exit_from_tray_menu

# A large history, 20,000 MB an hour for five weeks: every figure whole on
# the Totals and Year tabs.
select_connection big0
"$bin/makehistory" big0 35 20000 || fail "no large history"
QT_QPA_PLATFORM=xcb "$bin/ltmonitor" >"$work/ltmonitor-large.log" 2>&1 &
monitor_pid=$!
pids+=($monitor_pid)
window About >/dev/null
wait_for 10 window_gone About || fail "the splash window stays"
tray_menu 1
totals=$(window "Linktally Totals 1.3.1")
for tab in totals day week month year; do
    xdotool windowfocus "$totals" 2>/dev/null || true
    xdotool key ctrl+Tab
    sleep 0.4
    case $tab in totals | year) shot "large-$tab.png" --window "$totals" ;; esac
done
xdotool windowunmap "$totals"
wait_for 5 window_gone "Linktally Totals 1.3.1" || fail "the totals window stays"
exit_from_tray_menu
echo "Pictures in $out"
