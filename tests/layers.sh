#!/usr/bin/env bash
# The layers of the source hold: a folder includes only itself and the
# folders its line below allows, nothing but the windows (ui) and the tray
# program includes Qt, and inside the log each unit includes only the ones
# beneath it.
#   tests/layers.sh [ROOT]   default: the checkout this script is in
# Prints every include that breaks a rule; exit status 1 when there is one.
set -uo pipefail
root="${1:-$(dirname "$0")/..}"

# FOLDER: the folders of ours it may include, besides its own.
allowed=(
    "src/errors:"
    "src/platform: errors"
    "src/common: errors platform"
    "src/log: errors platform common"
    "src/service: errors platform common log"
    "src/model: errors platform common log"
    "src/ui: errors platform common log model"
    "src/programs/ltreport: errors platform common log model"
    "src/programs/ltmonitor: errors platform common log model ui"
    "lib/iphlpapi: platform"
    "lib/splash:"
)
# Folders that may include Qt.
qt_folders=" src/ui src/programs/ltmonitor "
# The log's units from the bottom up: each includes only those before it.
log_units=(logrecord logframe "conlogger logreader")

faults=0
fault() { echo "$1"; faults=$((faults + 1)); }

allowed_for() {
    local entry
    for entry in "${allowed[@]}"; do
        [ "${entry%%:*}" = "$1" ] && { echo " ${entry#*:} "; return 0; }
    done
    return 1
}

log_level() {
    local i unit
    for i in "${!log_units[@]}"; do
        for unit in ${log_units[i]}; do [ "$unit" = "$1" ] && { echo "$i"; return; }; done
    done
    echo -1
}

# The folder of ours an include names ("log/conlogger.h" -> log,
# "programs/ltreport/x.h" -> programs/ltreport); nothing for another's.
folder_named() {
    case "$1" in
        programs/*/*) echo "${1%/*}" ;;
        */*) [ -d "$root/src/${1%%/*}" ] && echo "${1%%/*}" ;;
    esac
}

is_qt() {
    case "$1" in
        Q* | Qt*/* | q*.h) return 0 ;;
        *) return 1 ;;
    esac
}

check_file() { # folder file
    local folder=$1 file=$2 may line text name target unit mine theirs
    may=$(allowed_for "$folder")
    while IFS=: read -r line text; do
        [[ "$text" =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*[\<\"]([^\>\"]+) ]] || continue
        name=${BASH_REMATCH[1]}
        if is_qt "$name"; then
            [[ "$qt_folders" == *" $folder "* ]] || fault "$file:$line: Qt in $folder, which stays free of it: $text"
            continue
        fi
        target=$(folder_named "$name")
        [ -n "$target" ] || continue
        if [ "src/$target" = "$folder" ]; then
            if [ "$folder" = src/log ]; then
                unit=$(basename "$file"); unit=${unit%.*}
                mine=$(log_level "$unit")
                theirs=$(log_level "$(basename "${name%.*}")")
                [ "$mine" -lt 0 ] || [ "$theirs" -lt 0 ] || [ "$theirs" -lt "$mine" ] ||
                    [ "$(basename "${name%.*}")" = "$unit" ] ||
                    fault "$file:$line: $unit includes the log's $name, which is not beneath it"
            fi
            continue
        fi
        [[ "$may" == *" $target "* ]] || fault "$file:$line: $folder includes $target, which is not below it: $text"
    done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file")
}

while IFS= read -r dir; do
    folder=${dir#"$root"/}
    if ! allowed_for "$folder" >/dev/null; then
        fault "$folder: a folder without a line in tests/layers.sh"
        continue
    fi
    while IFS= read -r file; do
        check_file "$folder" "$file"
    done < <(find "$dir" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.inc' \))
done < <(find "$root/src" "$root/lib" -mindepth 1 -maxdepth 1 -type d ! -name programs; \
         find "$root/src/programs" -mindepth 1 -maxdepth 1 -type d)

if [ "$faults" -gt 0 ]; then
    echo "$faults include(s) against the layers" >&2
    exit 1
fi
echo "Layers hold: every include points down, Qt only in ui and ltmonitor, the log's units in order."
