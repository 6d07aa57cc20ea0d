#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, only those that are missing.
set -euo pipefail

# Build: cmake, ninja, g++, libsqlite3-dev (the SQLite source), sqlite3 (the sample database
# is made at build time). Tests and benchmarks: GoogleTest/GoogleMock, Google Benchmark,
# libcsv-dev (the reference the CSV reader is checked against), pkg-config (the consumer
# test of the installed tree), clang and its runtime (the fuzz targets' short CI run).
# ODBC: unixodbc-dev (the driver manager the ODBC engine is built on); its tests reach a
# PostgreSQL server they start (postgresql-15) through odbc-postgresql, and SQLite through
# libsqliteodbc.
# The Excel engine: libzip-dev and libexpat1-dev (the package and its XML), python3-openpyxl and
# libxlsxwriter-dev (the independent writers of its tests' workbooks).
# Packaging (scripts/package-test.sh): dpkg-dev, debhelper, fakeroot, lintian, file.
# Windows: libgtk-3-dev (the GTK backend of the windowing adapter), xvfb, xauth and x11-utils
# (its tests run on a virtual X display), xdotool, openbox and x11-apps (the tests that type
# and click as a person does, under a window manager, with a screen dump when one fails).
# The accessibility journeys: python3-pyatspi, libatk-adaptor and at-spi2-core (the bus a
# screen reader listens on), and fonts-noto-cjk, so that labels are measured in real glyphs.
packages=(cmake ninja-build g++ libsqlite3-dev sqlite3 libgtest-dev libgmock-dev libbenchmark-dev libcsv-dev pkg-config
          clang libclang-rt-14-dev dpkg-dev debhelper fakeroot lintian file libgtk-3-dev xvfb xauth x11-utils
          xdotool openbox x11-apps unixodbc-dev odbc-postgresql libsqliteodbc postgresql-15 libzip-dev libexpat1-dev python3-openpyxl libxlsxwriter-dev python3-pyatspi libatk-adaptor at-spi2-core fonts-noto-cjk)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Windows build (scripts/win32-test.sh): the mingw-w64 cross compilers, set to their
# posix-threads variants (std::thread and std::mutex need them), and Wine to run what they
# build. 32-bit Wine needs the i386 architecture beside the machine's own, and a kernel that
# executes 32-bit programs: many virtual machines do not (a 93-byte 32-bit program that only
# exits tells), and there the suites run as 64-bit Windows programs under wine64. A failed
# install here leaves the Linux build whole; the Windows stage then says what it skips.
can_run_32bit() {
  local probe
  probe=$(mktemp)
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\135\000\000\000\135\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\061\333\315\200' >"$probe"
  chmod +x "$probe"
  local ok=1
  "$probe" 2>/dev/null && ok=0
  rm -f "$probe"
  return $ok
}
win_packages=(g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 tcl)
can_run_32bit && win_packages+=(wine32)
win_missing=()
for p in "${win_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || win_missing+=("$p")
done
if [ ${#win_missing[@]} -gt 0 ]; then
  echo "Installing for the Windows build: ${win_missing[*]}"
  if [[ " ${win_missing[*]} " == *" wine32 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends "${win_missing[@]}"; } ||
    echo "setup: the Windows build's packages could not all be installed; its stage says what it skips"
fi

# SQLite for the Windows build is made from Debian's source package (scripts/sqlite-amalgamation.sh,
# with tcl above): apt needs the release's source index, added when it has none.
if ! apt-cache showsrc sqlite3 2>/dev/null | grep -q '^Package: sqlite3'; then
  echo "Adding the Debian source index (deb-src, main) for the Windows build's SQLite"
  printf 'Types: deb-src\nURIs: http://deb.debian.org/debian\nSuites: %s\nComponents: main\nSigned-By: %s\n' \
    "$(. /etc/os-release && echo "$VERSION_CODENAME")" /usr/share/keyrings/debian-archive-keyring.gpg |
    $sudo tee /etc/apt/sources.list.d/rynfiler-deb-src.sources > /dev/null
  $sudo apt-get update -qq || echo "setup: apt-get update reported errors; the Windows stage says whether SQLite's source came"
fi

# Debian's default for the cross compiler is the win32-threads variant; the posix one is asked
# for by name so the choice holds whatever the alternative says.
for triplet in i686-w64-mingw32 x86_64-w64-mingw32; do
  for tool in gcc g++; do
    alt=/usr/bin/$triplet-$tool
    if [ -x "$alt-posix" ] && [ "$(readlink -f "$alt")" != "$(readlink -f "$alt-posix")" ]; then
      $sudo update-alternatives --quiet --set "$triplet-$tool" "$alt-posix"
    fi
  done
done
