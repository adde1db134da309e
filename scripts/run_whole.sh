#!/usr/bin/env bash
# Runs every test program of a build once as a whole, all its tests in one
# process, as a developer does; ctest runs each test in a process of its own
# and so misses state that one test leaves to the next.
#   scripts/run_whole.sh [PRESET]            default: ci under CI, else dev
#   scripts/run_whole.sh [PRESET] --e2e N    only the end-to-end programs (the
#       real ltsrvc, ltreport and ltmonitor), each N times over in one process,
#       so that a test that fails one run in a few shows
# The build must exist (scripts/test.sh makes it).
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/preset.sh

preset=$(default_preset)
repeat=""
while [ $# -gt 0 ]; do
    case "$1" in
        -h|--help) sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        --e2e)
            repeat="${2:-}"
            [[ "$repeat" =~ ^[1-9][0-9]*$ ]] || { echo "--e2e needs a count of runs" >&2; exit 2; }
            shift 2 ;;
        -*) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
        *) preset=$1; shift ;;
    esac
done

shopt -s nullglob
if [ -n "$repeat" ]; then
    programs=(build/"$preset"/bin/{e2e_tests,ltreport_tests})
    # The monitor's only where the build has the tray program.
    [ -x "build/$preset/bin/ltmonitor" ] && programs+=(build/"$preset"/bin/ltmonitor_e2e)
    for program in "${programs[@]}"; do
        [ -x "$program" ] || { echo "$program is not built" >&2; exit 2; }
    done
else
    programs=(build/"$preset"/bin/*_tests build/"$preset"/bin/*_e2e)
fi
if [ ${#programs[@]} -eq 0 ]; then
    echo "no test programs in build/$preset/bin: build the preset first" >&2
    exit 2
fi
failed=()
for program in "${programs[@]}"; do
    echo "=== $(basename "$program")${repeat:+, $repeat times}"
    if ! "$program" --gtest_brief=1 ${repeat:+--gtest_repeat=$repeat}; then
        failed+=("$(basename "$program")")
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "Failed when run whole: ${failed[*]}" >&2
    exit 1
fi
echo "All ${#programs[@]} test programs passed when run whole${repeat:+, $repeat times each}."
