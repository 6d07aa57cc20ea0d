#!/usr/bin/env bash
# Builds the Debian packages (dpkg-buildpackage -us -uc -b) from a copy of the source tree
# under build/package/, so the tree stays clean, and checks them as a sponsor would:
# lintian with no errors and no warning that debian/ does not carry with its reason; the
# packages unpacked with dpkg -x into a temporary root and used there (the consumer test,
# `ryn engines`, the README's transfer example on the installed sample); dpkg-shlibdeps
# resolving librynfiler0 for a host linked with -lrynfiler; and an uninstall by
# install_manifest.txt leaving nothing of ours behind.
set -euo pipefail
cd "$(dirname "$0")/.."
src=$PWD

for tool in dpkg-buildpackage dh lintian dpkg-shlibdeps dpkg-parsechangelog fakeroot cmake pkg-config python3; do
  if ! command -v "$tool" >/dev/null; then
    echo "== Debian packages skipped: $tool is missing (scripts/setup-deps.sh installs it) =="
    exit 0
  fi
done

jobs=$(nproc 2>/dev/null || echo 2)
version=$(dpkg-parsechangelog -l debian/changelog -S Version)
arch=$(dpkg-architecture -qDEB_HOST_ARCH)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
# The copy always has the same path: the compiler's command lines (-ffile-prefix-map) and so
# ccache's hits depend on it.
out=$src/build/package
copy=$out/rynfiler-$version
rm -rf "$out"
mkdir -p "$copy"
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' f; do [[ -e $f ]] && printf '%s\0' "$f"; done |
    tar -C "$src" --null -T - -cf - | tar -C "$copy" -xf -
else
  tar -C "$src" --exclude=./build --exclude='./build-*' -cf - . | tar -C "$copy" -xf -
fi

# debhelper gives the build a HOME of its own: ccache, when installed, keeps the user's cache.
if command -v ccache >/dev/null && [[ -z ${CCACHE_DIR:-} ]]; then
  CCACHE_DIR=$(ccache --get-config cache_dir 2>/dev/null) && export CCACHE_DIR
fi

echo "== Debian packages: dpkg-buildpackage -us -uc -b =="
start=$SECONDS
(cd "$copy" && DEB_BUILD_OPTIONS="parallel=$jobs nocheck" dpkg-buildpackage -us -uc -b) >"$out/build.log" 2>&1 ||
  { tail -n 60 "$out/build.log"; echo "dpkg-buildpackage failed (whole log: $out/build.log)"; exit 1; }
echo "built in $((SECONDS - start)) s:"
(cd "$out" && ls -1 ./*.deb)

failures=0
fail() { failures=$((failures + 1)); printf 'FAIL: %s\n' "$*"; }

echo "== lintian =="
# Errors and warnings both fail; an accepted warning is an override in debian/ with its reason.
# The packages themselves: the .changes of an UNRELEASED build is not meant for an upload.
if ! lintian --fail-on error,warning "$out"/*.deb \
    >"$out/lintian.log" 2>&1; then
  cat "$out/lintian.log"
  fail "lintian"
fi
cat "$out/lintian.log"
echo "lintian: $(grep -c '^E:' "$out/lintian.log") errors, $(grep -c '^W:' "$out/lintian.log") warnings"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
deb() { echo "$out/${1}_${version}_${arch}.deb"; }

# What goes where: each package holds its own files and no other's.
expect_only() {  # PACKAGE EXTENDED-REGEX-OF-ALLOWED-PATHS
  local extra
  extra=$(dpkg -c "$(deb "$1")" | awk '{print $6}' | sed 's#^\./#/#' | grep -v '/$' | grep -Ev "^($2)\$" || true)
  [[ -z $extra ]] || fail "$1 holds what it should not: $extra"
}
lib=/usr/lib/$multiarch
doc=/usr/share/doc
expect_only librynfiler0 "$lib/librynfiler\.so\.0(\.1\.0)?|$lib/rynfiler/ui/librynfiler-ui\.so\.0(\.1\.0)?|$lib/rynfiler/librynfiler\.so|$doc/librynfiler0/(changelog\.gz|copyright)|/usr/share/lintian/overrides/librynfiler0"
expect_only librynfiler-dev "/usr/include/rynfiler\.h|$lib/librynfiler\.so|$lib/pkgconfig/rynfiler\.pc|$lib/cmake/RynFiler/[A-Za-z-]+\.cmake|$doc/librynfiler-dev/(changelog\.gz|copyright)"
expect_only rynfiler-engines "$lib/rynfiler/librynfiler_(csv|sqlite|odbc|xlsx)\.so|$doc/rynfiler-engines/(changelog\.gz|copyright)|/usr/share/lintian/overrides/rynfiler-engines"
expect_only rynfiler-gtk "$lib/rynfiler/ui/librynfiler-ui-gtk\.so|$doc/rynfiler-gtk/(changelog\.gz|copyright)|/usr/share/lintian/overrides/rynfiler-gtk"
expect_only rynfiler-tools "/usr/bin/ryn|/usr/share/man/man1/ryn\.1\.gz|$doc/rynfiler-tools/(changelog\.gz|copyright|README\.md\.gz|examples/[a-z_]+\.(csv|map|sql|options))"
# Only the GTK backend pulls in GTK; the library takes ldconfig by trigger, not by script.
for p in librynfiler0 librynfiler-dev rynfiler-engines rynfiler-tools; do
  dpkg-deb -f "$(deb "$p")" Depends | grep -q gtk && fail "$p depends on GTK: $(dpkg-deb -f "$(deb "$p")" Depends)"
done
dpkg-deb -f "$(deb rynfiler-gtk)" Depends | grep -q 'libgtk-3-0' || fail "rynfiler-gtk does not depend on GTK"
dpkg-deb -e "$(deb librynfiler0)" "$work/control"
grep -qx 'activate-noawait ldconfig' "$work/control/triggers" || fail "librynfiler0 has no ldconfig trigger"
[[ ! -e $work/control/postinst ]] || ! grep -q ldconfig "$work/control/postinst" || fail "librynfiler0 calls ldconfig"
# Every exported function of the library is in the symbols file, and nothing else of it.
exported=$(grep -oE '\b[A-Z][A-Za-z]+\b' src/boundary/exports.map | sort)
listed=$(sed -n 's/^ \([A-Za-z]*\)@Base .*/\1/p' "$work/control/symbols" | sort)
[[ $exported == "$listed" ]] || fail "symbols of librynfiler.so.0: $(diff <(echo "$exported") <(echo "$listed") | grep '^[<>]' | tr '\n' ' ')"
# Stripped, with the debug information in -dbgsym packages.
ls "$out"/librynfiler0-dbgsym_*.deb "$out"/rynfiler-tools-dbgsym_*.deb >/dev/null 2>&1 || fail "no -dbgsym packages"

echo "== the packages unpacked into a temporary root =="
root=$work/root
for p in librynfiler0 librynfiler-dev rynfiler-engines rynfiler-gtk rynfiler-tools; do dpkg -x "$(deb "$p")" "$root"; done
file -L "$root/usr/bin/ryn" "$root$lib/librynfiler.so.0" | grep -v ', stripped$' && fail "unstripped binaries"
bash tests/consumer/consumer_test.sh --root "$root" || fail "consumer test on the unpacked packages"

# The README's transfer example on the installed sample, its file checked against Python's
# own reading of the sample CSV.
export LD_LIBRARY_PATH=$root$lib RYNFILER_CODEPAGE=GBK
cp -r "$root$doc/rynfiler-tools/examples" "$work/sample"
(
  cd "$work/sample"
  ryn=$root/usr/bin/ryn
  src_args=(--from CSV文件 --from-options-file csv_source.options --script report_sample.map)
  "$ryn" transfer "${src_args[@]}" --to Ryn文件 --to-options-file ryn_export.options --dry-run --head 3 >dry.txt
  status=0
  "$ryn" transfer "${src_args[@]}" --to Ryn文件 --to-options-file ryn_export.options --rejects rejects.csv --quiet \
    >summary.txt || status=$?
  [[ $status == 0 || $status == 3 ]] || { echo "ryn transfer exited $status"; exit 1; }
  python3 - <<'EOF'
import csv
with open("report_sample.csv", encoding="utf-8", newline="") as f:
    rows = list(csv.reader(f))[1:]
kept = [r for r in rows if float(r[6] or 0) > 0]
data = open("report_sample.ryn", "rb").read().decode("gbk").split("\r\n")
assert data[-1] == "@@", "the file does not end with its end marker"
records = [line.split("\t") for line in data[1:-1]]
summary = open("summary.txt", encoding="utf-8").read().split()
assert summary[0] == str(len(rows)) and summary[2] == str(len(records)), (summary, len(rows), len(records))
rejected = int(summary[6])
assert len(records) + rejected == len(kept), (len(records), rejected, len(kept))
by_code = {r[0].strip(): r for r in kept}
for rec in records:
    row = by_code[rec[4]]
    assert rec[:4] == ["D00000", "2024", "N", "1"], rec[:4]
    assert rec[5] == row[2].strip() + "-" + row[1].strip(), (rec[5], row)
    assert rec[8] == row[6], (rec[8], row[6])
print(f"transfer example: {len(records)} of {len(rows)} records written, as Python's csv reads them")
EOF
) || fail "the README's transfer example on the installed sample"
unset LD_LIBRARY_PATH

echo "== dpkg-shlibdeps on a host linked with -lrynfiler =="
# A source package of somebody else's whose binary package holds the host; librynfiler0's
# tree with its control files stands for the installed package.
mkdir -p "$work/shlibs/debian/consumer/usr/bin" "$work/shlibs/debian/consumer/DEBIAN" "$work/shlibs/built/DEBIAN"
printf 'Source: consumer\n\nPackage: consumer\nArchitecture: any\n' >"$work/shlibs/debian/control"
dpkg -x "$(deb librynfiler0)" "$work/shlibs/built"
cp "$work/control/symbols" "$work/control/shlibs" "$work/shlibs/built/DEBIAN/"
cc -o "$work/shlibs/debian/consumer/usr/bin/host" tests/consumer/host.c -I"$root/usr/include" -L"$root$lib" -lrynfiler
deps=$(cd "$work/shlibs" && dpkg-shlibdeps -O -Sbuilt debian/consumer/usr/bin/host 2>&1) || true
echo "$deps"
grep -qE 'shlibs:Depends=.*librynfiler0 \(>= [0-9.]+\)' <<<"$deps" || fail "dpkg-shlibdeps did not resolve librynfiler0"

echo "== cmake --install, then an uninstall by install_manifest.txt =="
obj=$(find "$copy" -maxdepth 1 -type d -name 'obj-*' | head -n 1)
prefix=$work/prefix
cmake --install "$obj" --prefix "$prefix" >/dev/null
manifest=$obj/install_manifest.txt
grep -qx "$prefix/lib/$multiarch/rynfiler/librynfiler.so" "$manifest" || fail "the manifest lacks the engine folder's link"
# The manifest ends without a line end.
while IFS= read -r f || [[ -n $f ]]; do rm -f -- "$f"; done <"$manifest"
left=$(find "$prefix" ! -type d)
[[ -z $left ]] || fail "left after removing every file of the manifest: $left"

if ((failures > 0)); then
  echo "package test: $failures failed"
  exit 1
fi
echo "package test passed"
