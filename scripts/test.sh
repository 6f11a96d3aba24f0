#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs the whole test suite; then
# builds the library and the unit tests again with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs those (the end-to-end suites in tmux, the fuzz run and the install check only in the
# normal build).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" -DKQ_WERROR=ON
cd "$root/build"
ctest --output-on-failure --timeout 300 -j "$(nproc)"

cmake -S "$root" -B "$root/build-sanitize" -DCMAKE_BUILD_TYPE=Debug -DKQ_WERROR=ON \
  -DKQ_SANITIZE=ON -DKQ_BUILD_BENCH=OFF
cmake --build "$root/build-sanitize" -j "$(nproc)"
cd "$root/build-sanitize"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure --timeout 300 -j "$(nproc)" \
  -E 'KqTmuxTest|TerminalTmuxTest|TerminalEndingTest|CrashReporterTest|pe_resource_fuzz|install_layout'
