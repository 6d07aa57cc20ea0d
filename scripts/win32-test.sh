#!/usr/bin/env bash
# Cross-builds the Windows DLL (32-bit, mingw-w64) with its test programs and runs the
# Windows suites under Wine, in build/win32 (GBK and UTF-8 code pages). Where the machine
# cannot execute 32-bit code at all (a kernel without IA-32 emulation: 32-bit Wine cannot
# start), the 32-bit DLL is still built and its exports checked, and the suites run as
# 64-bit Windows programs under wine64 in build/win64, and the 32-bit C host and ryn.exe run
# under 32-bit Wine on qemu's emulation (scripts/win32-i386-env.sh): the suites of
# suites32 in build/win32, then the C host and ryn.exe (scripts/win32-host32.sh). One
# "skipped: ..." line when a tool is missing. The Linux example host's file (build/test) is
# compared when it is there.
set -euo pipefail
cd "$(dirname "$0")/.."

libraries=(rynfiler rynfiler_ui rynfiler_csv c_host_win32 ryn)
# The proxies' test engines, whose 32-bit exports are checked too.
test_engines=(memsource minsource noinit notype noport appfinaonly nosetcount lazytypes oneengine wizard)
targets=("${libraries[@]}" platform_tests platform_win_tests hold_file load_library textloader_tests expr_tests plugins_tests
         transport_tests rynengine_tests transfer_tests libengineport_tests ui_tests)
# What runs 32-bit under qemu (about 6 s a program to start): every suite but the UTF-8
# pass of the expressions (35 s), with the loading of the 32-bit DLLs and the C host's file.
# ryn.exe's own cases stay 64-bit; win32-host32.sh runs its transfers 32-bit.
suites32='^(wine_prefix|(platform|platform_win|textloader|transport|rynengine|transfer|libengineport|plugins|ui)_tests(_utf8)?'
suites32+='|expr_tests|win32_.*exports|win32_load_from_elsewhere|win32_output_.*|win32_c_host_.*)$'
linux_output=build/test/examples/example_out/report.ryn
linux_samples=build/test/examples/example_out
jobs=$(nproc 2>/dev/null || echo 2)
wine_option=()  # RYN_WINE: the emulator the build's tests run under, when not the toolchain's own
export WINEDEBUG=-all

cross() {  # cross DIR TOOLCHAIN TARGET...
  local options=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/$2" -DCMAKE_BUILD_TYPE=Release -DRYNFILER_WERROR=ON)
  [ -f "$linux_output" ] && options+=(-DRYNFILER_LINUX_OUTPUT="$PWD/$linux_output")
  options+=(-DRYNFILER_SQLITE_AMALGAMATION_DIR="$sqlite_dir")
  if [ -f "$linux_samples/ryn_sample_GBK/report_sample.ryn" ]; then
    options+=(-DRYNFILER_LINUX_SAMPLE_OUTPUT="$PWD/$linux_samples")
  else
    options+=(-DRYNFILER_LINUX_SAMPLE_OUTPUT=)
    echo "== Windows: ryn.exe's sample transfer is not compared with Linux: no $linux_samples/ryn_sample_GBK (run the Linux tests first) =="
  fi
  cmake -S . -B "$1" "${options[@]}" "${wine_option[@]}" > "$1.configure.log" || { cat "$1.configure.log"; return 1; }
  cmake --build "$1" -j "$jobs" --target "${@:3}"
}

if ! command -v i686-w64-mingw32-g++-posix > /dev/null; then
  echo "== Windows: skipped: no mingw-w64 cross compiler (scripts/setup-deps.sh installs g++-mingw-w64-i686) =="
  exit 0
fi
start=$(date +%s)
mkdir -p build
# SQLite is compiled into rynfiler_sqlite.dll from its amalgamation, made once from Debian's
# source package; without it the Windows build has no SQLite engine.
if sqlite_dir=$(scripts/sqlite-amalgamation.sh 2> build/sqlite-amalgamation.log); then
  libraries+=(rynfiler_sqlite)
  targets+=(rynfiler_sqlite)
else
  echo "== Windows: no SQLite engine: $(tail -n1 build/sqlite-amalgamation.log) =="
  sqlite_dir=
fi
echo "== Windows: rynfiler.dll (32-bit) =="
if command -v wine > /dev/null && /usr/lib/wine/wine --version > /dev/null 2>&1; then
  cross build/win32 toolchain-mingw-i686.cmake "${targets[@]}"
  ctest --test-dir build/win32 --output-on-failure --timeout 600 --no-tests=error
elif command -v wine > /dev/null; then
  source scripts/win32-i386-env.sh
  trap 'i386_teardown "$PWD/build/win32/wineprefix" "$i386_cache/wineprefix32"' EXIT
  if i386_setup; then
    echo "== Windows: the 32-bit suites under 32-bit Wine on qemu's i386 emulation =="
    wine_option=(-DRYN_WINE="$PWD/scripts/wine-i386.sh")
    cross build/win32 toolchain-mingw-i686.cmake "${targets[@]}" "${test_engines[@]}"
    ctest --test-dir build/win32 --output-on-failure --timeout 600 --no-tests=error -R "$suites32"
  else
    wine_option=(-URYN_WINE)
    cross build/win32 toolchain-mingw-i686.cmake "${libraries[@]}" "${test_engines[@]}"
    ctest --test-dir build/win32 --output-on-failure --no-tests=error -R '^win32_.*exports$'
  fi
  wine_option=()
  if [ -x /usr/lib/wine/wine64 ] && command -v x86_64-w64-mingw32-g++-posix > /dev/null; then
    echo "== Windows: this machine cannot execute 32-bit programs; the suites run as 64-bit Windows programs under wine64 =="
    cross build/win64 toolchain-mingw-x86_64.cmake "${targets[@]}"
    ctest --test-dir build/win64 --output-on-failure --timeout 600 --no-tests=error
  else
    echo "== Windows: suites skipped: this machine cannot execute 32-bit programs, and wine64 or g++-mingw-w64-x86-64 is missing =="
  fi
  # The 32-bit programs themselves, under 32-bit Wine on qemu's i386 emulation.
  if [ -n "$i386_registered" ] || [ -e "$i386_binfmt/$i386_entry" ]; then
    scripts/win32-host32.sh build/win32 "$linux_samples"
  else
    echo "== Windows 32-bit: skipped: $i386_why =="
  fi
else
  cross build/win32 toolchain-mingw-i686.cmake "${libraries[@]}" "${test_engines[@]}"
  ctest --test-dir build/win32 --output-on-failure --no-tests=error -R '^win32_.*exports$'
  echo "== Windows: suites skipped: no Wine (scripts/setup-deps.sh installs wine and wine32) =="
fi
echo "== Windows stage: $(( $(date +%s) - start )) s =="
