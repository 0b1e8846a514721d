#!/usr/bin/env bash
# Runs the native tools and the Windows .exe files under Wine side by side
# and checks that they agree byte for byte:
#   - the usage screens of all three tools, and that the key wait after
#     them returns at once without a console (status 0, no hang);
#   - arguments with blanks, tabs, quotes and backslashes, through the
#     command line Wine builds for the .exe;
#   - that the key wait on a console (Wine's, on a pseudo-terminal) ends
#     with a key and not without one;
#   - the sorted list Rollcall writes for a folder of a few hundred names
#     made of every printable character a Windows name may hold.
# Usage: wine_parity_test.sh NATIVE_BIN_DIR WINDOWS_BIN_DIR
# Wine's environment (WINEPREFIX, WINEDEBUG, ...) comes from the caller.
set -euo pipefail
: "${WINEPREFIX:?set WINEPREFIX (tests/run_windows.sh makes one)}"
native_bin=$(realpath "$1")
windows_bin=$(realpath "$2")
# One collation locale for both sides: ICU on Linux, the user locale that
# Wine derives from LANG.  Given to the tools only, so this shell does not
# need the locale installed.
locale_env=(env -u LC_ALL -u LC_COLLATE LANG=en_US.UTF-8)

scratch=$(mktemp -d "${TMPDIR:-/tmp}/wine_parity.XXXXXX")
trap '[ -n "${KEEP_SCRATCH:-}" ] || rm -rf "$scratch"' EXIT
failures=0

fail() {
    echo "FAILED: $*"
    failures=$((failures + 1))
}

# run_tool NAME DIR OUT [ARGS...]: runs the native tool, or the .exe under
# Wine when NAME ends in .exe, the way the end-to-end harness does: in its
# own session (no terminal), standard input from /dev/null, standard output
# into OUT; a run that hangs is stopped after 30 seconds.  Prints the status.
run_tool() {
    local name=$1 dir=$2 out=$3
    shift 3
    local command=("$native_bin/$name")
    [[ $name == *.exe ]] && command=(wine "$windows_bin/$name")
    local status=0
    (cd "$dir" && setsid -w timeout 30 "${locale_env[@]}" "${command[@]}" "$@" </dev/null >"$out") || status=$?
    echo "$status"
}

# ---------------------------------------------------------------------------
# Usage screens and the key wait without a console.

check_usage() { # tool, arguments...
    local tool=$1
    shift
    local label="$tool usage screen with arguments [$*]"
    local native_status wine_status
    native_status=$(run_tool "$tool" "$scratch" "$scratch/native.out" "$@")
    wine_status=$(run_tool "$tool.exe" "$scratch" "$scratch/wine.out" "$@")
    [ "$native_status" = 0 ] || fail "$label: native status $native_status"
    [ "$wine_status" = 0 ] || fail "$label: status $wine_status under wine (124: the key wait did not return)"
    grep -q 'Hit any key' "$scratch/native.out" || fail "$label: no usage screen natively"
    cmp -s "$scratch/native.out" "$scratch/wine.out" || {
        fail "$label: differs under wine"
        diff <(od -c "$scratch/native.out") <(od -c "$scratch/wine.out") | head -20
    }
}

check_usage Rollcall
check_usage Rollcall "?"
check_usage Rollcall "*.shp"
check_usage Exec
check_usage Exec "?x" "*.shp" s16
check_usage Exec tool "*.shp"
check_usage Say
check_usage Say "?"

# ---------------------------------------------------------------------------
# Arguments through the Windows command line: Wine joins the arguments into
# one line the way Windows callers quote them, and the programs split it
# again; Say prints its text argument as it arrived.  (A backslash right
# before a quote, or ending an argument that needs quotes, comes back
# differently by design: the programs take a backslash before a quote as a
# literal quote, where Windows callers double such backslashes.)

check_argument() { # text
    local label="argument [$1] through the command line" native_status wine_status
    native_status=$(run_tool Say "$scratch" "$scratch/native.out" "$1")
    wine_status=$(run_tool Say.exe "$scratch" "$scratch/wine.out" "$1")
    [ "$native_status" = "$wine_status" ] || fail "$label: status $native_status natively, $wine_status under wine"
    cmp -s "$scratch/native.out" "$scratch/wine.out" ||
        fail "$label: [$(cat "$scratch/native.out")] natively, [$(cat "$scratch/wine.out")] under wine"
}

for text in "files S16" "two  blanks" $'a\ttab' "say \"hi\"" "\"" "a\"b c\"d" "C:\\sprites\\*.shp" "back\\slash x" \
    "%PATH%" "'single'" "^&|<>" " lead and trail "; do
    check_argument "$text"
done

# ---------------------------------------------------------------------------
# The key wait on a console: Wine gives the program a console when it runs
# on a terminal, here a pseudo-terminal made by script(1).  Keys that send
# a character and keys found only in the key table (F1, arrows, Insert) end
# the wait with status 0, Ctrl+C too; with no key the program keeps waiting.
# A key is sent only once the usage screen is on the terminal: until then
# the terminal is still in line mode, and a Ctrl+C typed while Wine starts
# up interrupts it, as it would any program that is not yet reading keys.
#
# Wine leaves the terminal's signal keys on, so Ctrl+C also raises SIGINT in
# the terminal's foreground process group.  script(1) starts the command
# through $SHELL; a shell that waits for wine instead of becoming it (dash,
# the /bin/sh script(1) falls back to when SHELL is unset) dies of that
# signal and reports 130.  So the shell is fixed and told to exec wine.

# wait_for_usage_screen FILE PID: true once FILE holds the screen's last
# line, false when PID ended first or a minute passed.
wait_for_usage_screen() {
    local file=$1 pid=$2
    for _ in $(seq 600); do
        grep -q 'Hit any key' "$file" 2>/dev/null && return 0
        kill -0 "$pid" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}

# key_wait_on_console LABEL KEYS: KEYS is a printf format, empty for none.
key_wait_on_console() {
    local label="key wait on a console, $1" keys=$2 fifo=$scratch/keys screen=$scratch/screen status=0
    rm -f "$fifo" "$screen"
    mkfifo "$fifo"
    (cd "$scratch" && exec "${locale_env[@]}" SHELL=/bin/sh script -qfec "exec wine '$windows_bin/Rollcall.exe'" /dev/null \
        <"$fifo" >"$screen" 2>&1) &
    local pid=$!
    exec 3>"$fifo"
    if ! wait_for_usage_screen "$screen" "$pid"; then
        fail "$label: no usage screen within a minute"
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        exec 3>&-
        return
    fi
    # The screen is written just before the wait begins; a second covers
    # the step from one to the other on a busy machine.
    sleep 1
    # shellcheck disable=SC2059
    [ -z "$keys" ] || printf "$keys" >&3
    for _ in $(seq 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    if kill -0 "$pid" 2>/dev/null; then
        [ -z "$keys" ] || fail "$label: still waiting 5s after the key"
        kill "$pid"
        wait "$pid" 2>/dev/null || true
    else
        wait "$pid" || status=$?
        if [ -z "$keys" ]; then
            fail "$label: ended without a key"
        else
            [ "$status" = 0 ] || fail "$label: status $status"
        fi
    fi
    exec 3>&-
}

key_wait_on_console "no key" ""
key_wait_on_console "letter x" "x"
key_wait_on_console "F1" '\033OP'
key_wait_on_console "arrow up" '\033[A'
key_wait_on_console "Insert" '\033[2~'
key_wait_on_console "Ctrl+C" '\003'

# ---------------------------------------------------------------------------
# Sort parity: the same folder listed by both builds of Rollcall.

names_dir=$scratch/names
mkdir "$names_dir"
declare -A taken=() # lower-cased names: a Windows folder holds one per spelling

add_name() {
    local name=$1
    local key=${name,,}
    [ -z "${taken[$key]+x}" ] || return 0
    taken[$key]=1
    : >"$names_dir/$name"
}

# Every printable character a Windows file name may hold, besides letters
# and digits.  A name may not end in a blank or a dot, and one that begins
# with a dot is hidden on Linux.
symbols=(' ' '!' '#' '$' '%' '&' "'" '(' ')' '+' ',' '-' '.' ';' '=' '@' '[' ']' '^' '_' '`' '{' '}' '~')
for s in "${symbols[@]}"; do
    add_name "a${s}b"
    add_name "Tank${s}2.shp"
    add_name "tank${s}10.SHP"
    add_name "m${s}${s}N"
    [[ $s == ' ' || $s == '.' ]] || add_name "X${s}"
    [[ $s == '.' ]] || add_name "${s}9z"
    [[ $s == '.' ]] || add_name "${s}Lead"
done
# Hyphens and apostrophes at every place of a word, alone, doubled and mixed.
for word in coop Cord abc; do
    for ((i = 0; i <= ${#word}; i++)); do
        for mark in "-" "'" "--" "''" "-'" "'-"; do
            add_name "${word:0:i}${mark}${word:i}"
        done
    done
done
for name in "a-b-c" "a-b--c" "a'b-c" "a-b'c" "-a-b-c-" "'a'b'c'" "co-op-" "-" "'" "--" "'-'"; do
    add_name "$name"
done
# Digits against letters and symbols, and letter case mixed within words.
for d in 0 1 2 5 9; do
    add_name "$d"
    add_name "file$d"
    add_name "File${d}0"
    add_name "${d}x.s16"
    add_name "tank$d.shp"
done
for name in alpha Beta GAMMA dElTa Epsilon zeta ZZ aa Ab_c "AB c" tank.shp tank_2.shp Tank10.shp tank2.shp \
    README readme.txt Readme.1st "Mixed Case Name" mIxEd-case; do
    add_name "$name"
done

count=$(find "$names_dir" -type f | wc -l)
[ "$count" -ge 200 ] || fail "sort parity: only $count names made"
mkdir "$scratch/lists"
native_status=$(run_tool Rollcall "$names_dir" /dev/null "*" ../lists/native.txt)
wine_status=$(run_tool Rollcall.exe "$names_dir" /dev/null "*" ../lists/wine.txt)
[ "$native_status" = 0 ] && [ "$wine_status" = 0 ] ||
    fail "sort parity: Rollcall status $native_status natively, $wine_status under wine"
listed=$(grep -c . "$scratch/lists/native.txt" || true)
[ "$listed" = "$count" ] || fail "sort parity: native list holds $listed of $count names"
if ! cmp -s "$scratch/lists/native.txt" "$scratch/lists/wine.txt"; then
    fail "sort parity: the lists differ (native <, wine >)"
    diff "$scratch/lists/native.txt" "$scratch/lists/wine.txt" | head -40
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures wine parity checks failed"
    exit 1
fi
echo "wine parity: usage screens and a sorted list of $count names agree"
