#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, only those that are missing.
set -euo pipefail

packages=(cmake ninja-build g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev libsqlite3-dev libcsv-dev sqlite3
          clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
