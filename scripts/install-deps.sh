#!/usr/bin/env bash
# Installs the Debian packages kq needs to build and test, when any is missing.
# Runs apt-get as root, or through sudo for another user.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  libsqlite3-dev libvterm-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  tmux
  binutils-mingw-w64-x86-64
  clang libclang-rt-14-dev
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  as_root=()
elif command -v sudo >/dev/null 2>&1; then
  as_root=(sudo)
else
  echo "kq: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${as_root[@]}" apt-get update -q
"${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
