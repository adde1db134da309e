# Waiting on what a script needs (a window, a menu, a figure in the live
# table) rather than for a fixed time, which a busy machine outlasts.
# Sourced by the scripts that drive the real programs.

# wait_for SECONDS COMMAND [ARG...]: runs COMMAND every tenth of a second
# until it succeeds; status 1 when SECONDS (whole) have passed first.
wait_for() {
    local tenths=$(($1 * 10)) i
    shift
    for ((i = 0; i < tenths; i++)); do
        "$@" && return 0
        sleep 0.1
    done
    "$@"
}

# The visible top-level windows of this exact title, an id a line.
windows_titled() { xdotool search --maxdepth 1 --onlyvisible --name "^$1\$" 2>/dev/null; }
window_shown() { [ -n "$(windows_titled "$1")" ]; }
# window_gone TITLE [ID]: no visible window of that title (or not that one).
window_gone() { ! windows_titled "$1" | grep -qx "${2:-[0-9]*}"; }

# The number of ltmonitor's visible top-level windows (meter, dialogs, open
# menus); more than before once a menu opened.
ltmonitor_windows() { xdotool search --maxdepth 1 --onlyvisible --classname '^ltmonitor$' 2>/dev/null | wc -l; }
more_windows_than() { [ "$(ltmonitor_windows)" -gt "$1" ]; }
