#!/usr/bin/env bash
# Installs the Debian packages that building and testing kavelon need, when
# any of them is missing. Run as root (or with sudo) on Debian 12; a machine
# that has them all is left alone, so this is cheap to run before every build.
set -euo pipefail

packages=(
    g++ cmake pkg-config libgtest-dev   # compiler, build, unit tests
    libxml2-utils valgrind clang        # xmllint, memory checks, fuzz targets
    coinor-libcbc-dev coinor-libcgl-dev coinor-libclp-dev coinor-libosi-dev  # integer programs
    libzip-dev libexpat1-dev libxlsxwriter-dev  # .xlsx workbooks in and out
)

missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "=== installing ${missing[*]}"
sudo=()
[ "$(id -u)" -ne 0 ] && sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" > /dev/null
