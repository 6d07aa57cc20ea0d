#!/usr/bin/env bash
# Sets up what is missing, builds twice (plain, as Release: the build the README installs
# and the Debian packages ship; and with AddressSanitizer + UndefinedBehaviorSanitizer),
# warnings as errors, and runs the whole test suite in both;
# then the thread-sharing suites (and the source libraries) under ThreadSanitizer, and every fuzz target for a short
# while (RYNFILER_FUZZ_SECONDS, 20 by default; 0 skips) when clang's libFuzzer is there;
# then the Debian packages built, checked with lintian and used (scripts/package-test.sh);
# last, the Windows DLL cross-built and its suites run under Wine (scripts/win32-test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-deps.sh

jobs=$(nproc 2>/dev/null || echo 2)
run() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DRYNFILER_WERROR=ON -DRYNFILER_BENCH=ON "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" -j "$jobs" --output-on-failure --timeout 600 --no-tests=error
}

echo "== plain build =="
run build/test -DCMAKE_BUILD_TYPE=Release
echo "== sanitizer build =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  run build/sanitize -DCMAKE_BUILD_TYPE=Debug -DRYNFILER_SANITIZE=ON
echo "== thread sanitizer: the suites that share handles and engines across threads =="
# With debugging information: a race report is read by its source lines.
cmake -S . -B build/tsan -G Ninja -DRYNFILER_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRYNFILER_TSAN=ON
cmake --build build/tsan -j "$jobs" --target boundary_tests libengineport_tests plugins_tests
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/boundary/boundary_tests
TSAN_OPTIONS=halt_on_error=1 build/tsan/tests/libengineport/libengineport_tests
# The source libraries: the CSV library reads ahead on a thread of its own.
(cd build/tsan/tests/plugins && RYNFILER_CODEPAGE=GBK TSAN_OPTIONS=halt_on_error=1 ./plugins_tests)
fuzz_seconds=${RYNFILER_FUZZ_SECONDS:-20}
if [ "$fuzz_seconds" -gt 0 ] && command -v clang++ >/dev/null &&
    echo 'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return 0; }' |
      clang++ -x c++ -fsanitize=fuzzer,address,undefined -o /dev/null - 2>/dev/null; then
  echo "== fuzz targets, ${fuzz_seconds}s each =="
  RYNFILER_JOBS=$jobs fuzz/run.sh "$fuzz_seconds"
else
  echo "== fuzz targets skipped: no clang with libFuzzer =="
fi
echo "== Debian packages =="
scripts/package-test.sh
# Last, the Windows build under Wine (it says "skipped: ..." when a tool is missing); the
# plain build's example file is there by now for the Windows host's bytes to be compared.
scripts/win32-test.sh
echo "All tests passed."
