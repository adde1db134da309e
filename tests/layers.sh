#!/usr/bin/env bash
# The layers of src/ hold: a folder includes only itself and folders below
# it, and nothing but the windows (ui) and the tray program includes Qt.
#   tests/layers.sh [SRC]   default: the src folder beside this one
# Prints every include that breaks a rule; exit status 1 when there is one.
set -uo pipefail
src="${1:-$(dirname "$0")/../src}"

# The folders from the bottom up; one level may include the levels before
# it. service and model stand side by side and include neither the other.
levels=(errors platform common log "service model" ui "programs/ltreport programs/ltmonitor")
# Folders that must stay free of Qt (and so of ui).
qt_free=(errors platform common log service model programs/ltreport)

level_of() {
    local i
    for i in "${!levels[@]}"; do
        for folder in ${levels[i]}; do
            [ "$folder" = "$1" ] && { echo "$i"; return; }
        done
    done
    echo -1
}

# The folder of a project include ("log/conlogger.h" -> log,
# "programs/ltreport/x.h" -> programs/ltreport); empty for another library's.
folder_of_include() {
    case "$1" in
        programs/*/*) echo "${1%/*}" ;;
        */*) [ -d "$src/${1%%/*}" ] && echo "${1%%/*}" ;;
    esac
}

faults=0
fault() { echo "$1"; faults=$((faults + 1)); }

# A folder the levels do not name would go unchecked.
for dir in "$src"/*/ "$src"/programs/*/; do
    folder=${dir#"$src"/}
    folder=${folder%/}
    [ "$folder" = programs ] && continue
    [ "$(level_of "$folder")" -ge 0 ] || fault "$dir: a folder without a level: add it to tests/layers.sh"
done

for level in "${levels[@]}"; do
    for folder in $level; do
        own=$(level_of "$folder")
        qt_allowed=1
        for free in "${qt_free[@]}"; do [ "$free" = "$folder" ] && qt_allowed=0; done
        while IFS=: read -r file line text; do
            if [[ "$text" =~ ^#include\ *\<Q ]]; then
                [ "$qt_allowed" -eq 1 ] || fault "$file:$line: Qt in the Qt-free $folder: $text"
                continue
            fi
            [[ "$text" =~ ^#include\ *\"([^\"]+)\" ]] || continue
            target=$(folder_of_include "${BASH_REMATCH[1]}")
            [ -n "$target" ] && [ "$target" != "$folder" ] || continue
            theirs=$(level_of "$target")
            if [ "$target" = ui ] && [ "$qt_allowed" -eq 0 ]; then
                fault "$file:$line: the Qt-free $folder includes the windows: $text"
            elif [ "$theirs" -lt 0 ] || [ "$theirs" -ge "$own" ]; then
                fault "$file:$line: $folder includes $target, which is not below it: $text"
            fi
        done < <(grep -Hn '^#include' "$src/$folder"/*.h "$src/$folder"/*.cpp 2>/dev/null)
    done
done
if [ "$faults" -gt 0 ]; then
    echo "$faults include(s) against the layers" >&2
    exit 1
fi
echo "Layers hold: every include points down, Qt only in ui and ltmonitor."
