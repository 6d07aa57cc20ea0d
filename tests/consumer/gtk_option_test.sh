#!/usr/bin/env bash
# RYNFILER_GTK decides whether the GTK backend is built, whatever the machine has: ON fails
# the configuration when GTK 3 is missing instead of leaving the module out, OFF leaves it
# out when GTK 3 is there, AUTO follows the machine, and any other value is refused.
# Arguments: the source tree. GTK 3 is hidden from pkg-config to stand for a machine
# without it.
set -u
src=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { failures=$((failures + 1)); printf 'FAIL: %s\n' "$*"; }

have_gtk=no
pkg-config --exists gtk+-3.0 gtk+-x11-3.0 x11 2>/dev/null && have_gtk=yes

# value | GTK visible | configure status | the module built | a line configure prints
cases=("OFF|yes|0|no|RYNFILER_GTK=OFF: the windowing adapter runs headless only"
       "ON|no|1|-|RYNFILER_GTK=ON but GTK 3 was not found"
       "AUTO|no|0|no|GTK 3 not found"
       "maybe|yes|1|-|RYNFILER_GTK is \"maybe\": it takes AUTO, ON or OFF")
[[ $have_gtk == yes ]] && cases+=("ON|yes|0|yes|" "AUTO|yes|0|yes|")
n=0
for case in "${cases[@]}"; do
  IFS='|' read -r value visible want built line <<<"$case"
  n=$((n + 1))
  hide=()
  [[ $visible == no ]] && hide=(env PKG_CONFIG_LIBDIR="$work/none" PKG_CONFIG_PATH=)
  "${hide[@]}" cmake -S "$src" -B "$work/b$n" -G Ninja -DRYNFILER_TESTS=OFF -DRYNFILER_GTK="$value" \
    >"$work/out$n" 2>&1
  status=$?
  what="RYNFILER_GTK=$value with GTK ${visible/no/hidden}"
  [[ $status == 0 && $want == 0 || $status != 0 && $want != 0 ]] || fail "$what: configure exited $status"
  [[ -z $line ]] || grep -qF -- "$line" "$work/out$n" || fail "$what: no \"$line\" in: $(tail -n 5 "$work/out$n")"
  if [[ $built != - ]]; then
    has=no
    grep -q 'librynfiler-ui-gtk\.so' "$work/b$n/build.ninja" 2>/dev/null && has=yes
    [[ $has == "$built" ]] || fail "$what: the GTK module is built: $has (want $built)"
  fi
done
echo "$n cases"
exit $((failures > 0))
