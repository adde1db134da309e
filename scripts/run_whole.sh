#!/usr/bin/env bash
# Runs every test program of a build once as a whole, all its tests in one
# process, as a developer does; ctest runs each test in a process of its own
# and so misses state that one test leaves to the next.
#   scripts/run_whole.sh [PRESET]   default: ci under CI, else dev
# The build must exist (scripts/test.sh makes it).
set -uo pipefail
cd "$(dirname "$0")/.."

preset="${1:-}"
if [ -z "$preset" ]; then
    preset=dev
    [ -n "${CI:-}" ] && preset=ci
fi
case "$preset" in
    -h|--help) sed -n '2,6p' "$0"; exit 0 ;;
esac

shopt -s nullglob
programs=(build/"$preset"/bin/*_tests)
if [ ${#programs[@]} -eq 0 ]; then
    echo "no test programs in build/$preset/bin: build the preset first" >&2
    exit 2
fi
failed=()
for program in "${programs[@]}"; do
    echo "=== $(basename "$program")"
    if ! "$program" --gtest_brief=1; then
        failed+=("$(basename "$program")")
    fi
done
if [ ${#failed[@]} -ne 0 ]; then
    echo "Failed when run whole: ${failed[*]}" >&2
    exit 1
fi
echo "All ${#programs[@]} test programs passed when run whole."
