#!/usr/bin/env bash
# Builds the libFuzzer targets as the README says and runs each for SECONDS (default 60),
# in a single in-process job (the README's -jobs=1 would add a log file per job), starting from its committed corpus. Exits nonzero when any target
# finds a fault; the input that caused it is left in build-fuzz/findings/<target>/.
#   fuzz/run.sh [SECONDS] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(fuzz_text_reader fuzz_syntax_parser fuzz_options fuzz_ini_store fuzz_csv_source fuzz_xlsx_sheet)

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DRYNFILER_FUZZ=ON -DRYNFILER_TESTS=OFF >/dev/null
cmake --build build-fuzz -j "${RYNFILER_JOBS:-2}" --target "${targets[@]}"

status=0
for t in "${targets[@]}"; do
  # Absolute paths: a target may change its working folder.
  corpus=$PWD/build-fuzz/corpus/$t
  findings=$PWD/build-fuzz/findings/$t
  mkdir -p "$corpus" "$findings"
  echo "== $t: ${seconds}s =="
  # New inputs go to the scratch corpus; the committed seeds are only read.
  if ! ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
      "build-fuzz/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 -artifact_prefix="$findings/" "$corpus" "$PWD/fuzz/corpus/$t" 2>"build-fuzz/$t.log"; then
    echo "FINDING in $t (see build-fuzz/$t.log and $findings/)"
    tail -n 40 "build-fuzz/$t.log"
    status=1
  else
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb" "build-fuzz/$t.log" || true
  fi
done
exit $status
