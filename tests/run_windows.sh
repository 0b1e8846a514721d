#!/usr/bin/env bash
# Cross-builds the Windows programs with mingw-w64 and tests them under
# Wine: the splitter's table as a Windows program, then the native
# end-to-end suite with the .exe files in place of the Linux tools, then
# the side-by-side checks of tests/wine_parity_test.sh.  Expects the native
# build of tests/run_all.sh (build/werror, or NATIVE_BUILD) to be there.
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/debian_packages.sh

require_packages cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64

native_build=${NATIVE_BUILD:-build/werror}
windows_build=build/windows
if [ ! -x "$native_build/bin/tool_tests" ]; then
    echo "No $native_build/bin/tool_tests: run tests/run_all.sh first" >&2
    exit 1
fi

echo "=== windows cross build"
cmake -S . -B "$windows_build" --toolchain cmake/mingw-w64-x86_64.cmake \
    -DCMAKE_BUILD_TYPE=Release -DWARNINGS_AS_ERRORS=ON >/dev/null
cmake --build "$windows_build" -j "$(nproc)"

# A fresh Wine prefix for each run, made quietly: no display, no Mono or
# Gecko install prompts, no debug chatter on standard error.
export WINEPREFIX=$PWD/build/wine-prefix
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
echo "=== wine prefix"
rm -rf "$WINEPREFIX"
wineboot -i >/dev/null 2>&1
# wineserver stops itself a few seconds after the last program; until then
# it serves every run below, which keeps each one fast.
trap 'wineserver -k 2>/dev/null || true' EXIT

echo "=== windows tests"
# Each program's version record: its file and product version.
check_version() { # program, version
    local record
    record=$(strings -el "$windows_build/bin/$1.exe")
    for field in FileVersion ProductVersion; do
        [ "$(grep -A1 -x "$field" <<<"$record" | tail -n 1)" = "$2" ] || {
            echo "FAILED: $1.exe: $field is not $2"
            exit 1
        }
    done
    grep -qx FileDescription <<<"$record" || { echo "FAILED: $1.exe has no FileDescription"; exit 1; }
}
check_version Rollcall 1.0.0.0
check_version Exec 1.0.0.3
check_version Say 1.0.0.0
ctest --test-dir "$windows_build" --output-on-failure

# Both suites run even when the first fails, so one run shows every
# difference between the builds.
failed=()
echo "=== end-to-end tests under wine"
TOOLS_RUNNER=wine TOOLS_DIR="$PWD/$windows_build/bin" TOOLS_SUFFIX=.exe "$native_build/bin/tool_tests" ||
    failed+=("end-to-end tests under wine")

echo "=== wine parity tests"
tests/wine_parity_test.sh "$native_build/bin" "$windows_build/bin" || failed+=("wine parity tests")

if [ ${#failed[@]} -ne 0 ]; then
    printf 'FAILED: %s\n' "${failed[@]}"
    exit 1
fi
echo "=== windows tests passed"
