#!/usr/bin/env bash
# Runs view_compare_bench: kq's file viewer next to less and grep, the programs alternating in
# pseudo-terminals with fresh settings folders. Writes a 2 GiB and a 1 GiB text file under /tmp
# (about 3 GiB free space needed) and removes them at the end. Builds nothing.
#   bench/view_compare.sh [BUILD_DIR] [RUNS]
# BUILD_DIR defaults to build; it must hold src/kq, lang/LngEng.dll (kq's dialogs come from it)
# and bench/view_compare_bench. RUNS defaults to 5 runs of each program per figure.
set -euo pipefail
source "$(dirname "$0")/require.sh"

build_dir=${1:-build}
runs=${2:-5}
kq=$build_dir/src/kq
bench=$build_dir/bench/view_compare_bench
require_built "kq, lang_english and view_compare_bench" "$kq" "$bench" "$build_dir/lang/LngEng.dll"
require_programs "apt-get install -y less grep" less grep
free_kib=$(df -Pk /tmp | awk 'NR == 2 { print $4 }')
if (( free_kib < 4 * 1024 * 1024 )); then
  echo "/tmp has less than 4 GiB free" >&2
  exit 1
fi

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); kq built" \
  "$(date -u -r "$kq" '+%Y-%m-%d %H:%M UTC'); $(less --version | head -n 1);" \
  "$(grep --version | head -n 1)"
"$bench" --runs "$runs" --size 80x25 --size 120x40 --bytes-size 120x40 "$kq"
echo "load afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
