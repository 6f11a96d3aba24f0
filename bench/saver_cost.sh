#!/usr/bin/env bash
# Runs saver_cost_bench: the CPU, bytes and frames per second of kq while its screen saver runs
# (started after one second by settings stored in a fresh settings folder) and while it sits
# idle with the saver off, at 80x25 and 200x60, kq in a pseudo-terminal. Builds nothing.
#   bench/saver_cost.sh [BUILD_DIR] [SECONDS] [-- MORE OPTIONS FOR THE BENCH]
# BUILD_DIR defaults to build; it must hold src/kq (its library beside it) and
# bench/saver_cost_bench unless BENCH_BIN names that program elsewhere. SECONDS is the measuring
# window of every case, 10 by default. Options after `--` go to the bench, e.g.
# `-- --runs 3 --size 120x40`.
set -euo pipefail
source "$(dirname "$0")/require.sh"

build_dir=${1:-build}
seconds=${2:-10}
shift $(( $# < 2 ? $# : 2 ))
if [[ ${1:-} == -- ]]; then shift; fi
kq=$build_dir/src/kq
bench=${BENCH_BIN:-$build_dir/bench/saver_cost_bench}
require_built "kq and saver_cost_bench" "$kq" "$bench"

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); kq built" \
  "$(date -u -r "$kq" '+%Y-%m-%d %H:%M UTC')"
"$bench" --seconds "$seconds" "$@" "$kq"
echo "load afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
