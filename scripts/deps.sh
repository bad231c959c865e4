#!/usr/bin/env bash
# Installs the Debian packages that building, running, packaging (cpack -G DEB needs file and
# dpkg-dev) and testing Thinwick need, when missing; packages named as arguments are added to them.
set -euo pipefail
packages=(g++ cmake ninja-build qt6-base-dev qt6-qpa-plugins qt6-image-formats-plugins
  fonts-liberation fonts-dejavu-core locales file dpkg-dev "$@")
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=()
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null; then
    # Two lines: what is wrong and what to do, then the command to copy.
    echo "Debian packages are missing, and installing them needs root: run as root, or install" \
      "sudo, or install them as root with this command and run again:" >&2
    echo "apt-get update && apt-get install -y --no-install-recommends ${missing[*]}" >&2
    exit 1
  fi
  sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -q
"${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
  "${missing[@]}"
