#!/usr/bin/env bash
# Builds Linktally (installing missing Debian packages) and runs the
# collector service ltsrvc with the tray program ltmonitor beside it. When
# ltmonitor exits (its Exit command), the service stops too and the script
# exits with the monitor's status; Ctrl-C stops both.
#   scripts/run.sh [LTSRVC OPTIONS]   e.g. --debug-log (ltsrvc --help lists them)
# As root the service keeps its data in /var/lib like the installed service;
# for any other user in ~/.local/share (set LINKTALLY_COMMON_APPDATA to
# choose). When the system's Linktally service runs (the package's, or one
# run as root), only the monitor starts, on the system's data. Any other
# user's run is personal: its service and monitor meet in a folder of their
# own, $XDG_RUNTIME_DIR/linktally (set LINKTALLY_IPC_DIR to choose), so that
# another user's run neither meets nor stops it. Without a display (no
# DISPLAY, no WAYLAND_DISPLAY) only the service runs, in the foreground. A
# checkout the user cannot write to is not built: its build/dev is used as it is.
set -euo pipefail
cd "$(dirname "$0")/.."

case "${1:-}" in
    -h|--help) sed -n '2,15p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
esac

bin=build/dev/bin
if [ ! -w . ] && [ -x "$bin/ltsrvc" ] && [ -x "$bin/ltmonitor" ]; then
    echo "Using the build in $(pwd)/$bin ($(pwd) is not writable for $(id -un))."
elif [ ! -w . ]; then
    echo "run.sh: $(pwd) is not writable for $(id -un) and has no build in $bin to use;" >&2
    echo "        build it there first (scripts/run.sh as its owner) or use a copy of your own." >&2
    exit 1
else
    . scripts/deps.sh
    ensure_packages "${BUILD_PACKAGES[@]}"
    cmake --preset dev >/dev/null
    cmake --build --preset dev
fi

# The folder of the system's live table, the installed service's and a root
# run's.
system_ipc=/run/linktally
table_name=LINKTALLY_1.3.1_STATISTICS

# service_running TABLE: a running service holds a write lock on its live
# table (an open file description's lock, which /proc/locks lists as OFDLCK
# with the file's device and inode) for as long as it runs.
service_running() {
    local dev ino id
    [ -e "$1" ] || return 1
    read -r dev ino < <(stat -L -c '%d %i' "$1" 2>/dev/null) || return 1
    id=$(printf '%02x:%02x:%d' $(((dev >> 8) & 0xfff)) $(((dev & 0xff) | ((dev >> 12) & 0xfff00))) "$ino")
    grep -Eq "OFDLCK +ADVISORY +WRITE +-?[0-9]+ +$id " /proc/locks
}

# The system's service runs: the package's (account linktally) or root's.
# Another user's personal service in the system's folder is not one.
system_service_running() {
    local table="$system_ipc/$table_name"
    service_running "$table" || return 1
    case "$(stat -c %U "$table" 2>/dev/null)" in
        root | linktally) return 0 ;;
        *) return 1 ;;
    esac
}

# Exports LINKTALLY_IPC_DIR as the user's own folder, made private (0700):
# below XDG_RUNTIME_DIR when that is the user's folder, else in the memory
# file system all may write to, with the user id in its name.
use_personal_ipc_folder() {
    local runtime="${XDG_RUNTIME_DIR:-}" folder
    if [ -n "$runtime" ] && [ -d "$runtime" ] && [ ! -L "$runtime" ] && [ -O "$runtime" ]; then
        folder="$runtime/linktally"
    else
        folder="/dev/shm/linktally-$(id -u)"
        echo "XDG_RUNTIME_DIR is not set to a folder of $(id -un): the programs meet in $folder instead."
    fi
    mkdir -m 0700 "$folder" 2>/dev/null || true
    # In a folder all may write to, another account may have made it first.
    if [ -L "$folder" ] || [ ! -d "$folder" ] || [ ! -O "$folder" ]; then
        echo "run.sh: $folder is not a folder of $(id -un); remove it or set LINKTALLY_IPC_DIR." >&2
        exit 1
    fi
    chmod 0700 "$folder"
    export LINKTALLY_IPC_DIR="$folder"
}

personal=0
if [ "$(id -u)" -ne 0 ] && [ -z "${LINKTALLY_IPC_DIR:-}" ] && ! system_service_running; then
    use_personal_ipc_folder
    personal=1
fi
table="${LINKTALLY_IPC_DIR:-$system_ipc}/$table_name"

# The folders the programs write below: a fresh account has none of them yet.
mkdir -p "${XDG_DATA_HOME:-$HOME/.local/share}" "${XDG_CONFIG_HOME:-$HOME/.config}"
own_service=1
if service_running "$table"; then
    own_service=0
fi
# The user's own data for a personal run and for a service started here.
if [ "$(id -u)" -ne 0 ] && [ -z "${LINKTALLY_COMMON_APPDATA:-}" ] &&
    { [ "$personal" -eq 1 ] || [ "$own_service" -eq 1 ]; }; then
    export LINKTALLY_COMMON_APPDATA="${XDG_DATA_HOME:-$HOME/.local/share}"
fi
[ -n "${LINKTALLY_COMMON_APPDATA:-}" ] && mkdir -p "$LINKTALLY_COMMON_APPDATA"
echo
echo "Programs in $(pwd)/$bin; the connection log is cn.log in the data folder below."
if [ "$personal" -eq 1 ]; then
    echo "A personal run: the live table is in $LINKTALLY_IPC_DIR, for $(id -un) alone" \
        "(ltreport live reads it with LINKTALLY_IPC_DIR set so)."
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    if [ "$own_service" -eq 0 ]; then
        echo "run.sh: no display (neither DISPLAY nor WAYLAND_DISPLAY is set) for the monitor, and a" >&2
        echo "        Linktally service already runs ($table): nothing to start." >&2
        exit 1
    fi
    echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): running only the service, in the foreground; Ctrl-C stops it."
    exec "$bin/ltsrvc" "$@"
fi

# Background programs of a script ignore Ctrl-C: the script passes it on,
# set up before anything starts so that nothing is left running.
service_pid=""
monitor_pid=""
interrupted=""
on_signal() {
    interrupted=$1
    if [ -n "$monitor_pid" ]; then
        kill -TERM "$monitor_pid" 2>/dev/null || true
    elif [ -n "$service_pid" ]; then
        kill -TERM "$service_pid" 2>/dev/null || true
    fi
}
trap 'on_signal 130' INT
trap 'on_signal 143' TERM
trap 'on_signal 129' HUP

if [ "$own_service" -eq 1 ]; then
    "$bin/ltsrvc" "$@" &
    service_pid=$!
elif [ "$personal" -eq 1 ]; then
    echo "Your Linktally service already runs ($table): starting only the monitor, on its data."
else
    echo "A Linktally service already runs: starting only the monitor, on the system's data."
fi
if [ -n "$interrupted" ]; then
    if [ -n "$service_pid" ]; then
        wait "$service_pid" 2>/dev/null || true
    fi
    exit "$interrupted"
fi
# With DISPLAY set the monitor uses X (XWayland under Wayland) by itself.
"$bin/ltmonitor" &
monitor_pid=$!

monitor_status=0
wait "$monitor_pid" || monitor_status=$?
# A signal ends the wait early; the trap has asked the monitor to stop.
while kill -0 "$monitor_pid" 2>/dev/null; do
    monitor_status=0
    wait "$monitor_pid" || monitor_status=$?
done

if [ -n "$service_pid" ]; then
    kill -TERM "$service_pid" 2>/dev/null || true
    service_status=0
    wait "$service_pid" || service_status=$?
    if [ "$service_status" -ne 0 ]; then
        echo "run.sh: ltsrvc ended with status $service_status" >&2
    fi
fi
if [ -n "$interrupted" ]; then
    exit "$interrupted"
fi
exit "$monitor_status"
