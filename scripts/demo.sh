#!/usr/bin/env bash
# Shows the plug-in at work: loads the bundled sample map through
# dist/linux-i386/KEPImport.so beside the stand-in host, prints what it holds
# and draws a picture of it into out/demo.png. Run `make demo`.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${KEP_BUILD_DIR:-build/linux-i386}
plugin=${KEP_PLUGIN:-dist/linux-i386/KEPImport.so}
map=${KEP_MAP:-examples/sample/sample.kep}
picture=${KEP_PICTURE:-out/demo.png}
demo="$build/tools/kep_demo"

if [ ! -x "$demo" ] || [ ! -f "$plugin" ]; then
    echo "The demo needs the Linux build first: make linux" >&2
    exit 1
fi
mkdir -p "$(dirname "$picture")"

# The plug-in finds the stand-in host under the name of the host's core module.
LD_LIBRARY_PATH="$build/simhost${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" exec "$demo" "$plugin" "$map" "$picture"
