#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian machine (run as root, or with sudo available).
# Does nothing when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev valgrind python3
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  wine wine64 wine32:i386
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
# Wine runs 32-bit Windows programs through its i386 half.
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
