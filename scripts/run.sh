#!/usr/bin/env bash
# Builds Linktally (installing missing Debian packages) and tells where the
# programs are.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake --preset dev >/dev/null
cmake --build --preset dev
echo
echo "Built into $(pwd)/build/dev:"
ls -1 build/dev/bin | sed 's/^/  bin\//'
ls -1 build/dev/lib 2>/dev/null | sed 's/^/  lib\//' || true
echo "The collector service ltsrvc and the monitor are not part of this build yet."
