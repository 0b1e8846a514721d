#!/usr/bin/env bash
# Checks the manual pages in docs/: each must format without a single
# warning, both through groff directly and through man (which runs tbl and
# lays the page out at 80 columns), must index for whatis, must hold the
# sections a user looks for, and the three must share one text of platform
# notes.  Fails on the first page that does not pass, naming the reason.
# Installs groff-base and man-db when they are missing (as root).
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/debian_packages.sh
require_packages groff-base man-db

tools=(Rollcall Exec Say)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0

fail() { # page, message
    echo "FAIL $1: $2" >&2
    failures=$((failures + 1))
}

# format_warnings PAGE: prints every warning groff or man gives for PAGE and
# succeeds only when there is none.
format_warnings() {
    local page=$1 log=$scratch/warnings
    : > "$log"
    groff -t -ww -man -z "$page" 2>> "$log" || echo "groff exited with status $?" >> "$log"
    MANWIDTH=80 MAN_KEEP_FORMATTING= man --warnings=w -E UTF-8 -l "$page" 2>> "$log" > /dev/null \
        || echo "man exited with status $?" >> "$log"
    cat "$log"
    [ ! -s "$log" ]
}

# The checker must itself notice a faulty page, or a silent groff would
# pass every manual: an unknown macro and a table too wide for 80 columns.
cat > "$scratch/faulty.1" <<'EOF'
'\" t
.TH FAULTY 1
.SH NAME
faulty \- a page with faults
.SH DESCRIPTION
.XX not a macro
.TS
l l.
aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa	bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb
.TE
EOF
if format_warnings "$scratch/faulty.1" > "$scratch/faulty.log"; then
    fail "self-check" "a page with an unknown macro and an overwide table gave no warning"
elif ! grep -q 'XX' "$scratch/faulty.log" || ! grep -q 'wider than line width' "$scratch/faulty.log"; then
    fail "self-check" "expected warnings missing: $(cat "$scratch/faulty.log")"
fi

# The text of a page from its "PLATFORM NOTES" heading up to the next section.
platform_notes() {
    sed -n '/^\.SH "PLATFORM NOTES"/,/^\.SH/p' "$1" | sed '$d'
}

required_sections=(NAME SYNOPSIS DESCRIPTION ARGUMENTS OUTPUT "EXIT STATUS" ENVIRONMENT FILES EXAMPLES
                   "PLATFORM NOTES" "SEE ALSO")
required_notes=("Search patterns" "Hidden and system entries" "Line ends" "Sort order" "Exit status")

for tool in "${tools[@]}"; do
    page=docs/$tool.1
    if [ ! -f "$page" ]; then
        fail "$page" "missing"
        continue
    fi
    echo "--- $page"
    if ! warnings=$(format_warnings "$page"); then
        fail "$page" "formatting warnings:"$'\n'"$warnings"
    fi

    # whatis reads the NAME section: "Tool \- summary".
    if ! whatis_line=$(lexgrog "$page"); then
        fail "$page" "lexgrog cannot parse the NAME section"
    elif ! grep -q ": \"$tool - " <<< "$whatis_line"; then
        fail "$page" "NAME section does not begin with $tool: $whatis_line"
    fi
    title=$(sed -n 's/^\.TH \([^ ]*\) \([0-9]\).*/\1 \2/p' "$page")
    [ "$title" = "${tool^^} 1" ] || fail "$page" ".TH names '$title', not '${tool^^} 1'"

    text=$(MANWIDTH=80 man -E UTF-8 -l "$page" 2> /dev/null | col -bx)
    for section in "${required_sections[@]}"; do
        grep -qx "$section" <<< "$text" || fail "$page" "no section $section"
    done
    for note in "${required_notes[@]}"; do
        grep -qx "   $note" <<< "$text" || fail "$page" "no platform note \"$note\""
    done
    # A Windows batch file and a POSIX shell script among the examples.
    examples=$(sed -n '/^EXAMPLES$/,/^PLATFORM NOTES$/p' <<< "$text")
    grep -q '@echo off' <<< "$examples" || fail "$page" "no Windows batch example"
    grep -q '#!/bin/sh' <<< "$examples" || fail "$page" "no POSIX shell example"
    grep -qF "tr -d '\\r' < mk.bat | sh" <<< "$text" || fail "$page" "no way to run a batch file on Linux"
    for variable in LC_ALL LC_COLLATE LANG; do
        grep -q "\\b$variable\\b" <<< "$text" || fail "$page" "locale variable $variable not named"
    done
done

# Say's exit status on POSIX keeps 8 bits only; its manual must say so.
say_text=$(MANWIDTH=80 man -E UTF-8 -l docs/Say.1 2> /dev/null | col -bx | tr -s ' \n' '  ')
grep -q '300 files read as 44' <<< "$say_text" || fail docs/Say.1 "the 8-bit exit status note is missing"

# One text of platform notes, the same in all three pages.
platform_notes docs/Rollcall.1 > "$scratch/notes.Rollcall"
for tool in Exec Say; do
    platform_notes "docs/$tool.1" > "$scratch/notes.$tool"
    [ -s "$scratch/notes.$tool" ] || continue
    diff -u "$scratch/notes.Rollcall" "$scratch/notes.$tool" > "$scratch/notes.diff" \
        || fail "docs/$tool.1" "platform notes differ from Rollcall.1:"$'\n'"$(cat "$scratch/notes.diff")"
done

if [ "$failures" -ne 0 ]; then
    echo "=== $failures manual check(s) failed" >&2
    exit 1
fi
echo "=== manuals: no warnings, all sections present"
