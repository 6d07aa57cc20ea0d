#!/usr/bin/env bash
# `ryn wizard` run as a user runs it, through the display only (xdotool under a window
# manager, nothing scripted): a transfer from a CSV file into an exchange file made in the
# wizard and run in the progress log window, which shows its summary and waits; and a long
# run stopped with 取消, Escape and the close box, which keeps the exchange file there before
# byte for byte. Expectations are computed here with Python's csv module.
# Arguments: RYN ENGINE_DIR SCREENSHOT_DIR. Exit status 77 (skipped) without the tools.
set -euo pipefail
ryn=$1 engines=$2 shots=$3
here=$(cd "$(dirname "$0")" && pwd)

what="transfer"
source "$here/display_session.sh"
mkdir -p "$work/files"

# (A window that is not mapped yet or any more gives the picture of nothing.)
picture() { { xwd -id "$1" -silent 2>/dev/null || true; } | md5sum; }

# The visible window of ryn with that title, or nothing.
window_named() { xdotool search --all --onlyvisible --pid "$ryn_pid" --name "^$1\$" 2>/dev/null | head -1 || true; }

# Starts `ryn wizard` with the engines and options given and waits for the wizard.
open_wizard() {
  "$ryn" wizard --dir "$engines" "$@" >"$work/out" 2>"$work/err" &
  ryn_pid=$!
  wizard=""
  for _ in $(seq 200); do
    wizard=$(window_named "配置向导")
    [ -n "$wizard" ] && break
    sleep 0.1
  done
  [ -n "$wizard" ] || fail "the wizard did not come up"
  activate "$wizard"
}

# Clicks 下一步 (left 320, top 292 of the wizard, 75 by 25; 完成 on the mapping page) and
# waits until the wizard shows another picture, or the progress log window is up (log).
next_page() {
  local before
  before=$(picture "$wizard")
  xdotool mousemove --window "$wizard" 357 304 click 1
  for _ in $(seq 100); do
    log=$(window_named "数据传输")
    [ -n "$log" ] && return
    [ "$(picture "$wizard")" != "$before" ] && return
    sleep 0.1
  done
  fail "the wizard did not turn its page"
}

# From the source's wizard (its two pages) through the exchange file's (three pages) to
# the mapping page.
to_the_mapping_page() {
  log=""
  for _ in 1 2 3 4 5; do next_page; done
  [ -z "$log" ] || fail "the run started before the mapping page"
  sleep 0.3
}

# 完成 on the mapping page: the progress log window comes up; sets log.
run_it() {
  log=""
  next_page
  for _ in $(seq 100); do [ -n "$log" ] && break; sleep 0.1; log=$(window_named "数据传输"); done
  [ -n "$log" ] || fail "no progress log window after 完成"
}

# Waits for ryn to end; its exit status must be the one given.
finish() {
  local status=0
  for _ in $(seq 100); do kill -0 "$ryn_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$ryn_pid" 2>/dev/null && fail "ryn is still running"
  wait "$ryn_pid" || status=$?
  ryn_pid=""
  [ "$status" -eq "$1" ] || fail "ryn wizard exited $status, not $1"
}

# Waits until the log window stands still: the run has ended (or a stop was honoured).
settled() {
  local before last
  before=$(picture "$log")
  for _ in $(seq 300); do
    sleep 0.3
    last=$(picture "$log")
    [ "$last" = "$before" ] && return
    before=$last
  done
  fail "the progress log window never stood still"
}

# Brings a window to the front for the keys that follow (the window manager may take a
# moment to say it did).
activate() {
  xdotool windowactivate --sync "$1" 2>/dev/null || { sleep 0.5; xdotool windowactivate "$1" 2>/dev/null || true; sleep 0.3; }
}

# The log window's button: 取消 during the run, 关闭 after (left 288, top 110, 75 by 23).
log_button() { xdotool mousemove --window "$log" 325 121 click 1; }

csv_options="分隔符=,;列名行=1;类型推断=0;文件名="
catalogue=$'选择列={代码=DM\r\n名称=MC\r\n金额=JE};报表信息={[浮动数据]\r\n代码=DM\r\n名称=MC\r\n金额=JE\r\n}'
ryn_options() { printf '单位标识=D0001;年度=2024;报表类型=N;时期=1;数据类型=0;文件名=%s;%s' "$1" "$catalogue"; }

# ---- the wizard from start to summary: a filter typed on the mapping page ----
journey=wizard
python3 - "$work/files/in.csv" <<'PY'
import csv, sys
rows = [["code", "name", "amount"]]
names = ["甲公司", "a b", 'say "hi"', "乙", "x,y"]
for i in range(1, 41):
    rows.append([f"{i:04d}", names[i % len(names)], str((i * 37) % 11 - 4)])
with open(sys.argv[1], "w", newline="", encoding="utf-8") as f:
    csv.writer(f, lineterminator="\r\n").writerows(rows)
PY
out="$work/files/wizard.ryn"
open_wizard --from CSV文件 --from-options "${csv_options}$work/files/in.csv;编码=UTF-8" --to Ryn文件 --to-options "$(ryn_options "$out")"
to_the_mapping_page
# The filter field: left 87, top 62, 351 by 20.
xdotool mousemove --window "$wizard" 250 72 click 1
sleep 0.2
xdotool type --delay 20 'VAL(Import(2))>0'
run_it
settled
sleep 1
[ -n "$(window_named "数据传输")" ] || fail "the log window closed by itself"
log_button
finish 0
python3 - "$work/files/in.csv" "$out" "$work/out" "$RYNFILER_CODEPAGE" <<'PY' || fail "the exchange file or the summary is not what the CSV file and the filter make"
import csv, sys
src, ryn, out, codepage = sys.argv[1:]
def field(v):
    return '"' + v.replace('"', '"""') + '"' if any(c in v for c in '\t "\r\n') else v
with open(src, newline="", encoding="utf-8") as f:
    rows = list(csv.reader(f))[1:]
kept = [r for r in rows if float(r[2]) > 0]
expected = "代码\t名称\t金额\r\n" + "".join(
    "\t".join(["D0001", "2024", "N", "1"] + [field(v) for v in r]) + "\r\n" for r in kept) + "@@"
actual = open(ryn, "rb").read().decode("gbk" if codepage.upper() == "GBK" else "utf-8")
if actual != expected:
    print("expected:", repr(expected[:300]), "\nactual:  ", repr(actual[:300]))
    sys.exit(1)
summary = open(out, encoding="utf-8").read().split("\n")
counts = f"读取{len(rows)}条，写入{len(kept)}条，筛除{len(rows) - len(kept)}条，拒绝0条，0个值有变化"
if summary[0] != counts or not summary[1].startswith("警告0个，错误0个，用时"):
    print("summary:", summary, "expected", counts)
    sys.exit(1)
PY
echo "$journey: the wizard's run wrote the expected file and printed its summary"

# ---- a long run stopped in the progress log window, three ways ----
python3 - "$work/files/big.csv" <<'PY'
import sys
with open(sys.argv[1], "w", newline="") as f:
    f.write("code,name,amount\r\n")
    f.writelines(f"{i:07d},n{i},{i % 97}\r\n" for i in range(1, 3000001))
PY
old="$work/files/kept.ryn"
printf '代码\t名称\t金额\r\nD0001\t2024\tN\t1\told\t一\t1\r\n@@' >"$old"
cp "$old" "$work/before.ryn"
stop_journey() {
  journey=$1
  open_wizard --from CSV文件 --from-options "${csv_options}$work/files/big.csv" --to Ryn文件 --to-options "$(ryn_options "$old")"
  to_the_mapping_page
  # A filter every record passes: each record is evaluated, so the run lasts long enough to be
  # stopped (plain copies alone move 3 M records in about two seconds).
  xdotool mousemove --window "$wizard" 250 72 click 1
  sleep 0.2
  xdotool type --delay 20 'VAL(Import(2))>=0'
  run_it
  # Still running: the window changes (the gauge moves once the records are counted, which
  # takes a while in an instrumented build).
  local before moved=""
  before=$(picture "$log")
  for _ in $(seq 200); do
    sleep 0.1
    [ "$(picture "$log")" != "$before" ] && { moved=1; break; }
  done
  [ -n "$moved" ] || fail "the run is not going on: the test's file is too small"
  case $1 in
    cancel_button) log_button ;;
    escape) activate "$log"; xdotool key Escape ;;
    close_box) activate "$log"; xdotool key alt+F4 ;;
  esac
  settled
  sleep 0.5
  [ -n "$(window_named "数据传输")" ] || fail "the log window closed instead of showing how the run ended"
  log_button
  finish 130
  cmp -s "$old" "$work/before.ryn" || fail "the exchange file there before was changed"
  [ "$(ls "$work/files")" = "$(printf 'big.csv\nin.csv\nkept.ryn\nwizard.ryn')" ] || fail "files left beside: $(ls "$work/files")"
  python3 - "$work/out" <<'PY' || fail "no summary of a stopped run on stdout"
import re, sys
lines = open(sys.argv[1], encoding="utf-8").read().split("\n")
m = re.fullmatch(r"读取(\d+)条，写入(\d+)条，筛除0条，拒绝0条，0个值有变化", lines[0])
if not m or not 0 < int(m.group(1)) < 3000000 or not lines[1].startswith("警告0个，错误0个，用时"):
    print(lines)
    sys.exit(1)
PY
  echo "$journey: stopped, the old file kept byte for byte, status 130"
}
# Each way once, shared between the two code pages' runs to keep them short.
if [ "$RYNFILER_CODEPAGE" = GBK ]; then
  stop_journey cancel_button
  stop_journey close_box
else
  stop_journey escape
fi
echo "the transfer windows through the display: all journeys passed"
