#!/usr/bin/env bash
# Enter and Escape through the display: the focused control takes them first, and only what
# it leaves reaches the window's default or cancel button. A dialog opened from a window is
# stacked on it by the window manager; a file chooser lists the files its filter names, in
# any case. Arguments: RYN ENGINE_DIR SCREENSHOT_DIR.
set -euo pipefail
ryn=$1 engines=$2 shots=$3
here=$(cd "$(dirname "$0")" && pwd)

what="keys through the display"
source "$here/display_session.sh"

# Enter on a focused 取消 cancels (the default button is 下一步 >): Shift+Tab from the
# first field wraps round to the last button of the window, 取消.
journey=enter_on_a_focused_cancel
open_ryn config "CSV文件" --dir "$engines"
click 200 26
xdotool key shift+Tab
settle
xdotool key Return
finish 1
grep -q "cancelled" "$work/err" || fail "ryn config did not say it was cancelled"
echo "$journey: cancelled"

# The transfer wizard from a CSV file to an exchange file, both set up on the command
# line: Enter turns its pages up to the mapping (seven pages on).
journey=mapping_cells
printf 'code,name\r\n1,a\r\n2,b\r\n' >"$work/in.csv"
out="$work/out.ryn"
open_ryn wizard --from "CSV文件" --from-options "文件名=$work/in.csv" --to "Ryn文件" \
  --to-options "文件名=$out;单位标识=D00000;年度=2024;报表类型=N;时期=1;数据类型=0;选择列={单位代码=DWDM
单位名称=DWMC}" --dir "$engines"
for _ in 1 2 3 4 5 6 7; do turn_page Return; done
settle
# The expression of the first row (list at top 102, its first row below the headings) is
# edited: Escape drops the edit and nothing else.
click 200 133
xdotool type "Import(1)"
xdotool key Escape
settle
still_open "Escape in a cell editor closed the wizard"
xdotool search --onlyvisible --pid "$ryn_pid" 2>/dev/null | grep -qx "$window" || fail "Escape in a cell editor closed the wizard"

# One click on a mapping row's "..." (the list's last 22 pixels) opens the formula editor,
# as a button does; Escape closes it and only it.
wizard=$window
click 489 133
mapping_editor=""
for _ in $(seq 100); do
  mapping_editor=$(xdotool search --onlyvisible --pid "$ryn_pid" 2>/dev/null | grep -vx "$wizard" | head -1) || true
  [ -n "$mapping_editor" ] && break
  sleep 0.1
done
[ -n "$mapping_editor" ] || fail "one click on a mapping's ... did not open the formula editor"
window=$mapping_editor
xdotool key Escape
for _ in $(seq 100); do xdotool search --onlyvisible --pid "$ryn_pid" 2>/dev/null | grep -qx "$mapping_editor" || break; sleep 0.1; done
window=$wizard
still_open "Escape in the mapping's formula editor closed the wizard"

# The filter's formula editor (the "..." at left 446, top 6 of the page below the 56-pixel
# header) is a window of the wizard's: transient for it and stacked above it.
click 457 73
editor=""
for _ in $(seq 100); do
  editor=$(xdotool search --onlyvisible --pid "$ryn_pid" 2>/dev/null | grep -vx "$wizard" | head -1) || true
  [ -n "$editor" ] && break
  sleep 0.1
done
[ -n "$editor" ] || fail "the formula editor did not come up"
owner=$(xprop -id "$editor" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*' || true)
[ -n "$owner" ] && [ $((owner)) -eq "$wizard" ] || fail "the formula editor is not transient for the wizard ($owner)"
python3 - "$wizard" "$editor" <<'PY' || fail "the formula editor is not stacked above the wizard"
import re, subprocess, sys
wizard, editor = int(sys.argv[1]), int(sys.argv[2])
text = subprocess.run(["xprop", "-root", "_NET_CLIENT_LIST_STACKING"], capture_output=True, text=True).stdout
order = [int(w, 16) for w in re.findall(r"0x[0-9a-f]+", text)]  # bottom first
sys.exit(0 if wizard in order and editor in order and order.index(editor) > order.index(wizard) else 1)
PY
window=$editor
xdotool key Escape
for _ in $(seq 100); do xdotool search --onlyvisible --pid "$ryn_pid" 2>/dev/null | grep -qx "$editor" || break; sleep 0.1; done
window=$wizard
still_open "Escape in the formula editor closed the wizard"

# Enter in the cell editor commits the edit and does not run the transfer (完成 is the
# default button): the wizard stays until 完成 (left 320, top 16 of the bottom bar) is
# clicked, and the file has the edited mapping.
settle
click 200 133
xdotool type "Import(1)"
xdotool key Return
settle
still_open "Enter in a cell editor ran the transfer"
xdotool search --onlyvisible --pid "$ryn_pid" 2>/dev/null | grep -qx "$wizard" || fail "Enter in a cell editor closed the wizard"
click 357 304
# The run shows its summary in the progress log window, which waits for the user: Escape
# presses its 关闭.
log=""
for _ in $(seq 100); do
  log=$(xdotool search --all --onlyvisible --pid "$ryn_pid" --name "^数据传输$" 2>/dev/null | head -1) || true
  [ -n "$log" ] && break
  sleep 0.1
done
[ -n "$log" ] || fail "no progress log window after 完成"
sleep 2
window=$log
xdotool windowactivate --sync "$log" key Escape
finish 0
python3 - "$out" <<'PY' || fail "the exchange file does not have the edited mapping"
import sys
lines = open(sys.argv[1], "rb").read().split(b"\r\n")
records = [line.split(b"\t")[4:] for line in lines[1:] if b"\t" in line]
if records != [[b"a", b"a"], [b"b", b"b"]]:
    print("records:", records)
    sys.exit(1)
PY
echo "$journey: Escape dropped the edit, Enter kept it, the editor stacked on the wizard"
# The exchange file's save chooser (the entry's icon, left 24, top 60, 450 wide) starts in
# the current folder, stacks on the window and lists the .ryn file there although the
# filter says *.Ryn: a click on the listed file names it, Enter chooses it and confirms
# replacing it.
journey=chooser
mkdir -p "$work/files"
touch "$work/files/old.ryn" "$work/files/notes.txt"
cd "$work/files"
# The report identity comes with the options (the identity page refuses blanks), with a
# file name that sorts after old.ryn.
open_ryn config "Ryn文件" --options "文件名=$work/files/zz.ryn;单位标识=D00000;年度=2024;时期=1" --dir "$engines"
cd - >/dev/null
click 462 70
chooser=""
for _ in $(seq 100); do
  chooser=$(xdotool search --onlyvisible --pid "$ryn_pid" 2>/dev/null | grep -vx "$window" | head -1) || true
  [ -n "$chooser" ] && break
  sleep 0.1
done
[ -n "$chooser" ] || fail "the file chooser did not come up"
owner=$(xprop -id "$chooser" WM_TRANSIENT_FOR | grep -o '0x[0-9a-f]*' || true)
[ -n "$owner" ] && [ $((owner)) -eq "$window" ] || fail "the file chooser is not transient for its window ($owner)"
sleep 1
# The first row of its list (its own layout at the toolkit's default size) gives the name.
xdotool mousemove --window "$chooser" 220 104 click 1
sleep 0.5
xdotool key Return
sleep 0.5
xdotool key Return
for _ in $(seq 100); do xdotool search --onlyvisible --pid "$ryn_pid" 2>/dev/null | grep -qx "$chooser" || break; sleep 0.1; done
turn_page Return
click 336 230
finish 0
check_option "文件名" "$work/files/old.ryn"
echo "$journey: the chooser listed old.ryn and stacked on its window"
echo "keys through the display: all journeys passed"
