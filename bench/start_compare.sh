#!/usr/bin/env bash
# Runs start_compare_bench: kq and `mc -u` started alternately in an empty directory, in
# pseudo-terminals of 80x25 and 200x60, each with its own fresh settings folders; the time from
# fork/exec to the first complete screen (median, min, max). Builds nothing.
#   bench/start_compare.sh [BUILD_DIR] [RUNS]
# BUILD_DIR defaults to build; it must hold src/kq and bench/start_compare_bench.
set -euo pipefail

build_dir=${1:-build}
runs=${2:-25}
kq=$build_dir/src/kq
bench=$build_dir/bench/start_compare_bench
for program in "$kq" "$bench"; do
  if [[ ! -x $program ]]; then
    echo "missing $program: build the targets kq and start_compare_bench first" >&2
    exit 1
  fi
done
if ! command -v mc > /dev/null; then
  echo "mc is missing: apt-get install -y mc" >&2
  exit 1
fi

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); kq built" \
  "$(date -u -r "$kq" '+%Y-%m-%d %H:%M UTC')"
"$bench" --runs "$runs" --size 80x25 --size 200x60 "$kq"
