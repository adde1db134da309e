#!/usr/bin/env bash
# Builds Linktally and runs every test. Installs missing Debian packages first.
#   scripts/test.sh           optimised build (warnings are errors under CI)
#   scripts/test.sh --asan    AddressSanitizer + UndefinedBehaviorSanitizer build
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh

preset=dev
[ -n "${CI:-}" ] && preset=ci
case "${1:-}" in
    --asan) preset=asan ;;
    "") ;;
    -h|--help) sed -n '2,5p' "$0"; exit 0 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
esac

ensure_packages "${BUILD_PACKAGES[@]}"
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
