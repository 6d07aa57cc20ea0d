#!/usr/bin/env bash
# Runs the 32-bit Windows C host (build/win32) under 32-bit Wine on a kernel that cannot
# execute IA-32 code: Wine's i386 loader runs under qemu's i386 user emulation, through a
# binfmt_misc handler, with Wine's i386 packages unpacked into a private root (never
# installed system-wide). qemu 10 is needed: 7.2 takes MAP_FIXED_NOREPLACE as a mere hint,
# and Wine then splits its address-space reservation into 64 KiB probes (minutes a process).
# Usage: scripts/win32-host32.sh [BUILD_DIR]   (default build/win32)
# Not yet part of win32-test.sh: the host loads rynfiler.dll and resolves every export,
# but ConfigInit fails (RYN_E_HANDLE) because the 32-bit explorer gets no desktop window.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win32}
cache=${RYNFILER_I386_CACHE:-$HOME/.cache/rynfiler}
root=$cache/i386root qemu=$cache/qemu10/root/usr/bin/qemu-i386 trixie=$cache/apt-trixie
skip() { echo "== Windows 32-bit host: skipped: $* =="; exit 0; }
[ -w /proc/sys/fs/binfmt_misc/register ] || skip "no binfmt_misc mounted"
[ -f "$build/bin/c_host_win32.exe" ] || skip "no $build/bin/c_host_win32.exe"
if [ ! -x "$qemu" ]; then
  mkdir -p "$trixie/lists/partial" "$trixie/cache/archives/partial" "$trixie/etc" "$cache/qemu10"
  echo 'deb http://deb.debian.org/debian trixie main' > "$trixie/etc/sources.list"
  apt_private=(-o Dir::Etc::sourcelist="$trixie/etc/sources.list" -o Dir::Etc::sourceparts=/nonexistent
               -o Dir::State::lists="$trixie/lists" -o Dir::Cache="$trixie/cache" -o APT::Architectures::=amd64)
  apt-get "${apt_private[@]}" update > /dev/null 2>&1 || skip "no package lists for qemu 10"
  (cd "$cache/qemu10" && apt-get "${apt_private[@]}" download qemu-user > /dev/null 2>&1) || skip "qemu-user not downloadable"
  dpkg -x "$cache"/qemu10/qemu-user_*.deb "$cache/qemu10/root"
fi
if [ ! -x "$root/usr/lib/wine/wine" ]; then
  mkdir -p "$cache/i386debs"
  (cd "$cache/i386debs" && apt-get download wine32:i386 libwine:i386 libc6:i386 libz-mingw-w64 libxext6:i386 \
     libx11-6:i386 libxcb1:i386 libxau6:i386 libxdmcp6:i386 libbsd0:i386 libmd0:i386 > /dev/null 2>&1) ||
    skip "Wine's i386 packages not downloadable (dpkg --add-architecture i386; apt-get update)"
  for deb in "$cache"/i386debs/*.deb; do dpkg -x "$deb" "$root"; done
  # What libwine's maintainer script does: zlib1.dll, marked as a Wine builtin.
  in=$root/usr/i686-w64-mingw32/lib/zlib1.dll
  { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } \
    > "$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
fi
if [ ! -e /proc/sys/fs/binfmt_misc/rynfiler-i386 ]; then
  printf '%s' ":rynfiler-i386:M::\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" \
    > /proc/sys/fs/binfmt_misc/register
fi
export QEMU_LD_PREFIX=$root WINEPREFIX=$cache/wineprefix32 WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
out=$(mktemp -d)
RYNFILER_CODEPAGE=GBK "$root/usr/lib/wine/wine" "$build/bin/c_host_win32.exe" "$build/bin/rynfiler.dll" "$out/report.ryn"
linux=build/test/examples/example_out/report.ryn
[ -f "$linux" ] && cmp "$linux" "$out/report.ryn" && echo "== Windows 32-bit host: same bytes as the Linux host =="
