# A virtual X session for the scripts that drive the real windows: an X
# server (Xvfb) on the first free display, with the tray host trayer as a
# 100 x 32 panel at its bottom right. Sourced after scripts/waits.sh.

xsession_pids=()

# xsession_start XTRAYWAIT WORK [SCREEN]: starts both and exports DISPLAY;
# returns once trayer owns the system tray, or fails saying why. SCREEN is
# Xvfb's WIDTHxHEIGHTxDEPTH (1024x768x24); WORK takes the servers' output.
xsession_start() {
    local xtraywait=$1 work=$2 screen=${3:-1024x768x24}
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    xsession_pids+=($!)
    wait_for 5 grep -q . "$work/display" || { echo "Xvfb did not start: $(cat "$work/xvfb.log")" >&2; return 1; }
    export DISPLAY=":$(head -1 "$work/display")"
    trayer --edge bottom --align right --widthtype pixel --width 100 --height 32 >"$work/trayer.log" 2>&1 &
    xsession_pids+=($!)
    "$xtraywait" 10 || { echo "trayer took no system tray: $(cat "$work/trayer.log")" >&2; return 1; }
}

# Ends trayer, then the X server.
xsession_stop() {
    local i
    for ((i = ${#xsession_pids[@]} - 1; i >= 0; i--)); do
        kill -TERM "${xsession_pids[i]}" 2>/dev/null || true
        wait "${xsession_pids[i]}" 2>/dev/null || true
    done
    xsession_pids=()
}
