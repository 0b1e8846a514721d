#!/usr/bin/env bash
# Sets up and runs every test: a warnings-as-errors build and a sanitizer
# build, each with its whole test suite.  Installs the Debian packages it
# needs when they are missing (as root; otherwise it names them).
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/debian_packages.sh

require_packages cmake make g++ pkg-config libgtest-dev libgmock-dev libicu-dev

jobs=$(nproc)
run_suite() { # name, cmake options...
    local name=$1; shift
    echo "=== $name build"
    cmake -S . -B "build/$name" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
    cmake --build "build/$name" -j "$jobs"
    echo "=== $name tests"
    ctest --test-dir "build/$name" --output-on-failure -j "$jobs"
}

run_suite werror -DWARNINGS_AS_ERRORS=ON
bash tests/run_windows.sh
run_suite sanitize -DWARNINGS_AS_ERRORS=ON -DENABLE_SANITIZERS=ON
require_packages clang libclang-rt-14-dev valgrind
echo "=== fuzzers"
bash tests/run_fuzzers.sh
echo "=== end-to-end tests under valgrind"
bash tests/run_valgrind.sh build/werror
echo "=== manual pages"
bash tests/check_manuals.sh
echo "=== packages"
bash tests/package_test.sh
echo "=== all tests passed"
