#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when any is missing.
# Wine runs the Windows DLL's tests; it needs the i386 architecture enabled and
# none of its recommended extras (fonts, media codecs), which only cost time.
set -euo pipefail
packages=(cmake ninja-build g++ g++-multilib g++-mingw-w64-i686 binutils-mingw-w64-i686
          libgtest-dev googletest libstb-dev clang libclang-rt-14-dev clang-format
          python3)
wine_packages=(wine wine32:i386)
missing=()
wine_missing=()
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${wine_packages[@]}"; do installed "$p" || wine_missing+=("$p"); done
[ ${#missing[@]} -eq 0 ] && [ ${#wine_missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]} ${wine_missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
if [ ${#wine_missing[@]} -gt 0 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
install=($SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq)
[ ${#missing[@]} -eq 0 ] || "${install[@]}" "${missing[@]}"
[ ${#wine_missing[@]} -eq 0 ] || "${install[@]}" --no-install-recommends "${wine_missing[@]}"
