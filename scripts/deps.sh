#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Thinwick need, when missing;
# packages named as arguments are added to them.
set -euo pipefail
packages=(g++ cmake ninja-build qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins
  fonts-liberation locales "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "${missing[@]}"
