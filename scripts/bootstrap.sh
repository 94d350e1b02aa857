#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian 12 machine (run as root).
# Idempotent: does nothing when everything is there.
#   --linux   only what the Linux program vorlex, its package and its tests need
set -euo pipefail

# What the Linux program vorlex, its package and its tests need (--linux: only these).
linux_pkgs=(
  build-essential cmake ninja-build pkg-config libgtest-dev libgmock-dev libbenchmark-dev
  libfreetype-dev libpng-dev zlib1g-dev fonts-dejavu-core python3 python3-pil
  xvfb xauth xfonts-base x11-utils imagemagick xdotool procps util-linux libx11-dev libxext-dev dpkg-dev file lintian
)
native_pkgs=(
  "${linux_pkgs[@]}" git googletest
  clang libclang-rt-14-dev clang-format
  g++-mingw-w64-i686 binutils-mingw-w64-i686
  nsis icoutils zip  # Windows installer and zip; wrestool reads the version record
  xserver-xephyr     # two monitors for Wine
)
# Wine runs the x86_64 build everywhere; where the kernel executes 32-bit programs, Wine's 32-bit
# half (wine32:i386) comes too, so the tests also run the i686 product. Elsewhere wine32 cannot
# start and would shadow the 64-bit loader, so it is kept out.
wine_pkgs=(wine wine64 fonts-wine g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)  # fonts: the dialog's size
linux_only=0
if [ "${1:-}" = --linux ]; then
  linux_only=1
  native_pkgs=("${linux_pkgs[@]}")
  wine_pkgs=()
fi

# A 91-byte i386 ELF that only calls exit(0): whether this kernel runs 32-bit programs at all.
runs_32bit() {
  local probe
  probe=$(mktemp)
  printf '\x7fELF\x01\x01\x01\0\0\0\0\0\0\0\0\0\x02\0\x03\0\x01\0\0\0\x54\x80\x04\x08\x34\0\0\0' >"$probe"
  printf '\0\0\0\0\0\0\0\0\x34\0\x20\0\x01\0\0\0\0\0\0\0\x01\0\0\0\0\0\0\0\0\x80\x04\x08' >>"$probe"
  printf '\0\x80\x04\x08\x5b\0\0\0\x5b\0\0\0\x05\0\0\0\0\x10\0\0\x31\xdb\x31\xc0\x40\xcd\x80' >>"$probe"
  chmod +x "$probe"
  local rc=0
  "$probe" 2>/dev/null || rc=1
  rm -f "$probe"
  return $rc
}

missing=()
add_i386=0
if [ "$linux_only" = 1 ]; then
  :  # no Wine at all
elif runs_32bit; then
  dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1
  wine_pkgs+=(wine32:i386)
elif dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q 'install ok installed'; then
  [ "$(id -u)" = 0 ] || { echo "bootstrap: wine32 cannot run here and hides wine64; run as root" >&2; exit 1; }
  echo "bootstrap: removing wine32 (this machine cannot execute 32-bit programs)"
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -q wine32:i386
fi
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
[ "$add_i386" = 0 ] || dpkg --add-architecture i386
# The package lists of the first half (--linux) serve the second, unless i386 was just added.
if [ "$add_i386" = 1 ] || [ -z "$(find /var/lib/apt/lists -maxdepth 1 -name '*_Packages' -mmin -120)" ]; then
  apt-get update -q
fi
# Recommended packages (desktop services, codecs, drivers) are a third of the lot and unused; the
# packages here name what is needed. No fsync per file: a failed install is simply run again.
apt-get install -y -q --no-install-recommends -o Dpkg::Options::=--force-unsafe-io "${missing[@]}"
# The mingw-w64 compilers come in win32- and posix-thread flavours; we call the posix
# ones by name, so no alternatives need switching.
[ ${#wine_pkgs[@]} -eq 0 ] || command -v i686-w64-mingw32-g++-posix >/dev/null
[ ${#wine_pkgs[@]} -eq 0 ] || command -v x86_64-w64-mingw32-g++-posix >/dev/null
echo "bootstrap: done"
