# shellcheck shell=bash disable=SC2034  # its variables are its callers'
# Sourced (bash): 32-bit Wine on a kernel that cannot execute IA-32 code. Wine's i386
# loader runs under qemu's i386 user emulation, through a binfmt_misc entry of ours, with
# Wine's i386 packages unpacked into a private root (never installed system-wide);
# scripts/wine-i386.sh runs a Windows program there.
#
# qemu 10 (Debian 13's static qemu-user) is needed: 7.2 takes MAP_FIXED_NOREPLACE as a mere
# hint, and Wine then splits its address-space reservation into 64 KiB probes (minutes a
# process). The wineserver is the machine's own (wine64, the same version as the i386
# packages). Downloads go to ~/.cache/rynfiler (RYNFILER_I386_CACHE), through apt lists of
# their own.
#
# i386_setup: downloads what is missing and registers the entry (mounting binfmt_misc when
# it is not); status 1 with the reason in i386_why when the machine cannot. i386_teardown
# PREFIX...: stops the wineservers of those Wine prefixes and takes away what i386_setup
# added (nothing when the entry was there before, as under a caller that set it up).
i386_cache=${RYNFILER_I386_CACHE:-$HOME/.cache/rynfiler}
i386_root=$i386_cache/i386root
i386_qemu=$i386_cache/qemu10/qemu-i386
i386_wine=$i386_root/usr/lib/wine/wine
i386_binfmt=/proc/sys/fs/binfmt_misc
i386_entry=rynfiler-i386
i386_why='' i386_mounted='' i386_registered=''

i386_setup() {
  local apt=$i386_cache/apt-i386 wine_version codename apt_private deb in
  i386_why=''
  [ -x /usr/lib/wine/wineserver64 ] || { i386_why="no wine64 (its wineserver serves the 32-bit processes)"; return 1; }
  command -v apt-get > /dev/null || { i386_why="no apt-get to fetch Wine's i386 packages and qemu"; return 1; }
  [ "$(dpkg --print-architecture)" = amd64 ] ||
    { i386_why="qemu's i386 emulation is fetched for amd64 machines only"; return 1; }
  [ "$(id -u)" = 0 ] || { i386_why="registering a binfmt_misc handler needs root"; return 1; }
  wine_version=$(dpkg-query -W -f='${Version}' wine64 2> /dev/null) || { i386_why="wine64 is not Debian's package"; return 1; }

  if [ ! -e "$i386_binfmt/register" ]; then
    mount -t binfmt_misc binfmt_misc "$i386_binfmt" 2> /dev/null || { i386_why="no binfmt_misc (cannot mount it)"; return 1; }
    i386_mounted=1
  fi

  # Private apt lists: Debian 13 for qemu, this release's i386 side for Wine.
  apt_private=(-o Dir::Etc::sourcelist="$apt/sources.list" -o Dir::Etc::sourceparts=/nonexistent
               -o Dir::State::lists="$apt/lists" -o Dir::Cache="$apt/cache" -o APT::Architectures::=i386)
  if [ ! -x "$i386_qemu" ] || [ ! -f "$i386_root/.complete-$wine_version" ]; then
    codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    [ -n "$codename" ] || { i386_why="no Debian release name in /etc/os-release"; return 1; }
    mkdir -p "$apt/lists/partial" "$apt/cache/archives/partial" "$apt/debs"
    { echo "deb [arch=amd64] http://deb.debian.org/debian trixie main"
      echo "deb [arch=i386] http://deb.debian.org/debian $codename main"; } > "$apt/sources.list"
    apt-get "${apt_private[@]}" update > "$apt/update.log" 2>&1 ||
      { i386_why="no package lists (see $apt/update.log)"; return 1; }
  fi
  if [ ! -x "$i386_qemu" ]; then
    rm -f "$apt"/debs/qemu-user_*.deb
    (cd "$apt/debs" && apt-get "${apt_private[@]}" download qemu-user/trixie > /dev/null 2>&1) ||
      { i386_why="Debian 13's qemu-user not downloadable"; return 1; }
    mkdir -p "$i386_cache/qemu10/unpack"
    dpkg-deb --fsys-tarfile "$apt"/debs/qemu-user_*.deb | tar -x -C "$i386_cache/qemu10/unpack" ./usr/bin/qemu-i386
    mv "$i386_cache/qemu10/unpack/usr/bin/qemu-i386" "$i386_qemu"
    rm -rf "$i386_cache/qemu10/unpack" "$apt"/debs/qemu-user_*.deb
  fi
  if [ ! -f "$i386_root/.complete-$wine_version" ]; then
    rm -rf "$i386_root" "$apt"/debs/*.deb
    # The loader's own: no X libraries, as the null driver needs none.
    (cd "$apt/debs" && apt-get "${apt_private[@]}" download "wine32:i386=$wine_version" "libwine:i386=$wine_version" \
       libc6:i386 "libz-mingw-w64/$codename" > /dev/null 2>&1) ||
      { i386_why="Wine $wine_version's i386 packages not downloadable"; return 1; }
    for deb in "$apt"/debs/*.deb; do dpkg -x "$deb" "$i386_root"; done
    rm -f "$apt"/debs/*.deb
    # What libwine's maintainer script does: zlib1.dll, marked as a Wine builtin.
    in=$i386_root/usr/i686-w64-mingw32/lib/zlib1.dll
    { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } \
      > "$i386_root/usr/lib/i386-linux-gnu/wine/i386-windows/zlib1.dll"
    touch "$i386_root/.complete-$wine_version"
  fi

  if [ ! -e "$i386_binfmt/$i386_entry" ]; then
    # 32-bit ELF executables of the i386 machine; the handler opened now (flag F).
    printf '%s' ":$i386_entry:M::\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:$i386_qemu:F" \
      > "$i386_binfmt/register" || { i386_why="the binfmt_misc entry was refused"; return 1; }
    i386_registered=1
  fi
}

i386_teardown() {
  local prefix
  if [ -n "$i386_registered" ]; then
    for prefix in "$@"; do
      WINEPREFIX=$prefix /usr/lib/wine/wineserver64 -k 2> /dev/null || true
    done
    echo -1 > "$i386_binfmt/$i386_entry"
    i386_registered=''
  fi
  if [ -n "$i386_mounted" ]; then umount "$i386_binfmt"; i386_mounted=''; fi
}
