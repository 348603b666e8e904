#!/usr/bin/env bash
# Runs kep.exe against the Linux kep under Wine, then the command lists
# (tests/realhost/*_sequence.txt and tests/programs/outside_host_sequence.txt)
# against the Windows DLL and the Linux build: the MinGW-built command_sequence
# loads dist/windows/KEPImport.dll beside the stand-in host's DLLs
# (build/windows/simhost) as the host loads a plug-in. The Wine prefix lives in
# build/wineprefix and needs no display. Run `make linux windows` first.
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
# A fresh or outdated prefix is set up once here: Wine tells of it on the
# first program's output, which would spoil that program's comparison.
wineboot -u >/dev/null 2>&1 || true
wineserver -w
echo "kep.exe and dist/windows/KEPImport.dll under $(wine --version)"
status=0

# kep.exe must answer as the Linux kep does (output and exit code) for the
# sample map and a map cut short, and export the same .glb; every subcommand
# must answer --help; and on both sides the stand-in host must sit in
# kep-host/, never beside the plug-in.
kep_linux=$root/dist/linux-i386/kep
kep_windows=$root/dist/windows/kep.exe
scratch=$build/kep_exe_scratch
rm -rf "$scratch"
mkdir -p "$scratch"
cp "$root"/examples/sample/* "$scratch/"
head -c 300 "$root/examples/sample/sample.kep" >"$scratch/cut.kep"
cd "$scratch"
passed=0
failed=0
outcome() { # what; the exit code of the check
    if [ "$2" = 0 ]; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        echo "FAILED: $1"
    fi
}
for args in "info sample.kep" "info --json sample.kep" "check sample.kep" "info cut.kep" \
    "check cut.kep"; do
    for side in linux windows; do
        code=0
        if [ $side = linux ]; then
            "$kep_linux" $args >$side.out 2>$side.err || code=$?
        else
            wine "$kep_windows" $args >$side.out 2>$side.err || code=$?
            sed -i 's/\r$//' $side.out $side.err
        fi
        echo "exit $code" >>$side.out
    done
    same=0
    diff linux.out windows.out && diff linux.err windows.err || same=1
    outcome "kep.exe $args answers as kep does" $same
done
# The export is the Linux kep's byte for byte (which the Linux tests run
# through the glTF validator), and a file it writes can be written again.
code=0
"$kep_linux" export sample.kep linux.glb >/dev/null || code=1
wine "$kep_windows" export sample.kep windows.glb >/dev/null || code=1
cmp linux.glb windows.glb || code=1
[ "$(stat -c %A windows.glb | cut -c3)" = w ] || code=1
outcome "kep.exe export writes the .glb kep writes, as a writable file" $code
for command in info check render export; do
    code=0
    wine "$kep_windows" $command --help >help.out 2>&1 || code=$?
    grep -q "MAP" help.out || code=1
    outcome "kep.exe $command --help" $code
done
# Every command of the real-host test's lists, and what no script can do,
# answers from the DLL beside the Windows stand-in host as from the Linux
# plug-in beside the Linux one (and as the list says, where it says).
"$root/build/linux-i386/tests/command_sequence" files commands "$root/examples/sample"
for sequence in "$root"/tests/realhost/{command,expected}_sequence.txt \
    "$root/tests/programs/outside_host_sequence.txt"; do
    code=0
    (cd commands && LD_LIBRARY_PATH="$root/build/linux-i386/simhost" \
        "$root/build/linux-i386/tests/command_sequence" run "$sequence" \
        "$root/dist/linux-i386/KEPImport.so" "$root/build/linux-i386/simhost" >../linux.answers &&
        wine "$build/tests/command_sequence.exe" run "$sequence" "$root/dist/windows/KEPImport.dll" \
            "$build/simhost" >../windows.answers) || code=1
    sed -i 's/\r$//' windows.answers
    [ -s linux.answers ] && diff linux.answers windows.answers || code=1
    outcome "every step of $(basename "$sequence") answers from the DLL as from the Linux build" $code
done
code=0
for target in windows linux-i386; do
    [ ! -e "$root/dist/$target/DBProCore.dll" ] && [ -f "$root/dist/$target/kep-host/DBProCore.dll" ] ||
        code=1
done
outcome "the stand-in host is in dist/*/kep-host, never beside the plug-in" $code
echo "$passed passed, $failed failed"
[ $failed = 0 ] || status=1
exit $status
