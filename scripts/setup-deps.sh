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
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
