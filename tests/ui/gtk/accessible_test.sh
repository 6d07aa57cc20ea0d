#!/usr/bin/env bash
# Our windows as a screen reader and its user meet them: `ryn config` and `ryn wizard` run
# as a user runs them, their controls found by accessible name and role on the
# accessibility bus (AT-SPI, through Debian's pyatspi) and clicked where they are on
# screen, keys sent by xdotool. The journeys themselves are in accessible_journeys.py.
# Arguments: RYN ENGINE_DIR SCREENSHOT_DIR SAMPLE_DIR. Exit status 77 (skipped) without
# the tools or the bus.
set -euo pipefail
ryn=$1 engines=$2 shots=$3 sample=$4
here=$(cd "$(dirname "$0")" && pwd)

what="accessibility through the display"
source "$here/accessibility_bus.sh"

journey=journeys
/usr/bin/python3 "$here/accessible_journeys.py" "$ryn" "$engines" "$work" "$sample" ||
  fail "a journey failed (see above)"
echo "$what: all journeys passed"
