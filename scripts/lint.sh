#!/usr/bin/env bash
# Runs clang-tidy with the project's .clang-tidy on every source under src/ (the tests are left
# out), treating each finding as an error. Uses the compile commands of the build folder given.
# A run is skipped when neither the sources nor the settings changed since the last clean one.
# Usage: lint.sh BUILD_DIR [JOBS]
set -euo pipefail

build_dir=$1
jobs=${2:-2}
cd "$(dirname "$0")/.."

if [ ! -f "$build_dir/compile_commands.json" ]; then
    echo "lint: $build_dir/compile_commands.json is missing; build first" >&2
    exit 1
fi

stamp=$build_dir/lint-clean.stamp
fingerprint=$(
    {
        clang-tidy --version
        find src .clang-tidy "$build_dir/compile_commands.json" -type f -print0 | sort -z |
            xargs -0 sha256sum
    } | sha256sum | cut -d' ' -f1
)
if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$fingerprint" ]; then
    echo "clang-tidy: nothing changed since the last clean run"
    exit 0
fi
rm -f "$stamp"

echo "clang-tidy on src/ ($jobs at a time)"
# clang-tidy reports to standard output; its standard error only counts what it suppressed.
# The compile commands are GCC's, whose warning options clang may not know.
if find src -name '*.cpp' -print0 | sort -z |
    xargs -0 -n 4 -P "$jobs" clang-tidy -p "$build_dir" --quiet --warnings-as-errors='*' \
        --extra-arg=-Wno-unknown-warning-option \
        2> >(grep -vE '^[0-9]+ (warning|error)s? (and [0-9]+ (warning|error)s? )?generated\.$' >&2); then
    echo "$fingerprint" >"$stamp"
else
    echo "clang-tidy found problems (see above)" >&2
    exit 1
fi
