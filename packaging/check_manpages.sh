#!/usr/bin/env bash
# Checks manual pages against their programs: man reads each page without a
# warning, and every option and subcommand that the program's --help (and
# each subcommand's --help) names is in the page.
#   packaging/check_manpages.sh PAGE PROGRAM [PAGE PROGRAM ...]
set -euo pipefail

failures=0
fail() { echo "$*" >&2; failures=$((failures + 1)); }

# The options a help text names: --long ones and single-letter ones.
options_of() {
    grep -oE -- '(^|[[:space:],[|])--?[a-zA-Z][a-zA-Z-]*' <<<"$1" | sed -E 's/^[[:space:],[|]//' | sort -u
}

# The first words of the indented lines below "Subcommands:" (CLI11's help).
subcommands_of() {
    awk '/^Subcommands:/ { inside = 1; next } inside && /^[[:space:]]+[a-z]/ { print $1; next } inside { inside = 0 }' <<<"$1"
}

while [ $# -ge 2 ]; do
    page=$1 program=$2
    shift 2
    name=$(basename "$page")
    [ -f "$page" ] || { fail "$name: no such page"; continue; }

    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null || true)
    [ -z "$warnings" ] || fail "$name: man warns: $warnings"
    # Hyphens as typed, whatever the formatter made of them.
    text=$(LC_ALL=C.UTF-8 MANWIDTH=200 man -E UTF-8 -l "$page" 2>/dev/null | col -bx | sed 's/\xe2\x80\x90/-/g; s/\xe2\x88\x92/-/g')

    help=$("$program" --help 2>&1) || fail "$name: $program --help failed"
    commands=$(subcommands_of "$help")
    for command in $commands; do
        # A term of its own: the subcommand, perhaps with its [arguments].
        grep -qE "^[[:space:]]+$command([[:space:]]+\\[[^]]*\\])*[[:space:]]*\$" <<<"$text" ||
            fail "$name: subcommand '$command' is not described"
        help+=$'\n'$("$program" "$command" --help 2>&1) || fail "$name: $program $command --help failed"
    done
    for option in $(options_of "$help"); do
        grep -qE -- "(^|[^a-zA-Z0-9-])$option([^a-zA-Z0-9-]|\$)" <<<"$text" || fail "$name: option '$option' is not described"
    done
done
[ $# -eq 0 ] || { echo "usage: $0 PAGE PROGRAM [PAGE PROGRAM ...]" >&2; exit 2; }
[ "$failures" -eq 0 ] || exit 1
echo "Manual pages checked: every option described, no warning."
