#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
# As root it runs apt-get; otherwise it prints the exact command to run and stops.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev libsqlcipher-dev sqlcipher libgtest-dev libgmock-dev
          libbenchmark-dev fonts-thai-tlwg libgl-dev mdbtools-dev mdbtools)
if [[ "${1:-}" == "--with-display-tools" ]]; then
    packages+=(xvfb xauth)
fi
if [[ "${1:-}" == "--with-trace-tools" ]]; then
    packages+=(strace)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

command="apt-get update && DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends ${missing[*]}"
if [[ $(id -u) -ne 0 ]]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Run as root:  $command" >&2
    exit 1
fi
echo "Installing: ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
