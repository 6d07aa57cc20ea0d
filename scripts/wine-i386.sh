#!/usr/bin/env bash
# Runs a 32-bit Windows program under 32-bit Wine on qemu's i386 emulation, as `wine` would:
# scripts/wine-i386.sh PROGRAM [ARGS...]. The build/win32 tests' emulator (RYN_WINE) when
# the machine cannot execute IA-32 code; the binfmt_misc entry must be registered
# (i386_setup in scripts/win32-i386-env.sh). WINEPREFIX is the caller's, else a prefix in
# ~/.cache/rynfiler; Wine's chatter is off unless WINEDEBUG says otherwise.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/win32-i386-env.sh"
export QEMU_LD_PREFIX=$i386_root WINEARCH=win32 WINEPREFIX=${WINEPREFIX:-$i386_cache/wineprefix32}
export WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine's null graphics driver gives the desktop window without any X server.
if ! grep -q '^"Graphics"="null"' "$WINEPREFIX/user.reg" 2> /dev/null; then
  "$i386_wine" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f > /dev/null 2>&1
  # The desktop started before the setting: the next process starts it again.
  /usr/lib/wine/wineserver64 -k 2> /dev/null || true
fi
exec "$i386_wine" "$@"
