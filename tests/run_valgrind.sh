#!/usr/bin/env bash
# Runs the end-to-end suite (tool_tests) once with every tool run under
# Valgrind's memcheck.  Any memcheck error, or a definite leak, makes the
# tool exit with status 99, which no test expects, so the test fails.
#
#   bash tests/run_valgrind.sh [BUILD_DIR]     (default build/werror)
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/debian_packages.sh

require_packages valgrind cmake make g++ pkg-config libgtest-dev libgmock-dev libicu-dev

build=${1:-build/werror}
if [[ ! -x $build/bin/tool_tests ]]; then
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DWARNINGS_AS_ERRORS=ON >/dev/null
    cmake --build "$build" -j "$(nproc)" --target tool_tests
fi
if grep -q 'ENABLE_SANITIZERS:BOOL=ON' "$build/CMakeCache.txt"; then
    echo "$build is a sanitizer build; valgrind needs a plain one" >&2
    exit 1
fi

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
chmod 755 "$scratch" # the locked-folder tests run the wrapper as "nobody"
cat >"$scratch/memcheck" <<'WRAPPER'
#!/bin/sh
exec valgrind --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite -q "$@"
WRAPPER
chmod 755 "$scratch/memcheck"

echo "=== tool_tests under valgrind"
TOOLS_WRAPPER="$scratch/memcheck" "$build/bin/tool_tests"
echo "=== no valgrind reports"
