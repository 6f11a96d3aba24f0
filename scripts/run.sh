#!/usr/bin/env bash
# Installs what is missing, builds, and starts kq in this terminal. Arguments go to kq.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/build.sh" >&2
exec "$root/build/src/kq" "$@"
