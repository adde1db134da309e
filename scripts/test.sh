#!/usr/bin/env bash
# Builds Linktally and runs every test. Installs missing Debian packages first.
#   scripts/test.sh           optimised build (warnings are errors under CI)
#   scripts/test.sh --asan    AddressSanitizer + UndefinedBehaviorSanitizer build
#   scripts/test.sh --tsan    ThreadSanitizer build, the threaded tests only
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
. scripts/preset.sh

preset=$(default_preset)
case "${1:-}" in
    --asan) preset=asan ;;
    --tsan) preset=tsan ;;
    "") ;;
    -h|--help) sed -n '2,6p' "$0"; exit 0 ;;
    *) echo "unknown option: $1 (see --help)" >&2; exit 2 ;;
esac

ensure_packages "${BUILD_PACKAGES[@]}"
ensure_test_locale
cmake --preset "$preset"
cmake --build --preset "$preset"
ctest --preset "$preset"
