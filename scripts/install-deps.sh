#!/usr/bin/env bash
# Installs the Debian packages Pelmo needs to build and test, only those missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libxcb1-dev libarchive-dev liblhasa-dev libdeflate-dev zlib1g-dev libgtest-dev libgmock-dev
          fonts-ipafont-gothic jlha-utils scdoc "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "pelmo: run as root to install ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
