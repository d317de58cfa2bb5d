#!/usr/bin/env bash
# Builds base, core, app and host and their tests that need no Qt with clang
# and libc++, the standard library of macOS, and runs those tests.
# Usage: scripts/portability.sh [BUILD_DIR [JOBS]]
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build-portable}
jobs=${2:-$(nproc)}

# Debian's clang 14 is the one whose libc++ headers install-deps.sh brings in.
cxx=$(command -v clang++-14 || command -v clang++ || true)
cc=$(command -v clang-14 || command -v clang || true)
if [ -z "$cxx" ] || [ -z "$cc" ]; then
    echo "portability: clang++ not found (run make deps)" >&2
    exit 1
fi
if [ ! -f /usr/src/googletest/CMakeLists.txt ]; then
    echo "portability: /usr/src/googletest missing (Debian package googletest; run make deps)" >&2
    exit 1
fi

mkdir -p "$build_dir"
log="$build_dir/configure.log"
cmake -S portability -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_C_COMPILER="$cc" -DCORVANE_WERROR=ON >"$log" 2>&1 || {
    cat "$log" >&2
    exit 1
}
# Which test files are built here, and which need Qt.
grep -E '^-- portable: ' "$log" | sed -E 's/^-- //' || true

cmake --build "$build_dir" -j "$jobs"

# Nothing built with libstdc++ may slip in: the programs must link libc++ and not libstdc++.
shopt -s nullglob
for program in "$build_dir"/tests/*_tests "$build_dir"/corvane-open "$build_dir"/corvane-plist-reader; do
    libraries=$(ldd "$program")
    if ! grep -q 'libc++\.so' <<<"$libraries" || grep -q 'libstdc++' <<<"$libraries"; then
        echo "portability: $program is not linked against libc++ alone" >&2
        exit 1
    fi
done

cd "$build_dir"
ctest --output-on-failure -j "$jobs" --no-tests=error
