#!/usr/bin/env bash
# Runs delete_compare_bench: kq's F8 on a tree of 100,000 empty files in 100 directories next
# to `rm -rf` and mc's F8, the programs alternating, kq and mc in pseudo-terminals with fresh
# settings folders. Writes the tree under /tmp anew (and syncs) before every run, and removes
# it at the end. Builds nothing.
#   bench/delete_compare.sh [BUILD_DIR] [RUNS] [-- MORE OPTIONS FOR THE BENCH]
# BUILD_DIR defaults to build; it must hold src/kq and lang/LngEng.dll (kq's dialogs come from
# it), and bench/delete_compare_bench unless BENCH_BIN names that program elsewhere. RUNS
# defaults to 5 rounds. Options after `--` go to the bench, e.g. `-- --files 2000 --dirs 10`.
set -euo pipefail
source "$(dirname "$0")/require.sh"

build_dir=${1:-build}
runs=${2:-5}
shift $(( $# < 2 ? $# : 2 ))
if [[ ${1:-} == -- ]]; then shift; fi
kq=$build_dir/src/kq
bench=${BENCH_BIN:-$build_dir/bench/delete_compare_bench}
require_built "kq, lang_english and delete_compare_bench" "$kq" "$bench" "$build_dir/lang/LngEng.dll"
require_programs "apt-get install -y coreutils" rm sync
require_programs "apt-get install -y mc" mc
free_kib=$(df -Pk /tmp | awk 'NR == 2 { print $4 }')
free_inodes=$(df -Pi /tmp | awk 'NR == 2 { print $4 }')
if (( free_kib < 1024 * 1024 )); then
  echo "/tmp has less than 1 GiB free" >&2
  exit 1
fi
if [[ $free_inodes != - ]] && (( free_inodes < 200000 )); then
  echo "/tmp has fewer than 200,000 free inodes" >&2
  exit 1
fi

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); kq built" \
  "$(date -u -r "$kq" '+%Y-%m-%d %H:%M UTC'); $(rm --version | head -n 1);" \
  "$(mc --version | head -n 1); /tmp on $(df -PT /tmp | awk 'NR == 2 { print $2 }')" \
  "($(findmnt -no OPTIONS -T /tmp 2> /dev/null || echo 'options unknown'))"
"$bench" --runs "$runs" "$@" "$kq"
echo "load afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
