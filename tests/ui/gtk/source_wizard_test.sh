#!/usr/bin/env bash
# The Excel and ODBC engines' wizards as a person uses them: `ryn config Excel文件` and
# `ryn config ODBC数据源` run as a user runs them, typed into and clicked through the
# display, their controls found on the accessibility bus. The journeys themselves are in
# source_wizard_journeys.py. Arguments: RYN ENGINE_DIR SCREENSHOT_DIR SAMPLE_DIR. Exit status
# 77 (skipped) without the tools, the bus, openpyxl or the SQLite ODBC driver.
set -euo pipefail
ryn=$1 engines=$2 shots=$3 sample=$4
here=$(cd "$(dirname "$0")" && pwd)
what="source wizards through the display"

driver=""
for d in /usr/lib/x86_64-linux-gnu/odbc /usr/lib/*/odbc /usr/lib/odbc; do
  [ -e "$d/libsqlite3odbc.so" ] && { driver=$d/libsqlite3odbc.so; break; }
done
if [ -z "$driver" ] || ! /usr/bin/python3 -c "import openpyxl, sqlite3" 2>/dev/null ||
   [ ! -e "$engines/librynfiler_odbc.so" ] || [ ! -e "$engines/librynfiler_xlsx.so" ]; then
  echo "SKIPPED: $what needs the SQLite ODBC driver (libsqliteodbc), python3-openpyxl and both engines"
  exit 77
fi
source "$here/accessibility_bus.sh"

journey=journeys
# The journeys borrow accessible_journeys.py's helpers; the source folder gets no byte code.
PYTHONDONTWRITEBYTECODE=1 PYTHONPATH="$here" /usr/bin/python3 "$here/source_wizard_journeys.py" "$ryn" "$engines" "$work" "$sample" "$driver" ||
  fail "a journey failed (see above)"
echo "$what: all journeys passed"
