#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a while.
#   scripts/fuzz.sh [SECONDS]     default 60 seconds per target
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/deps.sh
seconds="${1:-60}"

ensure_packages "${BUILD_PACKAGES[@]}" clang libclang-rt-dev
cmake --preset fuzz
cmake --build --preset fuzz
for target in build/fuzz/bin/*_fuzz; do
    corpus="build/fuzz/corpus/$(basename "$target")"
    mkdir -p "$corpus"
    seeds="fuzz/seeds/$(basename "$target")"
    echo "== $(basename "$target"): ${seconds}s"
    "$target" -max_total_time="$seconds" -print_final_stats=1 "$corpus" $( [ -d "$seeds" ] && echo "$seeds" )
done
