#!/usr/bin/env bash
# Builds every release artefact into build/release/, with their SHA-256 sums in SHA256SUMS:
#   vorlex-VERSION-setup.exe    Windows installer (NSIS, 32-bit)
#   vorlex-VERSION-win32.zip    vorlex.scr, glyph2.ani, licences and README.txt, to install by hand
#   vorlex_VERSION_amd64.deb    the Linux program (CPack's Debian package, preset native-release)
#   vorlex-VERSION-src.tar.gz   the sources of the commit built
# VERSION is project(vorlex VERSION ...) in CMakeLists.txt. Logs: build/release-*.log.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/bootstrap.sh
jobs=${JOBS:-2}
out=build/release
mkdir -p build
rm -rf "$out"
mkdir -p "$out"

run() {  # LOGNAME COMMAND...
  local log=build/release-$1.log
  shift
  echo "+ $*" >>"$log"
  if ! "$@" >>"$log" 2>&1; then
    tail -30 "$log" >&2
    echo "release: failed: $* (log: $log)" >&2
    exit 1
  fi
}
rm -f build/release-*.log

echo "=== windows: module, installer and zip"
run windows cmake --preset windows
run windows cmake --build --preset windows -j"$jobs" --target vorlex_packages
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/windows/CMakeCache.txt)
[ -n "$version" ] || { echo "release: no project version in build/windows/CMakeCache.txt" >&2; exit 1; }
cp "build/windows/packages/vorlex-$version-setup.exe" "build/windows/packages/vorlex-$version-win32.zip" "$out/"

echo "=== linux: Debian package"
run linux cmake --preset native-release
run linux cmake --build --preset native-release -j"$jobs"
missing=()
if cpack --list-presets 2>/dev/null | grep -q '"deb"'; then
  run linux cpack --preset deb
  cp "build/native-release/vorlex_${version}_amd64.deb" "$out/"
else
  missing+=("vorlex_${version}_amd64.deb (no cpack preset \"deb\" in CMakePresets.json)")
fi

echo "=== sources"
if git rev-parse --verify -q HEAD >/dev/null; then
  git archive --format=tar.gz --prefix="vorlex-$version/" -o "$out/vorlex-$version-src.tar.gz" HEAD
  [ -z "$(git status --porcelain --untracked-files=no)" ] ||
    echo "release: note: uncommitted changes are built into the binaries but not in the source archive"
else
  missing+=("vorlex-$version-src.tar.gz (not a git checkout)")
fi

(cd "$out" && sha256sum -- * >SHA256SUMS)
echo "=== $out (version $version)"
(cd "$out" && stat -c '%8s  %n' -- *)
if [ ${#missing[@]} -gt 0 ]; then
  printf 'release: MISSING %s\n' "${missing[@]}" >&2
  exit 1
fi
