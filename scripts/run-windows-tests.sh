#!/usr/bin/env bash
# Runs the outside-host scenarios against the Windows DLL under Wine: the
# MinGW-built program loads dist/windows/KEPImport.dll beside the stand-in
# host's DLLs (build/windows/simhost) as the host loads a plug-in. The Wine
# prefix lives in build/wineprefix and needs no display. Run `make windows` first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build/windows
if ! command -v wine >/dev/null; then
    echo "wine is not installed: run scripts/install-deps.sh" >&2
    exit 1
fi
export WINEPREFIX=$root/build/wineprefix
export WINEDEBUG=-all                     # Wine's own diagnostics stay out of the output
export WINEDLLOVERRIDES="mscoree,mshtml=" # no offers to install Mono or Gecko
unset DISPLAY WAYLAND_DISPLAY             # nothing here opens a window
mkdir -p "$WINEPREFIX"
echo "Outside-host scenarios against dist/windows/KEPImport.dll under $(wine --version)"
exec wine "$build/tests/outside_host.exe" "$root/dist/windows/KEPImport.dll" "$build/simhost" \
    "$root/examples/sample" "$build/outside_host_scratch"
