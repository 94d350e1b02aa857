#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine (run as root).
# Idempotent: does nothing when everything is there.
#   --linux   only what the Linux program vorlex, its package and its tests need
set -euo pipefail

# What the Linux program vorlex, its package and its tests need (--linux: only these).
linux_pkgs=(
  build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev libpng-dev zlib1g-dev fonts-dejavu-core python3 python3-pil
  xvfb xauth x11-utils imagemagick xdotool procps util-linux libx11-dev libxext-dev dpkg-dev file lintian
)
native_pkgs=(
  "${linux_pkgs[@]}" git googletest
  clang libclang-rt-14-dev clang-format
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  nsis icoutils zip  # Windows installer and zip; wrestool reads the version record
)
# The tests run the x86_64 build under Wine: some machines cannot execute 32-bit programs,
# so Wine's 32-bit half is neither needed nor wanted (it would shadow the 64-bit loader).
wine_pkgs=(wine wine64 g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
if [ "${1:-}" = --linux ]; then
  native_pkgs=("${linux_pkgs[@]}")
  wine_pkgs=()
fi

missing=()
for p in "${native_pkgs[@]}" "${wine_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed' &&
  ! /usr/lib/wine/wineserver32 --version >/dev/null 2>&1; then
  [ "$(id -u)" = 0 ] || { echo "bootstrap: wine32 cannot run here and hides wine64; run as root" >&2; exit 1; }
  echo "bootstrap: removing wine32 (this machine cannot execute 32-bit programs)"
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -q wine32:i386
fi
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
apt-get update -q
apt-get install -y -q "${missing[@]}"
# The mingw-w64 compilers come in win32- and posix-thread flavours; we call the posix
# ones by name, so no alternatives need switching.
[ ${#wine_pkgs[@]} -eq 0 ] || command -v i686-w64-mingw32-g++-posix >/dev/null
[ ${#wine_pkgs[@]} -eq 0 ] || command -v x86_64-w64-mingw32-g++-posix >/dev/null
echo "bootstrap: done"
