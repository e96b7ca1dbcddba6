#!/bin/bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Makes the screenshots of the teacher's guide (docs/guide-th.md) from the
# running program: a virtual screen (Xvfb) with a window manager (openbox),
# the window driven by real keys and clicks (xdotool), pictures taken with
# ImageMagick's import. Each section of the guide has one function below;
# add a function and its name in SECTIONS for a new one.
#
#   tools/make-screenshots.sh [SECTION...]      (default: every section)
#
# Environment: BUILD (default build), SHOT_DISPLAY (default 99),
# OUT (default docs/images). Needs: xvfb openbox xdotool x11-xserver-utils
# imagemagick poppler-utils (apt-get install -y ...).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
out=${OUT:-$here/docs/images}
display=:${SHOT_DISPLAY:-99}
app=$build/bin/itemanalysis
cli=$build/bin/itemanalysis-cli
SECTIONS=(create type analyse report print import statistics charts)

for tool in Xvfb openbox xdotool xmodmap import pdftoppm; do
    command -v "$tool" >/dev/null || {
        echo "$tool is missing: apt-get install -y xvfb openbox xdotool x11-xserver-utils imagemagick poppler-utils" >&2
        exit 1
    }
done
[ -x "$app" ] || { echo "no $app: build first (ninja -C $build itemanalysis)" >&2; exit 1; }
mkdir -p "$out"
# A fixed folder: its name shows in the pictures.
work=${TMPDIR:-/tmp}/itemanalysis-guide
rm -rf "$work"
mkdir -p "$work"
export DISPLAY=$display
# Large enough for the item statistics panel, which squeezes its tables
# into each other on smaller screens.
SCREEN=${SCREEN:-1280x800}

pids=()
app_pid=
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT INT TERM

Xvfb "$display" -screen 0 "${SCREEN}x24" -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
sleep 1
openbox >/dev/null 2>&1 &
pids+=($!)
sleep 1

# --- Helpers --------------------------------------------------------------

# Starts the window in the work folder, optionally on an exam file.
start_app() {
    (cd "$work" && exec "$app" "$@" >>"$work/app.log" 2>&1) &
    app_pid=$!
    xdotool search --sync --onlyvisible --name "โปรแกรมวิเคราะห์ข้อสอบ" >/dev/null
    sleep 1.5
}
stop_app() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    wait "$app_pid" 2>/dev/null || true
    app_pid=
}
# shot NAME: the whole screen into docs/images/NAME.png.
shot() {
    sleep 0.7
    import -window root "$out/$1.png"
    echo "$out/$1.png"
}
click() { xdotool mousemove "$1" "$2" click 1; sleep 0.4; }
key() { xdotool key --delay 80 "$@"; sleep 0.3; }
# xdotool types a character missing from the keyboard map by remapping a
# key for a moment, and the program may read the key after the mapping is
# gone: Thai letters got lost. So every Thai letter gets a key of its own
# first (keycodes 200 up, multimedia keys nobody presses here).
next_keycode=200
declare -A mapped=()
map_thai() {
    local text=$1 i ch code
    for ((i = 0; i < ${#text}; i++)); do
        ch=${text:i:1}
        [[ $ch == [[:ascii:]] || -n ${mapped[$ch]:-} ]] && continue
        printf -v code 'U%04X' "'$ch"
        xmodmap -e "keycode $next_keycode = $code"
        mapped[$ch]=$next_keycode
        next_keycode=$((next_keycode + 1))
    done
}
type_text() {
    map_thai "$1"
    xdotool type --delay 60 -- "$1"
    sleep 0.3
}

# Where things are on the window (pixels on the screen, window maximised).
# Change these when the layout changes.
NEW_FILE=(80 85)
NEW_FILE_OK=(746 147)
ANALYSE25=(651 747)
REPORT_PRINT=(1103 749)
REPORT_CLOSE=(1200 749)
REPORT_SCROLL_TOP=(1233 95)
REPORT_SCROLL_BOTTOM=(1233 728)
PRINT_RANGE=(999 683)
PRINT_FROM=(1094 683)
PRINT_TO=(1178 683)
PRINT_OK=(1165 606)
KEY_FIRST_ITEM=(97 227)
SHEET_FIRST_CODE=(57 293)
IMPORT=(215 761)
ITEM_STATISTICS=(669 783)
CHARTS=(761 783)
STATS_CHANGE_KEY=(643 598)

# --- Sections ---------------------------------------------------------------

section_create() {
    start_app
    shot 01-start
    click "${NEW_FILE[@]}"
    # File name, subject code, subject, term, year, items, choices, teacher;
    # Enter moves to the next field.
    local v
    for v in "ม1" "ค21101" "คณิตศาสตร์" "1" "2567" "10" "4" "ครูสมศรี ใจดี"; do
        type_text "$v"
        [ "$v" = "ครูสมศรี ใจดี" ] || key Return
    done
    shot 02-new-file
    click "${NEW_FILE_OK[@]}"
    sleep 1
    shot 03-grids
}

section_type() {
    [ -n "$app_pid" ] || { echo "type needs create first" >&2; return 1; }
    # One digit per item; the cursor moves on by itself.
    click "${KEY_FIRST_ITEM[@]}"
    type_text "3144112231"
    click "${SHEET_FIRST_CODE[@]}"
    local code=1 sheet
    for sheet in "3144112231" "3124112431" "1144212231"; do
        type_text "$code"
        key Return
        type_text "$sheet"
        # From the last item down to the next sheet's code.
        key Down Home
        code=$((code + 1))
    done
    shot 04-typing
    stop_app
}

section_analyse() {
    cp "$here/examples/sample.ans" "$work/sample.ans"
    start_app "$work/sample.ans"
    shot 05-sample-open
    click "${ANALYSE25[@]}"
    sleep 2
    shot 06-report
}

section_report() {
    [ -n "$app_pid" ] || section_analyse
    # The summary at the end of the report: the scroll bar's thumb dragged
    # to the bottom.
    xdotool mousemove "${REPORT_SCROLL_TOP[@]}" mousedown 1
    xdotool mousemove "${REPORT_SCROLL_BOTTOM[@]}" mouseup 1
    shot 08-report-summary
    # A little higher: the results of the whole test (KR-20, ...).
    xdotool mousemove 400 300 click --repeat 6 --delay 100 4
    shot 07-report-whole-test
}

section_print() {
    [ -n "$app_pid" ] || section_analyse
    click "${REPORT_PRINT[@]}"
    click "${PRINT_RANGE[@]}"
    click "${PRINT_FROM[@]}"
    type_text 1
    click "${PRINT_TO[@]}"
    type_text 2
    shot 09-print-options
    click "${PRINT_OK[@]}"
    # Without a printer the pages go to a PDF beside the exam file.
    local i
    for i in $(seq 20); do [ -s "$work/sample.pdf" ] && break; sleep 0.5; done
    sleep 1
    pdftoppm -png -r 70 -f 1 -l 1 "$work/sample.pdf" "$work/page"
    cp "$work"/page-1.png "$out/10-printed-page.png"
    echo "$out/10-printed-page.png"
    stop_app
}

section_statistics() {
    stop_app
    # A copy of its own: the key gets changed here.
    cp "$here/examples/sample.ans" "$work/stats.ans"
    start_app "$work/stats.ans"
    click "${ITEM_STATISTICS[@]}"
    sleep 1.5
    # The panel opens on the first item to check: item 7, keyed wrongly on
    # purpose in the sample.
    shot 11-item-statistics
    click "${STATS_CHANGE_KEY[@]}"
    sleep 1
    shot 12-key-changed
    stop_app
}

section_import() {
    stop_app
    # An exam of its own, small enough for the whole preview to show.
    "$cli" create "$work/ม4.ans" --items 10 --choices 4 --subject-code ว31101 \
        --subject วิทยาศาสตร์ --term 1 --year 2567 --teacher "ครูมานี มีนา" >/dev/null
    # A spreadsheet as a teacher saves it: a header row, the key row, answers
    # as digits or as the letters printed on the sheets.
    cat >"$work/คำตอบ.csv" <<'CSV'
เลขที่,1,2,3,4,5,6,7,8,9,10
เฉลย,3,1,4,4,1,1,2,2,3,1
สมชาย,3,1,4,4,1,2,2,2,3,1
สมหญิง,ค,ก,ง,ง,ก,ก,ข,ข,ค,ก
มานะ,3,2,4,1,1,1,2,3,3,1
มานี,ค,ก,ง,ข,ก,ค,ข,ข,ง,ก
ปิติ,1,1,4,4,2,1,2,2,3,4
ชูใจ,ข,ก,ค,ง,ก,ก,ข,ก,ค,ก
CSV
    # The same with three cells no sheet can hold: a fifth choice as a digit
    # and as a letter, and two options ticked.
    cat >"$work/คำตอบผิด.csv" <<'CSV'
เลขที่,1,2,3,4,5,6,7,8,9,10
เฉลย,3,1,4,4,1,1,2,2,3,1
สมชาย,3,1,4,4,1,2,2,2,3,1
สมหญิง,ค,ก,ง,ง,ก,ก,ข,ข,ค,ก
มานะ,3,2,5,1,1,1,2,3,3,1
มานี,ค,ก,ง,ข,ก,ค,ข,จ,ง,ก
ปิติ,1,1,4,4,2,1,2,2,3,4
ชูใจ,ข,ก,"ค, ง",ง,ก,ก,ข,ก,ค,ก
CSV
    start_app "$work/ม4.ans"
    click "${IMPORT[@]}"
    xdotool search --sync --onlyvisible --name "นำเข้ากระดาษคำตอบ" >/dev/null
    sleep 1
    # The source field has the focus; Tab leaves it, and the dialog reads
    # the file.
    type_text "$work/คำตอบ.csv"
    key Tab
    sleep 1
    shot 14-import-preview
    # Back into the field (Qt selects its text), another file over it.
    key shift+Tab ctrl+a
    type_text "$work/คำตอบผิด.csv"
    key Tab
    sleep 1
    shot 15-import-errors
    key Escape
    stop_app
}
section_charts() {
    stop_app
    cp "$here/examples/sample.ans" "$work/charts.ans"
    start_app "$work/charts.ans"
    click "${ANALYSE25[@]}"
    sleep 2
    # Back to the grids, then the charts from the analysis bar.
    click "${REPORT_CLOSE[@]}"
    click "${CHARTS[@]}"
    sleep 2
    shot 13-charts
    stop_app
}

# --- Run ----------------------------------------------------------------------

wanted=("$@")
[ ${#wanted[@]} -gt 0 ] || wanted=("${SECTIONS[@]}")
for s in "${wanted[@]}"; do
    declare -F "section_$s" >/dev/null || { echo "no section $s (have: ${SECTIONS[*]})" >&2; exit 2; }
    "section_$s"
done
stop_app
