#!/usr/bin/env bash
# Installs the Debian packages the build and tests need, when any is missing,
# and the glTF validator the export tests run (under build/node).
# Wine runs the Windows DLL's tests; it needs the i386 architecture enabled and
# none of its recommended extras (fonts, media codecs), which only cost time.
set -euo pipefail
packages=(cmake ninja-build g++ g++-multilib g++-mingw-w64-i686 binutils-mingw-w64-i686
          libgtest-dev googletest libstb-dev clang libclang-rt-14-dev clang-format
          python3 libcli11-dev libtinygltf-dev nlohmann-json3-dev assimp-utils nodejs)
# The real host's programs also draw (Direct3D through Wine needs the 32-bit
# OpenGL drivers) on a virtual display, and its tests read their screenshots.
wine_packages=(wine wine32:i386 libgl1-mesa-dri:i386 libglx-mesa0:i386)
packages+=(xvfb xauth imagemagick tesseract-ocr tesseract-ocr-eng)
missing=()
wine_missing=()
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
for p in "${packages[@]}"; do installed "$p" || missing+=("$p"); done
for p in "${wine_packages[@]}"; do installed "$p" || wine_missing+=("$p"); done
# Some Node.js builds bring npm along; Debian's own Node.js needs its npm package.
command -v npm >/dev/null 2>&1 || missing+=(npm)
if [ ${#missing[@]} -gt 0 ] || [ ${#wine_missing[@]} -gt 0 ]; then
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
fi

# The Khronos glTF validator for the export tests, kept in the build folder
# (never committed), pinned so that every machine checks against the same rules.
validator_version=2.0.0-dev.3.10
node_dir="$(dirname "$0")/../build/node"
if ! grep -qs "\"version\": \"$validator_version\"" "$node_dir/node_modules/gltf-validator/package.json"; then
    echo "Installing gltf-validator $validator_version into build/node"
    mkdir -p "$node_dir"
    npm install --silent --no-audit --no-fund --prefix "$node_dir" "gltf-validator@$validator_version"
fi
