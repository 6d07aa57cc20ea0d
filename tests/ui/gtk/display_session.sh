# Sourced by the tests that act on `ryn` through the display only, as a person does: a
# virtual X server with a window manager, keys and clicks sent by xdotool to `ryn` run as a
# user runs it (RYNFILER_UI=gtk, nothing scripted). The sourcing script sets `what` (its
# name in messages), `ryn`, `shots` (where a failure's picture goes) and `here`; it gets
# the helpers below. Exit status 77 (skipped) without the tools.

missing=()
for tool in xvfb-run xdotool openbox xprop xwd python3; do command -v "$tool" >/dev/null || missing+=("$tool"); done
if [ ${#missing[@]} -gt 0 ]; then
  echo "SKIPPED: $what needs ${missing[*]} (scripts/setup-deps.sh installs them)"
  exit 77
fi

# The rest runs on a display of its own.
if [ -z "${RYN_ON_TEST_DISPLAY:-}" ]; then
  export RYN_ON_TEST_DISPLAY=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" bash "$0" "$@"
fi

export RYNFILER_UI=gtk GDK_BACKEND=x11 NO_AT_BRIDGE=1 GTK_A11Y=none GSETTINGS_BACKEND=memory
unset RYNFILER_UI_SCRIPTED
export RYNFILER_CODEPAGE=${RYNFILER_CODEPAGE:-GBK}
# A peer that misuses the toolkit is a failure, not a line on stderr.
export G_DEBUG=fatal-criticals
work=$(mktemp -d /tmp/rdisp.XXXXXX)
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
  local picture="$shots/${what// /_}_${journey:-start}.png"
  xwd -root -silent >"$work/screen.xwd" && python3 "$here/xwd_to_png.py" "$work/screen.xwd" "$picture" || true
  echo "FAILED ($journey): $*"
  echo "screen: $picture"
  [ -f "$work/err" ] && sed 's/^/ryn stderr: /' "$work/err"
  exit 1
}
# A step that fails on its own says which, with the screen.
set -E
trap 'fail "line $LINENO failed: $BASH_COMMAND"' ERR

openbox --sm-disable >"$work/wm.log" 2>&1 &
wm_pid=$!
# Ready once it says what it supports: xdotool activates windows through _NET_ACTIVE_WINDOW.
# On a loaded machine (the sanitizer suites, two displays at once) that can take seconds;
# a window manager that died or never got ready is a failure of its own, said as such.
wm_ready() { xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_ACTIVE_WINDOW; }
for _ in $(seq 600); do
  wm_ready && break
  kill -0 "$wm_pid" 2>/dev/null || { sed 's/^/openbox: /' "$work/wm.log"; fail "the window manager ended at start"; }
  sleep 0.1
done
wm_ready || fail "the window manager was not ready after a minute"

# Starts `ryn ARGS...` and waits for its window; sets ryn_pid and window.
open_ryn() {
  "$ryn" "$@" >"$work/out" 2>"$work/err" &
  ryn_pid=$!
  window=$(timeout 20 xdotool search --sync --onlyvisible --pid "$ryn_pid" 2>/dev/null | head -1) || true
  [ -n "$window" ] || fail "no window of ryn $1 came up"
  kill -0 "$wm_pid" 2>/dev/null || fail "the window manager has ended"
  xdotool windowactivate --sync "$window"
}

# Clicks at a point of the window's client area, in the form's own pixels.
click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.3
}

# What the window shows, as a fingerprint.
picture() { { xwd -id "$window" -silent 2>/dev/null || true; } | md5sum; }

# Waits until the window has shown the same picture for a moment: what was typed or
# pressed last may still be on its way through our queue to the screen.
settle() {
  local before last
  before=$(picture)
  for _ in $(seq 50); do
    sleep 0.15
    last=$(picture)
    [ "$last" = "$before" ] && return
    before=$last
  done
}

# Presses a key that turns the wizard's page and waits until the window shows another
# picture: the page turns on our message queue, after the toolkit's pending input, so a
# click sent at once could land on the old page.
turn_page() {
  local before
  settle
  before=$(picture)
  xdotool key "$1"
  for _ in $(seq 100); do [ "$(picture)" != "$before" ] && return; sleep 0.1; done
  fail "the page did not turn on $1"
}

# Fails unless ryn is still running.
still_open() { kill -0 "$ryn_pid" 2>/dev/null || fail "$1"; }

# Waits for ryn to end; its exit status must be the one given.
finish() {
  local status=0
  for _ in $(seq 200); do kill -0 "$ryn_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$ryn_pid" 2>/dev/null && fail "the window is still open"
  wait "$ryn_pid" || status=$?
  ryn_pid=""
  [ "$status" -eq "$1" ] || fail "ryn exited $status, not $1"
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
