#!/usr/bin/env bash
# Builds Linktally (installing missing Debian packages) and runs the
# collector service ltsrvc in the foreground; Ctrl-C stops it.
# As root it keeps its data in /var/lib like the installed service; for
# any other user in ~/.local/share (set LINKTALLY_COMMON_APPDATA to choose).
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
ensure_packages "${BUILD_PACKAGES[@]}"
cmake --preset dev >/dev/null
cmake --build --preset dev
if [ "$(id -u)" -ne 0 ] && [ -z "${LINKTALLY_COMMON_APPDATA:-}" ]; then
    export LINKTALLY_COMMON_APPDATA="${XDG_DATA_HOME:-$HOME/.local/share}"
fi
echo
echo "Programs in $(pwd)/build/dev/bin; the connection log is cn.log in the data folder below."
exec build/dev/bin/ltsrvc "$@"
