#!/usr/bin/env bash
# Shows the plug-in at work: loads dist/linux-i386/KEPImport.so beside the
# stand-in host and prints its version and command table. Run `make demo`.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${KEP_BUILD_DIR:-build/linux-i386}
plugin=${KEP_PLUGIN:-dist/linux-i386/KEPImport.so}
demo="$build/tools/kep_demo"

if [ ! -x "$demo" ] || [ ! -f "$plugin" ]; then
    echo "The demo needs the Linux build first: make linux" >&2
    exit 1
fi

# The plug-in finds the stand-in host under the name of the host's core module.
LD_LIBRARY_PATH="$build/simhost${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" exec "$demo" "$plugin"
