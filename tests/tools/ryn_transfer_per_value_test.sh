#!/usr/bin/env bash
# `ryn transfer` from a CSV file into the exchange file with libraries that lack the
# optional record exports (EngineGetRecordTexts, EngineMoveNextRecord, EnginePostRecordTexts), each on its own
# and both, against the libraries that have them: every run must write the file Python's
# csv module says it holds, byte for byte, and the per-value libraries must really lack
# the exports. Values cross the proxies' first buffer (512 bytes), hold quotes, blanks,
# line breaks and Chinese text; with and without a filter and a computed mapping.
# Arguments: ryn, the engine folder, the per-value librynfiler.so and CSV library.
set -u
ryn=$(realpath "$1")
engines=$(realpath "$2")
plain_dest=$(realpath "$3")
plain_csv=$(realpath "$4")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
codepage=${RYNFILER_CODEPAGE:-GBK}
fail() {
  failures=$((failures + 1))
  printf 'FAIL: %s\n' "$*"
}

for lib in "$plain_dest" "$plain_csv"; do
  if nm -D --defined-only "$lib" | grep -qE ' (EngineGetRecordTexts|EngineMoveNextRecord|EnginePostRecordTexts)$'; then
    fail "$lib exports a record function"
  fi
done
for lib in "$engines/librynfiler.so" "$engines/librynfiler_csv.so"; do
  [[ $(nm -D --defined-only "$lib" | grep -cE ' (EngineGetRecordTexts|EngineMoveNextRecord|EnginePostRecordTexts)$') == 3 ]] ||
    fail "$lib lacks the record functions"
done

# Four engine folders: both libraries with the record exports, either one without, both without.
mkdir -p "$work/both" "$work/csv_only" "$work/dest_only" "$work/none"
ln -s "$engines/librynfiler.so" "$work/both/librynfiler.so"
ln -s "$engines/librynfiler_csv.so" "$work/both/librynfiler_csv.so"
ln -s "$engines/librynfiler_csv.so" "$work/csv_only/librynfiler_csv.so"
ln -s "$plain_dest" "$work/csv_only/librynfiler.so"
ln -s "$engines/librynfiler.so" "$work/dest_only/librynfiler.so"
ln -s "$plain_csv" "$work/dest_only/librynfiler_csv.so"
ln -s "$plain_dest" "$work/none/librynfiler.so"
ln -s "$plain_csv" "$work/none/librynfiler_csv.so"

# The source, and the exchange files it must give: the plain copy of every column, and a
# filtered run whose column 2 is computed (its first three bytes; the notes are ASCII).
python3 - "$work" "$codepage" <<'PY'
import csv, io, sys
work, codepage = sys.argv[1], sys.argv[2]
rows = [["code", "name", "note", "amount"]]
for r in range(3000):
    name = f"单位{r}" if r % 7 else f'"引号{r}", 逗号'
    note = "" if r % 5 == 0 else ("x" * (700 + r % 50) if r % 97 == 0 else f"a b\tc{r}" if r % 11 == 0 else f"line\r\nbreak{r}" if r % 13 == 0 else f"n{r}")
    rows.append([f"{r:06d}", name, note, f"{r * 1.25:.2f}" if r % 3 else ""])
with open(f"{work}/in.csv", "w", newline="", encoding="utf-8") as f:
    csv.writer(f, lineterminator="\r\n").writerows(rows)

def field(v):
    if any(c in v for c in '\t "\r\n'):
        return '"' + v.replace('"', '"""') + '"'
    return v

def exchange(names, records):
    lines = ["\t".join(names)] + ["\t".join(["0001", "2023", "Y", "12"] + [field(v) for v in rec]) for rec in records]
    return ("\r\n".join(lines) + "\r\n@@").encode(codepage)

data = list(csv.reader(open(f"{work}/in.csv", newline="", encoding="utf-8")))[1:]
with open(f"{work}/copy.expected", "wb") as f:
    f.write(exchange(["H0", "H1", "H2", "H3"], data))
with open(f"{work}/computed.expected", "wb") as f:
    f.write(exchange(["H0", "H1", "H2", "H3"], [[r[0], r[1], r[2][:3], r[3]] for r in data if r[3] != ""]))
with open(f"{work}/permuted.expected", "wb") as f:
    f.write(exchange(["H0", "H1", "H2", "H3"], [[r[3], r[1], r[1], r[0]] for r in data]))
PY

to_options() {
  printf '单位标识=0001;\r\n年度=2023;\r\n报表类型=Y;\r\n时期=12;\r\n文件名=%s;\r\n数据类型=0;\r\n选择列={\r\n\tH0=f0\r\n\tH1=f1\r\n\tH2=f2\r\n\tH3=f3\r\n}' "$1"
}

for folder in both csv_only dest_only none; do
  for run in copy computed permuted; do
    out="$work/$folder.$run.ryn"
    to_options "$out" >"$work/to.txt"
    if [[ $run == copy ]]; then
      maps=(--map "Export(0)=Import(0)" --map "Export(1)=Import(1)" --map "Export(2)=Import(2)" --map "Export(3)=Import(3)")
    elif [[ $run == permuted ]]; then
      # Copies in no order, one source field read twice.
      maps=(--map "Export(2)=Import(1)" --map "Export(0)=Import(3)" --map "Export(3)=Import(0)" --map "Export(1)=Import(1)")
    else
      maps=(--map "Export(0)=Import(0)" --map "Export(1)=Import(1)" --map 'Export(2)=L$(Import(2),3)'
            --map "Export(3)=Import(3)" --filter 'Import(3)<>""')
    fi
    "$ryn" transfer --dir "$work/$folder" --from CSV文件 --to Ryn文件 --from-options "文件名=$work/in.csv" \
      --to-options-file "$work/to.txt" "${maps[@]}" --quiet >"$work/summary" 2>"$work/stderr"
    rc=$?
    [[ $rc == 0 ]] || fail "$folder $run: status $rc: $(cat "$work/stderr")"
    cmp -s "$out" "$work/$run.expected" || fail "$folder $run: the file differs from Python's ($(cmp "$out" "$work/$run.expected" 2>&1))"
    # The dry run counts the same values whichever way they are read.
    "$ryn" transfer --dir "$work/$folder" --from CSV文件 --to Ryn文件 --from-options "文件名=$work/in.csv" \
      --to-options-file "$work/to.txt" "${maps[@]}" --quiet --dry-run --head 0 >"$work/$folder.$run.dry" 2>&1 ||
      fail "$folder $run: dry run failed"
  done
done
for run in copy computed permuted; do
  for folder in csv_only dest_only none; do
    cmp -s "$work/both.$run.dry" "$work/$folder.$run.dry" || fail "$folder $run: the dry run's report differs"
  done
done

if ((failures > 0)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all per-value runs as expected"
