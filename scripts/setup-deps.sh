#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, only those that are missing.
set -euo pipefail

# Build: cmake, ninja, g++, libsqlite3-dev (the SQLite source), sqlite3 (the sample database
# is made at build time). Tests and benchmarks: GoogleTest/GoogleMock, Google Benchmark,
# libcsv-dev (the reference the CSV reader is checked against), pkg-config (the consumer
# test of the installed tree), clang and its runtime (the fuzz targets' short CI run).
# Packaging (scripts/package-test.sh): dpkg-dev, debhelper, fakeroot, lintian, file.
# Windows: libgtk-3-dev (the GTK backend of the windowing adapter), xvfb, xauth and x11-utils
# (its tests run on a virtual X display), xdotool, openbox and x11-apps (the tests that type
# and click as a person does, under a window manager, with a screen dump when one fails).
packages=(cmake ninja-build g++ libsqlite3-dev sqlite3 libgtest-dev libgmock-dev libbenchmark-dev libcsv-dev pkg-config
          clang libclang-rt-14-dev dpkg-dev debhelper fakeroot lintian file libgtk-3-dev xvfb xauth x11-utils
          xdotool openbox x11-apps)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The Windows build (scripts/win32-test.sh): the 32-bit mingw-w64 cross compiler, set to its
# posix-threads variant (std::thread and std::mutex need it), and 32-bit Wine to run what it
# builds, which needs the i386 architecture beside the machine's own. The 64-bit compiler
# and wine64 run the suites on machines whose kernel executes no 32-bit code.
win_packages=(g++-mingw-w64-i686 wine wine32 g++-mingw-w64-x86-64 wine64)
for p in "${win_packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [[ " ${missing[*]} " == *" wine32 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  # A mirror caught mid-sync fails one index; the install below says when that matters.
  $sudo apt-get update -qq || echo "apt-get update reported errors; installing with the indexes it has"
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
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
