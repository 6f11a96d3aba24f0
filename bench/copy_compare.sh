#!/usr/bin/env bash
# Runs copy_compare_bench: kq's copy and move next to cp, mv and mc, the programs alternating,
# kq and mc in pseudo-terminals with fresh settings folders. Writes a 1 GiB file and 10,000
# small ones under /tmp (needs about 3 GiB free there: the data and one copy at a time) and
# mounts a 2 GiB tmpfs for the move across file systems (as root only; otherwise the move is
# left out). Removes the data and unmounts the tmpfs at the end. Builds nothing.
#   bench/copy_compare.sh [BUILD_DIR] [RUNS]
# BUILD_DIR defaults to build; it must hold src/kq, lang/LngEng.dll (kq's dialogs come from it)
# and bench/copy_compare_bench. RUNS defaults to 5 runs of each program per figure.
set -euo pipefail
source "$(dirname "$0")/require.sh"

build_dir=${1:-build}
runs=${2:-5}
kq=$build_dir/src/kq
bench=$build_dir/bench/copy_compare_bench
require_built "kq, lang_english and copy_compare_bench" "$kq" "$bench" "$build_dir/lang/LngEng.dll"
require_programs "apt-get install -y coreutils mount" cp mv sync mount umount
require_programs "apt-get install -y mc" mc
free_kib=$(df -Pk /tmp | awk 'NR == 2 { print $4 }')
if (( free_kib < 4 * 1024 * 1024 )); then
  echo "/tmp has less than 4 GiB free" >&2
  exit 1
fi

# The tmpfs the move starts from; it goes again however the bench ends.
ram_options=()
ram_dir=
if (( $(id -u) == 0 )); then
  ram_dir=$(mktemp -d /tmp/kq-copy-bench-ram-XXXXXX)
  cleanup() {
    if mountpoint -q "$ram_dir"; then umount "$ram_dir"; fi
    rmdir "$ram_dir"
  }
  trap cleanup EXIT
  mount -t tmpfs -o size=2g,mode=0755 kq-copy-bench "$ram_dir"
  ram_options=(--ram "$ram_dir")
else
  echo "not root: the move from a tmpfs is left out" >&2
fi

echo "machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg); kq built" \
  "$(date -u -r "$kq" '+%Y-%m-%d %H:%M UTC'); $(cp --version | head -n 1);" \
  "$(mc --version | head -n 1); /tmp on $(df -PT /tmp | awk 'NR == 2 { print $2 }')"
"$bench" --runs "$runs" "${ram_options[@]}" "$kq"
echo "load afterwards $(cut -d' ' -f1-3 /proc/loadavg)"
