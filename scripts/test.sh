#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs the whole test suite.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" -DKQ_WERROR=ON
cd "$root/build"
ctest --output-on-failure --timeout 300 -j "$(nproc)"
