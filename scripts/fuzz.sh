#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# Usage: scripts/fuzz.sh [seconds per target] ; crashes land in build-fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
dir=build-fuzz
CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCORVANE_FUZZ=ON -DCORVANE_BUILD_GUI=OFF -DCORVANE_BUILD_TESTS=OFF >/dev/null
cmake --build "$dir" -j "$(nproc)"
mkdir -p "$dir/artifacts"
status=0
for target in "$dir"/fuzz/*Fuzzer; do
    name=$(basename "$target")
    corpus="$dir/corpus/$name"
    mkdir -p "$corpus"
    seeds="fuzz/corpus/${name%Fuzzer}"
    seeds=$(echo "$seeds" | tr '[:upper:]' '[:lower:]')
    echo "== $name for ${seconds}s"
    extra=()
    [ -d "$seeds" ] && extra+=("$seeds")
    options=(-timeout=10)
    # libplist recurses once per level of nesting: short inputs keep that out of what is found.
    [ "$name" = PlistValuesFuzzer ] && options+=(-max_len=4096)
    [ -f "fuzz/$name.dict" ] && options+=(-dict="fuzz/$name.dict")
    if ! "$target" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$dir/artifacts/$name-" "$corpus" "${extra[@]}" 2>"$dir/$name.log"; then
        echo "$name found a crash; see $dir/$name.log"
        status=1
    fi
    grep -E "stat::number_of_executed_units|cov:" "$dir/$name.log" | tail -n 2
done
exit $status
