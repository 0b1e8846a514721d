#!/usr/bin/env bash
# Builds the tools and runs each of them once over the sample sprite folder.
# Installs the Debian packages it needs when they are missing.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/debian_packages.sh
require_packages cmake make g++ pkg-config libicu-dev

cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build build/release -j "$(nproc)" >/dev/null
bin=$PWD/build/release/bin

# Work on a copy, so the lists and batch files do not land in the repository.
work=$(mktemp -d)
cp -r sample/sprites "$work/"
cd "$work/sprites"
show() { echo; echo "\$ $*"; }

show Rollcall '"*.shp"' list.txt
"$bin/Rollcall" "*.shp" list.txt
show cat list.txt
cat list.txt

show Exec sprconv.exe '"*.shp"' s16 g2.pal '>' mk_shp_s16.bat
"$bin/Exec" sprconv.exe "*.shp" s16 g2.pal > mk_shp_s16.bat
show cat mk_shp_s16.bat
cat mk_shp_s16.bat

show Say '"/*.s16"' '"files S16"'
status=0
"$bin/Say" "/*.s16" "files S16" || status=$?
echo "(exit status $status)"

echo
echo "The files are in $work/sprites"
