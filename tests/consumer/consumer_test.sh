#!/usr/bin/env bash
# Installs the build tree into a new prefix and uses it as other people would: a C host
# built through pkg-config and through find_package, and `ryn` from the prefix finding its
# engine folder. Arguments: the build tree; or --root ROOT, a root into which the Debian
# packages were unpacked.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [[ $1 == --root ]]; then
  prefix=$(realpath "$2")/usr
  build=
else
  build=$(realpath "$1")
  prefix=$work/prefix
  cmake --install "$build" --prefix "$prefix" >/dev/null
fi
libdir=$(dirname "$(find "$prefix" -name 'librynfiler.so.0' -not -path '*/rynfiler/*')")
export RYNFILER_CODEPAGE=GBK LD_LIBRARY_PATH=$libdir

# pkg-config
export PKG_CONFIG_PATH=$libdir/pkgconfig
plugindir=$(realpath "$(pkg-config --variable=plugindir rynfiler)")
cc -std=c99 -Wall -Wextra -pedantic -Werror -o "$work/host_pc" "$here/host.c" $(pkg-config --cflags --libs rynfiler)
"$work/host_pc" "$work/pc.ryn"

# find_package
cmake -S "$here" -B "$work/consumer" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer_host" "$work/cmake.ryn"
[[ $(realpath "$(cat "$work/consumer/engine_dir.txt")") == "$plugindir" ]] || { echo "the package and the .pc file name different engine folders"; exit 1; }

# ryn from the prefix lists the engines of its own engine folder, the exchange file one too.
engines=$(env -u RYNFILER_PLUGIN_DIR "$prefix/bin/ryn" engines)
grep -q "^Ryn文件	destination	.*	$plugindir/librynfiler.so\$" <<<"$engines" || { echo "ryn engines: $engines"; exit 1; }
# The source engines beside it, each once (the packages always hold them).
for engine in "CSV文件|librynfiler_csv.so" "SQLite数据库|librynfiler_sqlite.so" "Excel文件|librynfiler_xlsx.so" "ODBC数据源|librynfiler_odbc.so"; do
  name=${engine%%|*} file=${engine#*|}
  [[ -z $build || -e $plugindir/$file ]] || continue
  [[ $(grep -c "^$name	source	.*	$plugindir/$file\$" <<<"$engines") == 1 ]] || { echo "ryn engines lacks $name: $engines"; exit 1; }
done
version=$("$prefix/bin/ryn" --version)
[[ $version == $'ryn '[0-9]*.[0-9]*.[0-9]*$'\ncode page: GBK' ]] || { echo "ryn --version: $version"; exit 1; }
[[ -d "$plugindir" && "$plugindir" != "$libdir" ]] || { echo "the engine folder must be a folder of its own"; exit 1; }

# Every library finds the windowing adapter library by its own run path, however it is
# loaded: from <libdir>, or from the engine folder (where the link to librynfiler.so makes
# $ORIGIN that folder); `ryn` too. The adapter is private: in <engine folder>/ui, a folder
# that neither the linker nor discovery searches, with no .so link and no CMake target.
private=$plugindir/ui
[[ -f "$private/librynfiler-ui.so.0" && ! -e "$libdir/librynfiler-ui.so.0" && ! -e "$plugindir/librynfiler-ui.so.0" ]] ||
  { echo "librynfiler-ui.so.0 belongs in $private only"; exit 1; }
left=$(find "$prefix" -name 'librynfiler-ui.so')
[[ -z $left ]] || { echo "the adapter has a .so link: $left"; exit 1; }
! grep -rqi 'rynfiler_ui\|rynfiler-ui' "$libdir/cmake/RynFiler" || { echo "the CMake package names the adapter"; exit 1; }
printf '#include <dlfcn.h>\n#include <stdio.h>\nint main(int c, char** v) { for (int i = 1; i < c; ++i) if (!dlopen(v[i], RTLD_NOW)) { printf("%%s\\n", dlerror()); return 1; } return 0; }\n' >"$work/load.c"
cc -o "$work/load" "$work/load.c" -ldl
for lib in "$libdir/librynfiler.so.0" "$private/librynfiler-ui.so.0" "$plugindir"/*.so; do
  env -u LD_LIBRARY_PATH "$work/load" "$lib"
done
env -u LD_LIBRARY_PATH -u RYNFILER_PLUGIN_DIR "$prefix/bin/ryn" engines >/dev/null

# The GTK backend, when built, is a module beside the adapter library (never in the engine
# folder, whose every library is loaded as an engine), and the installed adapter finds it:
# on a display of its own, `ryn config` chosen to run on it shows the window (which the
# headless loop then cancels) rather than saying it cannot show any.
if [[ -z $build && -f "$private/librynfiler-ui-gtk.so" ]] ||
   [[ -n $build && ( -f "$build/lib/librynfiler-ui-gtk.so" || -n $(find "$build" -maxdepth 2 -name 'librynfiler-ui-gtk.so' -print -quit) ) ]]; then
  [[ -f "$private/librynfiler-ui-gtk.so" && ! -e "$plugindir/librynfiler-ui-gtk.so" && ! -e "$libdir/librynfiler-ui-gtk.so" ]] ||
    { echo "librynfiler-ui-gtk.so belongs in $private only"; exit 1; }
  env -u LD_LIBRARY_PATH "$work/load" "$private/librynfiler-ui-gtk.so"
  if command -v xvfb-run >/dev/null; then
    out=$(env -u LD_LIBRARY_PATH -u RYNFILER_PLUGIN_DIR RYNFILER_UI=gtk \
          "$here/../ui/gtk/with_display.sh" "$prefix/bin/ryn" config "CSV文件" 2>&1 || true)
    grep -q "ryn config: cancelled" <<<"$out" || { echo "ryn config on the GTK backend: $out"; exit 1; }
    echo "the installed adapter loads its GTK backend"
  fi
fi
echo "consumer test passed"
