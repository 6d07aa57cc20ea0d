#!/usr/bin/env bash
# SQLite's amalgamation (sqlite3.c, sqlite3.h) for the Windows build, which Debian carries no
# mingw-w64 SQLite for: made once from Debian's source package of the machine's release
# (apt checks it against the signed source index; its patches applied) and kept in a cache
# folder outside every build tree, which is printed. The source tree's own build makes it and
# needs tclsh (Debian's tcl). Exit status 1 with one line on stderr when it cannot be made,
# e.g. without a deb-src entry (scripts/setup-deps.sh adds one).
set -euo pipefail
cache=${RYNFILER_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/rynfiler}/sqlite
made() { [ -s "$cache/sqlite3.c" ] && [ -s "$cache/sqlite3.h" ]; }
# Made again when apt's index has a newer source package (a security fix); what was made
# before serves while it cannot be.
current=$(apt-cache showsrc sqlite3 2>/dev/null | sed -n 's/^Version: //p' | sort -V | tail -n 1 || true)
if made && { [ -z "$current" ] || grep -qxF "sqlite3_$current" "$cache/SOURCE" 2> /dev/null; }; then
  echo "$cache"
  exit 0
fi
fail() {
  if made; then
    echo "SQLite's amalgamation not made again, the one of $(cat "$cache/SOURCE" 2> /dev/null) serves: $*" >&2
    echo "$cache"
    exit 0
  fi
  echo "SQLite's amalgamation not made: $*" >&2
  exit 1
}
for tool in apt-get dpkg-source tclsh make cc; do
  command -v "$tool" > /dev/null || fail "no $tool (scripts/setup-deps.sh installs what it needs)"
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
apt-get source --download-only sqlite3 > fetch.log 2>&1 ||
  fail "apt-get source sqlite3 failed ($(grep -m1 '^E:' fetch.log || tail -n1 fetch.log))"
dsc=$(ls sqlite3_*.dsc)
dpkg-source -x "$dsc" src > unpack.log 2>&1 || fail "dpkg-source -x $dsc failed"
mkdir bld
(cd bld && ../src/configure --disable-tcl > ../configure.log 2>&1 && make sqlite3.c > ../make.log 2>&1) ||
  fail "the source tree's make sqlite3.c failed (see $(tail -n1 make.log 2>/dev/null || echo configure))"
mkdir -p "$(dirname "$cache")"
rm -rf "$cache.new"
mkdir "$cache.new"
cp bld/sqlite3.c bld/sqlite3.h "$cache.new/"
echo "${dsc%.dsc}" > "$cache.new/SOURCE"
rm -rf "$cache"
mv "$cache.new" "$cache"
echo "$cache"
