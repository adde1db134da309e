# Waiting on what a script needs (a window, a menu, a figure in the live
# table) rather than for a fixed time, which a busy machine outlasts.
# Sourced by the scripts that drive the real programs.

# wait_for SECONDS COMMAND [ARG...]: runs COMMAND every tenth of a second
# until it succeeds; when SECONDS (whole) have passed first, its last try's
# status.
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
ltmonitor_windows() { { xdotool search --maxdepth 1 --onlyvisible --classname '^ltmonitor$' 2>/dev/null || true; } | wc -l; }
more_windows_than() { [ "$(ltmonitor_windows)" -gt "$1" ]; }
no_more_windows_than() { [ "$(ltmonitor_windows)" -le "$1" ]; }

# Gives a window the keyboard and waits until it has it.
focused_on() { [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ]; }
focus_window() { xdotool windowfocus "$1" 2>/dev/null; wait_for 3 focused_on "$1"; }

# service_active LTREPORT...: the live table, read by the ltreport command
# given (a path, or a command that runs it as another account), has an owner.
service_active() { "$@" live 2>/dev/null | grep -q '^Service: *active$'; }
