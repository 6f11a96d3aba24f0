#!/usr/bin/env bash
# Runs edit_compare_bench: kq's text editor next to vim.tiny and `cp && sync`, the programs
# alternating in pseudo-terminals with fresh settings folders. Writes a 100 MiB text file under
# /tmp (needs about 400 MiB free there, for the file, a saved copy and cp's copy) and removes it
# at the end. Builds nothing.
#   bench/edit_compare.sh [BUILD_DIR] [RUNS]
# BUILD_DIR defaults to build; it must hold src/kq, lang/LngEng.dll (kq's dialogs come from it)
# and bench/edit_compare_bench. RUNS defaults to 5 runs of each program per figure.
set -euo pipefail
source "$(dirname "$0")/require.sh"

build_dir=${1:-build}
runs=${2:-5}
kq=$build_dir/src/kq
bench=$build_dir/bench/edit_compare_bench
require_built "kq, lang_english and edit_compare_bench" "$kq" "$bench" "$build_dir/lang/LngEng.dll"
require_programs "apt-get install -y vim-tiny coreutils" vim.tiny cp sync
free_kib=$(df -Pk /tmp | awk 'NR == 2 { print $4 }')
if (( free_kib < 400 * 1024 )); then
  echo "/tmp has less than 400 MiB free" >&2
  exit 1
fi

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); kq built" \
  "$(date -u -r "$kq" '+%Y-%m-%d %H:%M UTC'); $(vim.tiny --version | head -n 1);" \
  "$(cp --version | head -n 1)"
"$bench" --runs "$runs" --size 80x25 "$kq"
echo "load afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
