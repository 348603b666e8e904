#!/usr/bin/env bash
# Shows the plug-in at work through the kep tool: prints what the bundled
# sample map holds (kep info), then draws what the host shows into
# out/demo.png (kep render). Run `make demo`.
set -euo pipefail
cd "$(dirname "$0")/.."

kep=${KEP_TOOL:-dist/linux-i386/kep}
map=${KEP_MAP:-examples/sample/sample.kep}
picture=${KEP_PICTURE:-out/demo.png}

if [ ! -x "$kep" ]; then
    echo "The demo needs the Linux build first: make linux" >&2
    exit 1
fi
mkdir -p "$(dirname "$picture")"

echo "\$ kep info $map"
"$kep" info "$map"
echo
echo "\$ kep render $map $picture --view player"
"$kep" render "$map" "$picture" --view player
