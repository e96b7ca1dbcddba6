#!/bin/sh
# SPDX-License-Identifier: GPL-3.0-or-later
# A teacher's session on a real X server (Xvfb with openbox), driven by real
# key presses through xdotool, with the exam file read back with sqlite3
# after every step:
#   c  a digit typed over a filled answer, then Escape: the digit is stored,
#      the next cell keeps its answer;
#   b  a block pasted over filled answers, Enter at the question: unchanged;
#   d  a second window on the same file: refused, the first window's
#      writes still go to the file;
#   a  the same class imported a second time, Enter at the duplicate-code
#      question: no sheet added;
#   e  the window closed with a code half typed into the new-sheet row:
#      asked, and Enter keeps it as a sheet.
#
#     keyboard_session_x11.sh ITEMANALYSIS SAMPLE.ans
#
# Exit 77 (skipped) when Xvfb, openbox, xdotool, xclip or sqlite3 is missing.
set -u

BIN=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
SAMPLE=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
for tool in Xvfb openbox xdotool xclip sqlite3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "skipped: $tool is not installed"
        exit 77
    fi
done

WORK=$(mktemp -d)
PIDS=""
cleanup() {
    for p in $PIDS; do kill "$p" 2>/dev/null; done
    rm -rf "$WORK"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*"
    if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null 2>&1; then
        import -display "$DISPLAY" -window root "${TMPDIR:-/tmp}/keyboard_session_x11_failed.png" \
            2>/dev/null && echo "screen: ${TMPDIR:-/tmp}/keyboard_session_x11_failed.png"
    fi
    exit 1
}

# Xvfb picks a free display and says which.
Xvfb -displayfd 3 -screen 0 1366x768x24 -nolisten tcp 3>"$WORK/display" >/dev/null 2>&1 &
PIDS="$PIDS $!"
tries=0
while [ ! -s "$WORK/display" ]; do
    tries=$((tries + 1))
    [ $tries -gt 100 ] && fail "Xvfb did not start"
    sleep 0.1
done
DISPLAY=:$(cat "$WORK/display")
export DISPLAY
openbox >/dev/null 2>&1 &
PIDS="$PIDS $!"

# The window as a teacher starts it: Qt on X, settings of its own.
export QT_QPA_PLATFORM=xcb
export HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/config" XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
unset ITEMANALYSIS_DEBUG
mkdir -p "$WORK/class"
cd "$WORK/class" || exit 1
cp "$SAMPLE" sample.ans
EXAM="$WORK/class/sample.ans"

# One value from the file, as another reader sees it.
stored() {
    sqlite3 -readonly -cmd ".timeout 5000" "$EXAM" "$1"
}
# Waits (up to 20 s) until the query gives the expected value.
wait_stored() {
    query=$1 expected=$2 what=$3
    n=0
    while [ "$(stored "$query")" != "$expected" ]; do
        n=$((n + 1))
        [ $n -gt 200 ] && fail "$what: expected '$expected', the file holds '$(stored "$query")'"
        sleep 0.1
    done
}
# The id of the first visible window whose title is exactly $1 (up to 20 s).
wait_window() {
    timeout 20 xdotool search --sync --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1
}
# Gives window $1 the keyboard and waits until X says it has it.
activate() {
    xdotool windowactivate --sync "$1" >/dev/null 2>&1
    n=0
    while [ "$(xdotool getwindowfocus 2>/dev/null)" != "$1" ]; do
        n=$((n + 1))
        [ $n -gt 100 ] && fail "window $1 did not take the keyboard"
        xdotool windowfocus --sync "$1" >/dev/null 2>&1
        sleep 0.1
    done
}
# Waits (up to 10 s) until window $1 is no longer shown.
gone() {
    n=0
    while xdotool getwindowname "$1" >/dev/null 2>&1 &&
        xdotool search --onlyvisible --name . 2>/dev/null | grep -qx "$1"; do
        n=$((n + 1))
        [ $n -gt 100 ] && fail "$2 did not close"
        sleep 0.1
    done
}
keys() {
    xdotool key --delay 40 "$@"
}
answer() { # row (by the file's order), item
    stored "SELECT coalesce(X$2, '<null>') FROM TAData ORDER BY rowid LIMIT 1 OFFSET $(($1 - 1))"
}
# Puts $1 on the clipboard and waits until X hands it out.
clipboard() {
    printf '%s' "$1" | xclip -selection clipboard -quiet >/dev/null 2>&1 &
    PIDS="$PIDS $!"
    n=0
    until [ "$(xclip -selection clipboard -o 2>/dev/null)" = "$1" ]; do
        n=$((n + 1))
        [ $n -gt 100 ] && fail "the clipboard does not hold $1"
        sleep 0.1
    done
}
SHEETS="SELECT count(*) FROM TAData"
TITLE="โปรแกรมวิเคราะห์ข้อสอบ"

"$BIN" sample.ans >"$WORK/first.log" 2>&1 &
FIRST=$!
PIDS="$PIDS $FIRST"
MAIN=$(wait_window "sample.ans - $TITLE")
[ -n "$MAIN" ] || fail "the window did not open sample.ans"
activate "$MAIN"
sheets=$(stored "$SHEETS")

# c: the cursor starts on the first sheet's code; Right goes to item 1.
item2=$(answer 1 2)
other=$(( $(answer 1 1) % 4 + 1 ))
keys Right "$other"
wait_stored "SELECT X1 FROM TAData ORDER BY rowid LIMIT 1" "$other" "c: the digit typed on item 1"
keys Escape
# The next key shows that Escape has been handled: item 2 of sheet 2.
next=$(( $(answer 2 2) % 4 + 1 ))
keys Down "$next"
wait_stored "SELECT X2 FROM TAData ORDER BY rowid LIMIT 1 OFFSET 1" "$next" "c: the digit on sheet 2"
[ "$(answer 1 2)" = "$item2" ] || fail "c: Escape after a digit changed item 2 of sheet 1 to '$(answer 1 2)' (was '$item2')"
echo "ok c: a digit then Escape"

# b: the cursor is on item 3 of sheet 2; a block over items 3-5 of sheet 3.
before=$(stored "SELECT X3||X4||X5 FROM TAData ORDER BY rowid LIMIT 1 OFFSET 2")
block=""
for i in 3 4 5; do
    v=$(( $(answer 3 $i) % 4 + 1 ))
    block="$block$v	"
done
clipboard "${block%	}"
keys Down ctrl+v
BOX=$(wait_window "$TITLE")
[ -n "$BOX" ] || fail "b: no question before pasting over filled answers"
activate "$BOX"
keys Return
activate "$MAIN"
# The next key shows that the paste is over: item 3 of sheet 4.
next=$(( $(answer 4 3) % 4 + 1 ))
keys Down "$next"
wait_stored "SELECT X3 FROM TAData ORDER BY rowid LIMIT 1 OFFSET 3" "$next" "b: the digit on sheet 4"
after=$(stored "SELECT X3||X4||X5 FROM TAData ORDER BY rowid LIMIT 1 OFFSET 2")
[ "$after" = "$before" ] || fail "b: Enter at the paste question changed sheet 3 from $before to $after"
echo "ok b: paste over filled answers, Enter"

# d: a second window on the same file.
activate "$MAIN"
"$BIN" sample.ans >"$WORK/second.log" 2>&1 &
SECOND=$!
PIDS="$PIDS $SECOND"
WARNING=$(timeout 20 xdotool search --all --sync --onlyvisible --pid "$SECOND" --name "^คำเตือน\$" 2>/dev/null | head -n 1)
[ -n "$WARNING" ] || fail "d: the second window did not say that the file is open elsewhere"
activate "$WARNING"
keys Return
SECOND_MAIN=$(timeout 20 xdotool search --all --sync --onlyvisible --pid "$SECOND" --name "^$TITLE\$" 2>/dev/null | head -n 1)
[ -n "$SECOND_MAIN" ] || fail "d: the second window shows a file it may not write"
kill "$SECOND"
wait "$SECOND" 2>/dev/null
# The first window still writes: item 4 of sheet 4.
activate "$MAIN"
next=$(( $(answer 4 4) % 4 + 1 ))
keys "$next"
wait_stored "SELECT X4 FROM TAData ORDER BY rowid LIMIT 1 OFFSET 3" "$next" "d: the first window's digit after the second window"
echo "ok d: a second window on the same file"

# a: the first three sheets again, as a table of the class.
columns="Code"
i=1
while [ $i -le "$(stored "SELECT nItem FROM Tinit")" ]; do
    columns="$columns||','||coalesce(X$i,'')"
    i=$((i + 1))
done
stored "SELECT $columns FROM TAData ORDER BY rowid LIMIT 3" >again.csv
sheets=$(stored "$SHEETS")
# From the grid, Tab leads through the record bar to นำเข้า.
keys Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Return
IMPORT=$(wait_window "นำเข้ากระดาษคำตอบ")
[ -n "$IMPORT" ] || fail "a: the import dialog did not open"
activate "$IMPORT"
# The dialog opens with no field in hand: Tab takes the first, the source,
# whose name goes in as a teacher copies it from the file manager. Leaving
# it reads the table; backwards from เลือกไฟล์: the source, the dialog's
# scrolled page, ยกเลิก, นำเข้า.
clipboard "$WORK/class/again.csv"
keys Tab ctrl+v Tab shift+Tab shift+Tab shift+Tab shift+Tab space
BOX=$(wait_window "รหัสซ้ำ")
[ -n "$BOX" ] || fail "a: no question about the codes already in the file"
activate "$BOX"
keys Return
gone "$BOX" "a: the duplicate question"
# Answered no, the import dialog stays (an import would close it); Escape
# closes it.
if xdotool search --onlyvisible --name "^นำเข้ากระดาษคำตอบ\$" >/dev/null 2>&1; then
    activate "$IMPORT"
    keys Escape
    gone "$IMPORT" "a: the import dialog"
fi
[ "$(stored "$SHEETS")" = "$sheets" ] ||
    fail "a: Enter at the duplicate question imported: $sheets sheets became $(stored "$SHEETS")"
echo "ok a: the same class imported again, Enter"
# Back to the grid, where Tab left it.
activate "$MAIN"
keys shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab shift+Tab \
    shift+Tab shift+Tab

# e: a code typed into the new-sheet row, and the window closed.
sheets=$(stored "$SHEETS")
keys ctrl+End Home 7 7 7
sleep 0.3
keys alt+F4
BOX=$(wait_window "$TITLE")
[ -n "$BOX" ] || fail "e: closing with a half-typed sheet asked nothing"
activate "$BOX"
keys Return
n=0
while kill -0 "$FIRST" 2>/dev/null; do
    n=$((n + 1))
    [ $n -gt 200 ] && fail "e: the window did not close"
    sleep 0.1
done
[ "$(stored "$SHEETS")" = "$((sheets + 1))" ] || fail "e: Enter did not keep the half-typed sheet: $(stored "$SHEETS") sheets"
[ "$(stored "SELECT count(*) FROM TAData WHERE Code = '777'")" = 1 ] || fail "e: the kept sheet has not the typed code"
echo "ok e: closed with a half-typed sheet, Enter keeps it"
