#!/usr/bin/env bash
# Installs the Debian packages the project needs; silent when all are present.
set -euo pipefail
PACKAGES=(
    cmake make git
    g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    googletest
    wine wine64
    gcab wixl
    xvfb xauth x11-utils imagemagick
    openssl python3 curl
)
missing=()
for package in "${PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}\n' "$package" 2>/dev/null | grep -q '^install ok installed$'; then
        missing+=("$package")
    fi
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "deps: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
