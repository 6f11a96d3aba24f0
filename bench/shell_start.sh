#!/usr/bin/env bash
# Runs shell_start_bench: the real kq program started in a directory of 100,000 empty files
# (and in an empty one, for the memory per entry), next to `ls -l`; cursor steps and pages in
# that directory; and kq measuring a tree of 100,000 files (Ctrl+Q) next to `du -s`. Builds
# nothing.
#   bench/shell_start.sh [BUILD_DIR] [RUNS]
# BUILD_DIR defaults to /work/main/build-bench; it must hold src/kq and bench/shell_start_bench.
set -euo pipefail

build_dir=${1:-/work/main/build-bench}
runs=${2:-5}
big_dir=/tmp/kq-bench-100k
empty_dir=/tmp/kq-bench-empty
tree_parent=/tmp/kq-bench-tree
tree_dir=$tree_parent/tree
count=100000

kq=$build_dir/src/kq
bench=$build_dir/bench/shell_start_bench
for program in "$kq" "$bench"; do
  if [[ ! -x $program ]]; then
    echo "missing $program: build the targets kq and shell_start_bench first" >&2
    exit 1
  fi
done

# The files f000000 ... f099999, created once and reused.
existing=0
if [[ -d $big_dir ]]; then
  existing=$(find "$big_dir" -mindepth 1 -maxdepth 1 -name 'f[0-9][0-9][0-9][0-9][0-9][0-9]' | wc -l)
fi
if [[ $existing -ne $count ]]; then
  echo "creating $count files in $big_dir ..."
  rm -rf "$big_dir"
  mkdir -p "$big_dir"
  python3 -c '
import os, sys
d, n = sys.argv[1], int(sys.argv[2])
for i in range(n):
    os.close(os.open(os.path.join(d, "f%06d" % i), os.O_CREAT | os.O_WRONLY, 0o644))
' "$big_dir" "$count"
fi
rm -rf "$empty_dir"
mkdir -p "$empty_dir"

# A tree of 100 directories of 1,000 files of 1 KiB each, alone in its parent directory.
if [[ $(find "$tree_dir" -type f 2>/dev/null | wc -l) -ne $count ]]; then
  echo "creating a tree of $count files in $tree_dir ..."
  rm -rf "$tree_parent"
  mkdir -p "$tree_dir"
  python3 -c '
import os, sys
d, n = sys.argv[1], int(sys.argv[2])
block = b"x" * 1024
for i in range(n):
    sub = os.path.join(d, "d%03d" % (i // 1000))
    if i % 1000 == 0:
        os.mkdir(sub)
    with open(os.path.join(sub, "f%06d" % i), "wb") as f:
        f.write(block)
' "$tree_dir" "$count"
fi

echo "machine: $(nproc) cores, $(uname -r); kq built $(date -u -r "$kq" '+%Y-%m-%d %H:%M UTC')"
"$bench" --empty "$empty_dir" --count "$tree_dir" "$kq" "$big_dir" "$runs"
