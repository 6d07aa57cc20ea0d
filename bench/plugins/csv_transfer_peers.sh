#!/usr/bin/env bash
# A CSV file of 1,000,000 records and 10 columns into an exchange file by `ryn transfer`
# with 10 plain mappings, against programs doing the same conversion (Python's csv module,
# mawk, gawk, Miller, the sqlite3 shell's .import and tab-separated output), each run
# RUNS times (default 3) in this one run; prints the minimum and the median wall time of
# each, the least CPU time, the ratio of ryn's median to the fastest peer's and, per peer,
# how many times ryn's time it takes. Peers that are not installed
# are skipped (apt-get install gawk miller sqlite3 python3).
# Arguments: the build tree (with bin/ryn and lib/rynfiler). RYNFILER_CODEPAGE is GBK.
set -euo pipefail
build=$(realpath "${1:-build/bench}")
runs=${RUNS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export RYNFILER_CODEPAGE=GBK LC_ALL=C.UTF-8
cd "$work"

# Codes, names with the odd quoted comma, and numbers: ASCII, so that no peer converts text.
mawk 'BEGIN {
  print "code,name,c2,c3,c4,c5,c6,c7,c8,c9"
  for (r = 0; r < 1000000; r++) {
    name = (r % 50 == 0) ? "\"Unit " r ", branch\"" : "Unit" r % 1000
    printf "%06d,%s,%d,%d.%02d,%d,%d.5,%d,%d,%d.25,%d\n", r, name, r * 7 % 100000, r % 9999, r % 100, r % 777,
      r % 12345, r % 31, r * 3 % 1000003, r % 5000, r % 17
  }
}' >in.csv

cols=""
maps=()
for i in 0 1 2 3 4 5 6 7 8 9; do
  cols+="H$i=f$i"$'\r\n'
  maps+=(--map "Export($i)=Import($i)")
done
printf '单位标识=0001;\r\n年度=2023;\r\n报表类型=Y;\r\n时期=12;\r\n文件名=%s/ryn.out;\r\n数据类型=0;\r\n选择列={\r\n\t%s}' \
  "$work" "$cols" >to.txt

cat >peer.py <<'PY'
import csv, sys
with open(sys.argv[1], newline="") as f, open(sys.argv[2], "w", newline="") as out:
    r = csv.reader(f)
    out.write("\t".join("H%d" % i for i in range(10)) + "\r\n")
    next(r)
    for row in r:
        out.write("0001\t2023\tY\t12\t" + "\t".join(row) + "\r\n")
    out.write("@@")
PY
# gawk splits quoted fields with FPAT; mawk has no such thing and splits at every comma
# (it does less than the others: a floor rather than a peer doing the same work).
cat >gawk.awk <<'AWK'
BEGIN { FPAT = "([^,]*)|(\"[^\"]*\")"; OFS = "\t"; ORS = "\r\n"; print "H0","H1","H2","H3","H4","H5","H6","H7","H8","H9" }
NR > 1 { print "0001","2023","Y","12",$1,$2,$3,$4,$5,$6,$7,$8,$9,$10 }
END { ORS = ""; print "@@" }
AWK
sed 's/FPAT = "([^,]*)|(\\"[^\\"]*\\")"; //' gawk.awk >mawk.awk
printf '%s\n' "'$build/bin/ryn' transfer --from CSV文件 --to Ryn文件 --from-options '文件名=$work/in.csv' \\" \
  "  --to-options-file to.txt ${maps[*]@Q} --quiet" >ryn.sh
echo 'python3 peer.py in.csv py.out' >python3.sh
echo 'mawk -F, -f mawk.awk in.csv >mawk.out' >mawk.sh
echo 'gawk -f gawk.awk in.csv >gawk.out' >gawk.sh
echo "mlr --icsv --otsv --ors crlf put '\$*=mapsum({\"u\":\"0001\",\"y\":\"2023\",\"t\":\"Y\",\"p\":\"12\"},\$*)' in.csv >mlr.out" >miller.sh
echo "rm -f t.db && sqlite3 t.db -cmd '.mode csv' -cmd '.import in.csv t' -cmd '.mode tabs' \"SELECT '0001','2023','Y','12',* FROM t\" >sqlite.out" >sqlite3.sh

tool_of() { case $1 in ryn) echo "$build/bin/ryn" ;; miller) echo mlr ;; *) echo "$1" ;; esac; }

# Wall time, and the CPU time (user + system) beside it: on a machine that others share,
# the CPU time is the steadier figure, and the wall time shows what a second core gave.
printf '%-8s %8s %8s %8s\n' program min median cpu-min
declare -A medians cpus
TIMEFORMAT='%R %U %S'
for name in ryn python3 mawk gawk miller sqlite3; do
  if ! command -v "$(tool_of "$name")" >/dev/null; then
    printf '%-8s skipped (not installed)\n' "$name"
    continue
  fi
  times=()
  cpu=()
  for ((i = 0; i < runs; i++)); do
    read -r real user sys < <({ time bash "$name.sh" >/dev/null; } 2>&1)
    times+=("$real")
    cpu+=("$(echo "$user + $sys" | bc)")
  done
  sorted=($(printf '%s\n' "${times[@]}" | sort -n))
  cpus[$name]=$(printf '%s\n' "${cpu[@]}" | sort -n | head -1)
  medians[$name]=${sorted[$((runs / 2))]}
  printf '%-8s %8.3f %8.3f %8.3f\n' "$name" "${sorted[0]}" "${medians[$name]}" "${cpus[$name]}"
done
fastest=""
for name in "${!medians[@]}"; do
  [[ $name == ryn ]] && continue
  if [[ -z $fastest ]] || (($(echo "${medians[$name]} < ${medians[$fastest]}" | bc))); then fastest=$name; fi
done
if [[ -n $fastest && -n ${medians[ryn]:-} ]]; then
  printf 'ryn / fastest peer (%s), medians: %.2f\n' "$fastest" "$(echo "${medians[ryn]} / ${medians[$fastest]}" | bc -l)"
  # How many times ryn's time each peer takes (above 1: ryn is ahead).
  for name in "${!medians[@]}"; do
    [[ $name == ryn ]] && continue
    printf '%-8s / ryn: median %.2f, cpu %.2f\n' "$name" "$(echo "${medians[$name]} / ${medians[ryn]}" | bc -l)" \
      "$(echo "${cpus[$name]} / ${cpus[ryn]}" | bc -l)"
  done
fi
