#!/usr/bin/env bash
# Typing into our windows as a person does, through the display only: a virtual X server
# with a window manager, keys and clicks sent by xdotool to `ryn config` run as a user runs
# it (RYNFILER_UI=gtk, nothing scripted). The options text it prints must hold, byte for
# byte, what was typed, whether one key at a time or as fast as the keys can go.
# Arguments: RYN ENGINE_DIR SCREENSHOT_DIR. Exit status 77 (skipped) without the tools.
set -euo pipefail
ryn=$1 engines=$2 shots=$3
here=$(cd "$(dirname "$0")" && pwd)

what="typing through the display"
source "$here/display_session.sh"

# The CSV source's first page: the file name typed into its field (left 110, top 16), Tab to
# the delimiter (which Tab selects whole), Enter for the default button (the preview page),
# then a click on 确定 (left 299, top 219, 75 by 23).
csv_journey() {
  journey=$1
  local delay=$2 name="$work/in-${1}${3}.csv"
  printf 'code|name\r\n1|a\r\n' >"$name"
  open_ryn config "CSV文件" --dir "$engines"
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
  open_ryn config "Ryn文件" --dir "$engines"
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
