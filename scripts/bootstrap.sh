#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine (run as root).
# Idempotent: does nothing when everything is there.
set -euo pipefail

native_pkgs=(
  build-essential cmake ninja-build pkg-config git
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev clang-format
  libfreetype-dev libpng-dev zlib1g-dev fonts-dejavu-core python3 python3-pil
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  xvfb xauth x11-utils imagemagick xdotool procps util-linux
  libx11-dev libxext-dev dpkg-dev file
)
wine_pkgs=(wine wine32:i386)

missing=()
for p in "${native_pkgs[@]}" "${wine_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "bootstrap: all packages present"
  exit 0
fi

if [ "$(id -u)" != 0 ]; then
  echo "bootstrap: missing packages (${missing[*]}); run as root" >&2
  exit 1
fi

echo "bootstrap: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# 32-bit Windows programs need Wine's 32-bit loader, which needs the i386 architecture.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q
apt-get install -y -q "${missing[@]}"
# The mingw-w64 compilers come in win32- and posix-thread flavours; we call the posix
# ones by name, so no alternatives need switching.
command -v i686-w64-mingw32-g++-posix >/dev/null
echo "bootstrap: done"
