#!/usr/bin/env bash
# Typing into our windows as a person does, through the display only: a virtual X server
# with a window manager, keys and clicks sent by xdotool to `ryn config` run as a user runs
# it (RYNFILER_UI=gtk, nothing scripted). The options text it prints must hold, byte for
# byte, what was typed, whether one key at a time or as fast as the keys can go.
# Arguments: RYN ENGINE_DIR SCREENSHOT_DIR. Exit status 77 (skipped) without the tools.
set -euo pipefail
ryn=$1 engines=$2 shots=$3
here=$(cd "$(dirname "$0")" && pwd)

missing=()
for tool in xvfb-run xdotool openbox xprop xwd python3; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: typing through the display needs ${missing[*]} (scripts/setup-deps.sh installs them)"
  exit 77
fi

# The rest runs on a display of its own.
if [ -z "${RYN_TYPING_ON_DISPLAY:-}" ]; then
  export RYN_TYPING_ON_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$@"
fi

export RYNFILER_UI=gtk GDK_BACKEND=x11 NO_AT_BRIDGE=1 GTK_A11Y=none GSETTINGS_BACKEND=memory
unset RYNFILER_UI_SCRIPTED
export RYNFILER_CODEPAGE=${RYNFILER_CODEPAGE:-GBK}
work=$(mktemp -d /tmp/rtyp.XXXXXX)
# A still caret: the pictures of a window differ only when something happened.
mkdir -p "$work/config/gtk-3.0"
printf '[Settings]\ngtk-cursor-blink=false\n' >"$work/config/gtk-3.0/settings.ini"
export XDG_CONFIG_HOME="$work/config"
ryn_pid="" wm_pid=""
cleanup() {
  [ -n "$ryn_pid" ] && kill "$ryn_pid" 2>/dev/null || true
  [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# A failure leaves a picture of the screen beside the suite's other screenshots.
fail() {
  mkdir -p "$shots"
  local picture="$shots/typing_${journey:-start}.png"
  xwd -root -silent >"$work/screen.xwd" && python3 "$here/xwd_to_png.py" "$work/screen.xwd" "$picture" || true
  echo "FAILED ($journey): $*"
  echo "screen: $picture"
  [ -f "$work/err" ] && sed 's/^/ryn stderr: /' "$work/err"
  exit 1
}

openbox --sm-disable >/dev/null 2>&1 &
wm_pid=$!
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
  sleep 0.1
done

# Starts `ryn config NAME` and waits for its window; sets ryn_pid and window.
open_config() {
  "$ryn" config "$1" --dir "$engines" >"$work/out" 2>"$work/err" &
  ryn_pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$ryn_pid" 2>/dev/null | head -1) || true
  [ -n "$window" ] || fail "no window of ryn config $1 came up"
  xdotool windowactivate --sync "$window"
}

# Clicks at a point of the window's client area, in the form's own pixels.
click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.3
}

# What the window shows, as a fingerprint.
picture() { xwd -id "$window" -silent 2>/dev/null | md5sum; }

# Presses a key that turns the wizard's page and waits until the window shows another
# picture: the page turns on our message queue, after the toolkit's pending input, so a
# click sent at once could land on the old page.
turn_page() {
  local before last
  # Settled first: what was typed last may still be on its way to the screen.
  before=$(picture)
  for _ in $(seq 50); do
    sleep 0.1
    last=$(picture)
    [ "$last" = "$before" ] && break
    before=$last
  done
  xdotool key "$1"
  for _ in $(seq 100); do [ "$(picture)" != "$before" ] && return; sleep 0.1; done
  fail "the page did not turn on $1"
}

# Waits for ryn to end; its exit status must be the one given.
finish() {
  local status=0
  for _ in $(seq 200); do kill -0 "$ryn_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$ryn_pid" 2>/dev/null && fail "the window is still open"
  wait "$ryn_pid" || status=$?
  ryn_pid=""
  [ "$status" -eq "$1" ] || fail "ryn config exited $status, not $1"
}

# The value of KEY in the printed options text ("key=value;" records, CR LF between).
check_option() {
  python3 - "$work/out" "$1" "$2" <<'PY' || fail "option $1 is not what was typed"
import sys
text = open(sys.argv[1], "rb").read().decode("utf-8")
key, expected = sys.argv[2], sys.argv[3]
values = [line[len(key) + 1:] for line in text.replace("\r\n", "\n").split("\n") if line.startswith(key + "=")]
if values != [expected + ";"]:
    print(f"{key}: typed {expected!r}, printed {values!r}")
    sys.exit(1)
PY
}

# The CSV source's first page: the file name typed into its field (left 110, top 16), Tab to
# the delimiter (which Tab selects whole), Enter for the default button (the preview page),
# then a click on 确定 (left 299, top 219, 75 by 23).
csv_journey() {
  journey=$1
  local delay=$2 name="$work/in-${1}${3}.csv"
  printf 'code|name\r\n1|a\r\n' >"$name"
  open_config "CSV文件"
  click 200 26
  xdotool type --delay "$delay" "$name"
  xdotool key Tab
  xdotool type --delay "$delay" "|"
  turn_page Return
  click 336 230
  finish 0
  check_option "文件名" "$name"
  check_option "分隔符" "|"
  echo "$journey: typed and printed the same"
}

# The exchange file's wizard: the file name on its first page (left 24, top 60), Enter for
# the next page, the report identity typed there: the unit code (left 120, top 26), Tab to
# the year, a number field, where a letter typed among the digits must not arrive, and the
# period (top 134), which may not be left blank; then 确定.
ryn_journey() {
  journey=$1
  local delay=$2 name="$work/out-$1.ryn"
  open_config "Ryn文件"
  click 150 70
  xdotool type --delay "$delay" "$name"
  turn_page Return
  click 200 36
  xdotool type --delay "$delay" "D00000"
  xdotool key Tab
  xdotool type --delay "$delay" "20x24"
  click 200 144
  xdotool type --delay "$delay" "6"
  sleep 0.3
  click 336 230
  finish 0
  check_option "文件名" "$name"
  check_option "单位标识" "D00000"
  check_option "年度" "2024"
  check_option "时期" "6"
  echo "$journey: typed and printed the same"
}

# xdotool types a character the keyboard map lacks (Chinese) by mapping a spare key to it
# for the moment, and at full speed the client still reads the old map: such characters are
# typed at a person's speed only.
csv_journey one_key_at_a_time 120 "_数据"
csv_journey fast 0 ""
ryn_journey identity_one_key_at_a_time 120
ryn_journey identity_fast 0
echo "typing through the display: all journeys passed"
