#!/usr/bin/env bash
# The 32-bit Windows programs (build/win32) under 32-bit Wine on a kernel that cannot
# execute IA-32 code: Wine's i386 loader runs under qemu's i386 user emulation, through a
# binfmt_misc entry of ours, with Wine's i386 packages unpacked into a private root (never
# installed system-wide). The C host, in a folder of its own, loads rynfiler.dll and writes
# the example exchange file; ryn.exe transfers the samples; each file must match the Linux
# one byte for byte.
#
# qemu 10 (Debian 13's static qemu-user) is needed: 7.2 takes MAP_FIXED_NOREPLACE as a mere
# hint, and Wine then splits its address-space reservation into 64 KiB probes (minutes a
# process). Wine's null graphics driver gives the desktop window without any X server.
# The wineserver is the machine's own (wine64, the same version as the i386 packages).
# Downloads go to ~/.cache/rynfiler (RYNFILER_I386_CACHE), through apt lists of their own.
# The binfmt_misc entry (and the mount, when this mounted it) goes again at the end.
#
# Usage: scripts/win32-host32.sh [BUILD_DIR [LINUX_OUTPUT_DIR]]
#        (default build/win32 and build/test/examples/example_out)
# One "skipped: ..." line when something it needs is missing; status 1 when a file differs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win32}
linux=${2:-build/test/examples/example_out}
cache=${RYNFILER_I386_CACHE:-$HOME/.cache/rynfiler}
root=$cache/i386root qemu=$cache/qemu10/qemu-i386 apt=$cache/apt-i386
binfmt=/proc/sys/fs/binfmt_misc entry=rynfiler-i386
skip() { echo "== Windows 32-bit host: skipped: $* =="; exit 0; }
say() { echo "== Windows 32-bit host: $* =="; }
start=$(date +%s)

for program in c_host_win32.exe rynfiler.dll ryn.exe rynfiler_csv.dll; do
  [ -f "$build/bin/$program" ] || skip "no $build/bin/$program"
done
build=$(realpath "$build")
[ -x /usr/lib/wine/wineserver64 ] || skip "no wine64 (its wineserver serves the 32-bit processes)"
command -v apt-get > /dev/null || skip "no apt-get to fetch Wine's i386 packages and qemu"
[ "$(dpkg --print-architecture)" = amd64 ] || skip "qemu's i386 emulation is fetched for amd64 machines only"
[ "$(id -u)" = 0 ] || skip "registering a binfmt_misc handler needs root"
wine_version=$(dpkg-query -W -f='${Version}' wine64 2> /dev/null) || skip "wine64 is not Debian's package"

# The machine's state is restored however this ends.
mounted='' registered=''
cleanup() {
  if [ -n "$registered" ]; then
    WINEPREFIX=$cache/wineprefix32 /usr/lib/wine/wineserver64 -k 2> /dev/null || true
    echo -1 > "$binfmt/$entry"
  fi
  if [ -n "$mounted" ]; then umount "$binfmt"; fi
}
trap cleanup EXIT

if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" 2> /dev/null || skip "no binfmt_misc (cannot mount it)"
  mounted=1
fi

# Private apt lists: Debian 13 for qemu, this release's i386 side for Wine.
if [ ! -x "$qemu" ] || [ ! -f "$root/.complete-$wine_version" ]; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$codename" ] || skip "no Debian release name in /etc/os-release"
  mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/debs"
  { echo "deb [arch=amd64] http://deb.debian.org/debian trixie main"
    echo "deb [arch=i386] http://deb.debian.org/debian $codename main"; } > "$apt/sources.list"
  apt_private=(-o Dir::Etc::sourcelist="$apt/sources.list" -o Dir::Etc::sourceparts=/nonexistent
               -o Dir::State::lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Architectures::=i386)
  apt-get "${apt_private[@]}" update > "$apt/update.log" 2>&1 || skip "no package lists (see $apt/update.log)"
fi
if [ ! -x "$qemu" ]; then
  rm -f "$apt"/debs/qemu-user_*.deb
  (cd "$apt/debs" && apt-get "${apt_private[@]}" download qemu-user/trixie > /dev/null 2>&1) ||
    skip "Debian 13's qemu-user not downloadable"
  mkdir -p "$cache/qemu10/unpack"
  dpkg-deb --fsys-tarfile "$apt"/debs/qemu-user_*.deb | tar -x -C "$cache/qemu10/unpack" ./usr/bin/qemu-i386
  mv "$cache/qemu10/unpack/usr/bin/qemu-i386" "$qemu"
  rm -rf "$cache/qemu10/unpack" "$apt"/debs/qemu-user_*.deb
fi
if [ ! -f "$root/.complete-$wine_version" ]; then
  rm -rf "$root" "$apt"/debs/*.deb
  # The loader's own: no X libraries, as the null driver needs none.
  (cd "$apt/debs" && apt-get "${apt_private[@]}" download "wine32:i386=$wine_version" "libwine:i386=$wine_version" \
     libc6:i386 "libz-mingw-w64/$codename" > /dev/null 2>&1) ||
    skip "Wine $wine_version's i386 packages not downloadable"
  for deb in "$apt"/debs/*.deb; do dpkg -x "$deb" "$root"; done
  rm -f "$apt"/debs/*.deb
  # What libwine's maintainer script does: zlib1.dll, marked as a Wine builtin.
  in=$root/usr/i686-w64-mingw32/lib/zlib1.dll
  { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } \
    > "$root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
  touch "$root/.complete-$wine_version"
fi

if [ ! -e "$binfmt/$entry" ]; then
  # 32-bit ELF executables of the i386 machine; the handler opened now (flag F).
  printf '%s' ":$entry:M::\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$qemu:F" \
    > "$binfmt/register"
  registered=1
fi

export QEMU_LD_PREFIX=$root WINEPREFIX=$cache/wineprefix32 WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
wine=$root/usr/lib/wine/wine
if ! grep -q '^"Graphics"="null"' "$WINEPREFIX/user.reg" 2> /dev/null; then
  "$wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f > /dev/null 2>&1
  # The desktop started before the setting: the next process starts it again.
  /usr/lib/wine/wineserver64 -k 2> /dev/null || true
fi

failed=()
out=$(mktemp -d)
same() {  # same WHAT LINUX_DIR WINDOWS_DIR FILE...: one line for the lot
  local file differ=()
  for file in "${@:4}"; do
    if [ ! -f "$2/$file" ]; then
      say "$1: not compared: no $2/$file (run the Linux tests first)"
      return
    fi
    cmp -s "$2/$file" "$3/$file" || differ+=("$file")
  done
  if [ ${#differ[@]} -eq 0 ]; then
    say "$1: same bytes as on Linux"
  else
    say "$1: ${differ[*]} DIFFERS from $2 (kept in $3)"
    failed+=("$1")
  fi
}

# The host in a folder of its own, as a host lies elsewhere than the engine libraries.
mkdir "$out/host"
cp "$build/bin/c_host_win32.exe" "$out/host/"
if (cd "$out/host" && RYNFILER_CODEPAGE=GBK "$wine" c_host_win32.exe "$build/bin/rynfiler.dll" "$out/report.ryn") \
     > "$out/c_host.log" 2>&1; then
  same "the C host's report.ryn" "$linux" "$out" report.ryn
else
  cat "$out/c_host.log"
  say "the C host failed"
  failed+=("C host")
fi

samples=("")
[ -f "$build/bin/rynfiler_sqlite.dll" ] && samples+=(_sqlite)
for suffix in "${samples[@]}"; do
  for page in GBK UTF-8; do
    name=ryn_sample${suffix}_$page
    if RYNFILER_CODEPAGE=$page RYNFILER_UI=headless LC_ALL=C.UTF-8 bash "examples/sample${suffix}_transfer.sh" \
         "$PWD/examples/sample" "$out/$name" "$wine" "$build/bin/ryn.exe" > "$out/$name.log" 2>&1; then
      same "ryn.exe transfer, $name" "$linux/$name" "$out/$name" report_sample.ryn summary.txt messages.txt
    else
      cat "$out/$name.log"
      say "ryn.exe $name failed"
      failed+=("$name")
    fi
  done
done

if [ ${#failed[@]} -gt 0 ]; then
  list=$(printf '%s; ' "${failed[@]}")
  say "FAILED: ${list%; } (outputs in $out)"
  exit 1
fi
rm -rf "$out"
say "passed in $(( $(date +%s) - start )) s"
