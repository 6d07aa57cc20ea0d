#!/usr/bin/env bash
# The 32-bit Windows programs (build/win32) under 32-bit Wine on a kernel that cannot
# execute IA-32 code (scripts/win32-i386-env.sh: qemu's i386 emulation, Wine's null
# graphics driver). The C host, in a folder of its own, loads rynfiler.dll and writes the
# example exchange file; ryn.exe transfers the samples; each file must match the Linux one
# byte for byte.
#
# Usage: scripts/win32-host32.sh [BUILD_DIR [LINUX_OUTPUT_DIR]]
#        (default build/win32 and build/test/examples/example_out)
# One "skipped: ..." line when something it needs is missing; status 1 when a file differs.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/win32}
linux=${2:-build/test/examples/example_out}
source scripts/win32-i386-env.sh
skip() { echo "== Windows 32-bit host: skipped: $* =="; exit 0; }
say() { echo "== Windows 32-bit host: $* =="; }
start=$(date +%s)

for program in c_host_win32.exe rynfiler.dll ryn.exe rynfiler_csv.dll; do
  [ -f "$build/bin/$program" ] || skip "no $build/bin/$program"
done
build=$(realpath "$build")
# The machine's state is restored however this ends.
trap 'i386_teardown "$i386_cache/wineprefix32"' EXIT
i386_setup || skip "$i386_why"
wine=$PWD/scripts/wine-i386.sh

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
