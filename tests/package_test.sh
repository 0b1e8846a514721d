#!/usr/bin/env bash
# Builds a release build, makes the Debian package with cpack, unpacks it
# into a scratch root with dpkg -x and runs each installed tool there over
# small scratch folders, comparing output and exit status byte for byte.
# Also checks the package's dependencies (ICU), its file list, that the
# installed manual pages show the usage screens the installed programs
# print, and "cmake --install".  When the Windows cross build is set up
# (build/windows exists), it also cross-builds and checks the .zip.
#
#   PACKAGE_BUILD_DIR   build folder (default build/package; the Windows
#                       one is the same name with -windows added)
#
# Installs the Debian packages it needs when they are missing (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/debian_packages.sh
require_packages cmake make g++ pkg-config libicu-dev dpkg-dev groff-base man-db

build=${PACKAGE_BUILD_DIR:-build/package}
scratch=$(mktemp -d)
trap 'chmod -R u+w "$scratch" 2>/dev/null; rm -rf "$scratch"' EXIT
failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}
# expect_equal WHAT EXPECTED ACTUAL
expect_equal() {
    if [ "$2" != "$3" ]; then
        fail "$1"
        diff <(printf '%s' "$2" | od -c) <(printf '%s' "$3" | od -c) | head -20 >&2 || true
    fi
}
# crlf TEXT: sets $crlf_text to TEXT with every line end made CR LF.
crlf() { crlf_text=${1//$'\n'/$'\r\n'}; }
# file_bytes FILE: sets $bytes to the whole content of FILE, line ends kept.
file_bytes() { bytes=$(cat "$1"; printf x); bytes=${bytes%x}; }

echo "=== package build ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
cmake --build "$build" -j "$(nproc)" > /dev/null
rm -f "$build"/*.deb
(cd "$build" && cpack -G DEB > /dev/null 2> "$scratch/cpack.log") || { cat "$scratch/cpack.log" >&2; exit 1; }
debs=("$build"/*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    echo "FAIL: expected one .deb in $build, found: ${debs[*]}" >&2
    exit 1
fi
deb=${debs[0]}
echo "=== checking $deb"

# --- the package's control data and file list
dpkg-deb -I "$deb" > "$scratch/info"
depends=$(dpkg-deb -f "$deb" Depends)
grep -Eq '(^|, )libicu[0-9]+( |,|$)' <<< "$depends" || fail "no ICU dependency in Depends: $depends"
grep -q "Depends: .*libicu" "$scratch/info" || fail "dpkg-deb -I shows no ICU dependency"
expect_equal "package name" sprite-batch-tools "$(dpkg-deb -f "$deb" Package)"
version=$(sed -n 's/^project(sprite_batch_tools VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
expect_equal "package version" "$version" "$(dpkg-deb -f "$deb" Version)"

expected_files="./usr/bin/Exec
./usr/bin/Rollcall
./usr/bin/Say
./usr/share/doc/sprite-batch-tools/README.md
./usr/share/man/man1/Exec.1.gz
./usr/share/man/man1/Rollcall.1.gz
./usr/share/man/man1/Say.1.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
expect_equal "files in the package" "$expected_files" "$files"

root=$scratch/root
dpkg -x "$deb" "$root"
bin=$root/usr/bin
for tool in Rollcall Exec Say; do
    [ -x "$bin/$tool" ] || fail "$tool is not an executable in the package"
    if ldd "$bin/$tool" | grep -q 'not found'; then
        fail "$tool needs libraries that are not installed: $(ldd "$bin/$tool" | grep 'not found')"
    fi
done

# run_tool FOLDER TOOL ARGS...: runs an installed tool in FOLDER with the
# neutral sort order, without a terminal (so a usage screen does not wait
# for a key) and with no input; sets $out (bytes, CR kept) and $status.
run_tool() {
    local folder=$1 tool=$2
    shift 2
    status=0
    (cd "$folder" && env -u LC_ALL -u LC_COLLATE -u LANG setsid -w "$bin/$tool" "$@" < /dev/null \
        > "$scratch/out") || status=$?
    file_bytes "$scratch/out"
    out=$bytes
}

# --- Say
folder=$scratch/say
mkdir -p "$folder/folder.s16"
touch "$folder/a.s16" "$folder/b.s16" "$folder/C.S16" "$folder/x.shp" "$folder/.hidden.s16"
run_tool "$folder" Say hello
expect_equal "Say hello: output" $'hello\r\n' "$out"
expect_equal "Say hello: status" 0 "$status"
run_tool "$folder" Say "/*.s16" "files S16"
expect_equal "Say count: output" $'3 files S16\r\n' "$out"
expect_equal "Say count: status" 3 "$status"
run_tool "$folder" Say "files S16" "-*.s16"
expect_equal "Say text then count: output" $'files S16 3\r\n' "$out"
expect_equal "Say text then count: status" 3 "$status"
many=$scratch/many
mkdir "$many"
(cd "$many" && for i in $(seq 1 300); do : > "f$i.s16"; done)
run_tool "$many" Say "/*.s16"
expect_equal "Say over 300 files: output" $'300 \r\n' "$out"
expect_equal "Say over 300 files: status seen by the shell" 44 "$status"

# --- Rollcall: ICU's order, Windows symbols before digits, hyphens last,
# hidden and folder entries left out.
folder=$scratch/rollcall
mkdir -p "$folder/folder.shp"
for name in c.shp B.shp a.shp tank2.shp tank-2.shp tank_2.shp Tank10.shp tank.shp .hidden.shp x.s16; do
    : > "$folder/$name"
done
run_tool "$folder" Rollcall "*.shp" list.txt
crlf "Rollcall 1.0 - list maker for sprite repacking, by the Rollcall authors, 2026
Creating list.txt to use with Marno QUILLBOX  to repack Torvex/Corvale.dat
Done ! . list.txt created
"
expect_equal "Rollcall: messages" "$crlf_text" "$out"
expect_equal "Rollcall: status" 0 "$status"
crlf "a.shp
B.shp
c.shp
tank.shp
tank_2.shp
Tank10.shp
tank2.shp
tank-2.shp
"
file_bytes "$folder/list.txt"
expect_equal "Rollcall: list file" "$crlf_text" "$bytes"
# The locale steers the order, from ICU's own data: Swedish puts ä after z.
folder=$scratch/swedish
mkdir "$folder"
: > "$folder/zebra.shp"; : > "$folder/äpple.shp"; : > "$folder/apple.shp"
(cd "$folder" && env -u LC_ALL -u LC_COLLATE LANG=sv_SE.UTF-8 setsid -w "$bin/Rollcall" "*.shp" sv.txt \
    < /dev/null > /dev/null)
crlf "apple.shp
zebra.shp
äpple.shp
"
file_bytes "$folder/sv.txt"
expect_equal "Rollcall with LANG=sv_SE.UTF-8" "$crlf_text" "$bytes"
run_tool "$scratch/rollcall" Rollcall "*.shp" nowhere/list.txt
expect_equal "Rollcall, list not creatable: output" "Error creating nowhere/list.txt" "$out"
expect_equal "Rollcall, list not creatable: status" 1 "$status"

# --- Exec (lines come in the folder's order: compare them sorted)
folder=$scratch/exec
mkdir -p "$folder/folder.shp"
: > "$folder/tank.shp"; : > "$folder/hero walk.shp"; : > "$folder/a.b.shp"; : > "$folder/.hidden.shp"
: > "$folder/tank.s16"
run_tool "$folder" Exec sprconv.exe "*.shp" s16 g2.pal
crlf "sprconv.exe a.b.shp a.s16 g2.pal  
sprconv.exe hero walk.shp hero walk.s16 g2.pal  
sprconv.exe tank.shp tank.s16 g2.pal  
"
expect_equal "Exec: lines" "$(printf '%s' "$crlf_text" | sort)" "$(printf '%s' "$out" | sort)"
expect_equal "Exec: output ends in CR LF" $'\r\n' "${out: -2}"
expect_equal "Exec: status" 0 "$status"
if [ -w /dev/full ]; then
    status=0
    (cd "$folder" && setsid -w "$bin/Exec" t "*.shp" s16 < /dev/null > /dev/full) || status=$?
    expect_equal "Exec into a full disk: status" 1 "$status"
fi

# --- the installed manual pages: they open with man, and the usage screen
# each shows is the one the installed program prints.
empty=$scratch/empty
mkdir "$empty"
for tool in Rollcall Exec Say; do
    page=$root/usr/share/man/man1/$tool.1.gz
    text=$(MANWIDTH=80 man -E UTF-8 -l "$page" 2> /dev/null | col -bx) || true
    grep -q "^       $tool - " <<< "$text" || { fail "man cannot show the installed $tool page"; continue; }
    documented=$(sed -n '/^   Usage screen$/,/Hit any key/p' <<< "$text" | sed '1d; s/^           //; s/ *$//')
    run_tool "$empty" "$tool"
    expect_equal "$tool usage screen: status" 0 "$status"
    printed=$(printf '%s' "$out" | tr -d '\r' | sed 's/ *$//')
    expect_equal "$tool usage screen as printed vs its manual page" "$printed" "$documented"
done

# --- cmake --install puts the same files in the usual places.
prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" > /dev/null
installed=$(cd "$prefix" && find . -type f | sort)
expect_equal "files from cmake --install" "$(sed 's|^\./usr/|./|' <<< "$expected_files")" "$installed"

# --- the Windows zip, when the cross build is set up here
if [ -d build/windows ] && command -v x86_64-w64-mingw32-g++-posix > /dev/null; then
    wbuild=$build-windows
    echo "=== Windows zip ($wbuild)"
    toolchain=(--toolchain cmake/mingw-w64-x86_64.cmake)
    [ -f "$wbuild/CMakeCache.txt" ] && toolchain=() # fixed when the folder was first set up
    cmake -S . -B "$wbuild" "${toolchain[@]}" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF > /dev/null
    cmake --build "$wbuild" -j "$(nproc)" > /dev/null
    rm -f "$wbuild"/*.zip
    (cd "$wbuild" && cpack > /dev/null)
    zips=("$wbuild"/*.zip)
    if [ ${#zips[@]} -ne 1 ] || [ ! -f "${zips[0]}" ]; then
        fail "expected one .zip in $wbuild, found: ${zips[*]}"
    else
        unzipped=$scratch/zip
        mkdir "$unzipped"
        zip=$(realpath "${zips[0]}")
        (cd "$unzipped" && cmake -E tar xf "$zip")
        top=$(ls "$unzipped")
        expect_equal "files in the zip" "Exec.exe
Exec.txt
README.md
Rollcall.exe
Rollcall.txt
Say.exe
Say.txt" "$(ls "$unzipped/$top")"
        for tool in Rollcall Exec Say; do
            exe=$unzipped/$top/$tool.exe
            [ "$(head -c 2 "$exe" 2>/dev/null)" = MZ ] || fail "$tool.exe is not a Windows program"
            txt=$unzipped/$top/$tool.txt
            [ -f "$txt" ] || continue
            grep -q $'^EXIT STATUS\r$' "$txt" || fail "$tool.txt: no EXIT STATUS section with a CR LF line end"
            if grep -q $'[\b\e]' "$txt"; then fail "$tool.txt holds backspaces or escape sequences"; fi
            if grep -qv $'\r$' "$txt"; then fail "$tool.txt has a line without CR LF"; fi
        done
    fi
else
    echo "=== no Windows cross build here (build/windows): zip not checked"
fi

if [ "$failures" -ne 0 ]; then
    echo "=== $failures package check(s) failed" >&2
    exit 1
fi
echo "=== package checks passed"
