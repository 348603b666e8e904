#!/usr/bin/env python3
"""The plug-in in the real host: DarkBASIC Professional's own compiler and
runtime, under Wine on a virtual display (or directly on Windows).

  run-realhost-tests.py            the tests; "N passed, N failed" last
  run-realhost-tests.py --bench    the real-host load benchmark (a table)

The host is found at DBPRO_DIR, else at ../shared/dbpro-host beside the
repository; without one the tests are skipped with a line that says so. The
host folder is never written: a copy of it under build/realhost gets the
release zip unpacked into it, as the release's README tells a user to.
Screenshots and saved pictures stay in build/realhost/screens.

Run `make linux windows package` first (make test-realhost does).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "realhost"))
import realhost as rh  # noqa: E402

LINUX = ROOT / "build" / "linux-i386"
# The stand-in side: on Linux the shared object beside the Linux stand-in host;
# on Windows the DLL itself beside the Windows stand-in host's DLLs.
if rh.ON_WINDOWS:
    SEQUENCE_TOOL = ROOT / "build" / "windows" / "tests" / "command_sequence.exe"
    STAND_IN_PLUGIN = ROOT / "dist" / "windows" / "KEPImport.dll"
    STAND_IN_HOST = ROOT / "build" / "windows" / "simhost"
else:
    SEQUENCE_TOOL = LINUX / "tests" / "command_sequence"
    STAND_IN_PLUGIN = ROOT / "dist" / "linux-i386" / "KEPImport.so"
    STAND_IN_HOST = LINUX / "simhost"
WORK = ROOT / "build" / "realhost"
SCREENS = WORK / "screens"
SAMPLE = ROOT / "examples" / "sample"

# What each example program must show on screen (as OCR reads it), beside a
# picture that is not one flat colour.
EXAMPLE_TEXT = {
    "lightmapped_map": ["Map: KEP sample room", "objects", "lightmaps", "entities"],
    "load_error": ["KEP map importer for DarkBASIC Professional", "Load 1 failed",
                   "Unable to load the file", "Load 2 failed", "Unsupported Version",
                   "KEP SHOW MAP: No current map", "Load 3 worked", "with 3 groups",
                   "Pivot of group", "Press a key"],
    "memblock_load": ["from a memblock", "meshes", "textures"],
    "pivot_door": ["Space opens the lid", "Pivots"],
    "texture_swap": ["Hold Space to swap the floor", "Floor texture"],
}
# Programs that draw the room show far more colours than text on a plain ground.
DRAWS_THE_ROOM = {"lightmapped_map", "memblock_load", "pivot_door", "texture_swap"}


def version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(KEPImport VERSION ([0-9.]+)", text).group(1)


class Results:
    def __init__(self):
        self.passed = 0
        self.failed = 0

    def check(self, name, problems):
        if problems:
            self.failed += 1
            print(f"FAILED {name}: " + "; ".join(problems), flush=True)
        else:
            self.passed += 1
            print(f"ok     {name}", flush=True)


def run_problems(outcome, what):
    problems = [f"{what} showed a message box: {box}" for box in outcome.message_boxes()]
    problems += [f"{what} crashed: {crash}" for crash in outcome.crashes()]
    return problems


def fresh_folder(path: Path, files=()):
    if path.exists():
        shutil.rmtree(path)
    path.mkdir(parents=True)
    for f in files:
        shutil.copy(f, path)
    return path


def sample_files():
    return [p for p in SAMPLE.iterdir() if p.suffix in (".kep", ".bmp")]


def compile_program(host, source, results, name):
    outcome = host.compile(source)
    # Under Wine the compiler faults once it has written the program, whatever
    # the program: only its message boxes and the program count.
    problems = [f"the compiler showed a message box: {box}" for box in outcome.message_boxes()]
    if not outcome.done:
        problems.append("the compiler wrote no program")
    results.check(f"{name} compiles", problems)
    return not problems


def test_examples(host, results):
    examples = sorted((host.install / "Examples" / "KEPImport" / "dbpro").glob("*.dba"))
    if not examples:
        results.check("the release's example programs", ["none unpacked"])
    for source in examples:
        name = source.stem
        if not compile_program(host, source, results, f"example {name}"):
            continue
        shot = SCREENS / f"{name}.png"
        # A busy machine may take longer to start a program: a later
        # screenshot gets a second look before the screen counts as wrong.
        later = [SCREENS / f"{name}-{n}.png" for n in (1, 2)]
        outcome = host.run(source.with_suffix(".exe"), 6, screenshot=shot, later_shots=(4, 4))
        problems = run_problems(outcome, "the program")
        if outcome.ended:
            problems.append("it ended before its screenshot")
        else:
            for picture in [shot] + later:
                shown = screen_problems(name, picture)
                if not shown:
                    if picture != shot:
                        shutil.copyfile(picture, shot)
                    break
            problems += shown
        for picture in later:
            if picture.exists():
                picture.unlink()
        results.check(f"example {name} runs and shows what it is for", problems)


def screen_problems(name, picture):
    if not picture.exists():
        return ["no screenshot"]
    problems = []
    colours = rh.colours(picture)
    least = 1000 if name in DRAWS_THE_ROOM else 2
    if colours < least:
        problems.append(f"the screen shows {colours} colours (at least {least} expected)")
    missing = rh.shows_phrases(rh.screen_text(picture), EXAMPLE_TEXT.get(name, []))
    if missing:
        problems.append("text not on screen: " + ", ".join(missing))
    return problems


def run_both(host, results, folder, sequence, name, seconds):
    """Runs a command list as a program in the real runtime and beside the
    stand-in host, both in copies of `folder`; gives both lists of answers and
    the problems found so far (None when the program did not compile)."""
    runner = SEQUENCE_TOOL
    program = subprocess.run([str(runner), "dba", str(sequence), "answers.txt"],
                             capture_output=True, text=True, check=True).stdout
    (folder / f"{name}.dba").write_text(program)
    if not compile_program(host, folder / f"{name}.dba", results, name):
        return None, None, None
    outcome = host.run(folder / f"{name}.exe", seconds, until_exit=True)
    problems = run_problems(outcome, "the program")
    if not outcome.ended:
        problems.append(f"the program did not end within {seconds} s")
    answers = folder / "answers.txt"
    # Texts that fuzzed maps put into messages are bytes, not UTF-8.
    got = answers.read_bytes().decode("latin-1").splitlines() if answers.exists() else []

    stand_in = WORK / f"{name}-standin"
    if stand_in.exists():
        shutil.rmtree(stand_in)
    shutil.copytree(folder, stand_in, ignore=shutil.ignore_patterns("*.exe", "*.pck", "answers.txt",
                                                                    "Dark Basic*"))
    stand_in_run = subprocess.run(
        [str(runner), "run", str(sequence), str(STAND_IN_PLUGIN), str(STAND_IN_HOST)],
        cwd=stand_in, capture_output=True, encoding="latin-1",
        env=dict(os.environ, LD_LIBRARY_PATH=str(STAND_IN_HOST)))
    expected = stand_in_run.stdout.splitlines()
    (WORK / f"{name}-standin.txt").write_text("\n".join(expected) + "\n", encoding="latin-1")
    if not expected:
        problems.append("the stand-in run gave no answers")
    # Answers that differ from the ones the list writes (the same in both
    # runs, or the comparison below shows them).
    problems += [f"stand-in {line}" for line in stand_in_run.stderr.splitlines()][:10]
    differing = [f"line {i + 1}: real host '{a}', stand-in '{b}'"
                 for i, (a, b) in enumerate(zip(got, expected)) if a != b]
    if len(got) != len(expected):
        differing.append(f"{len(got)} answers from the real host, {len(expected)} from the stand-in")
    problems += differing[:10]
    return got, expected, problems


def test_every_command(host, results):
    """Each command list in its own folder of the files the lists read; the
    stand-in run also checks every answer a list writes after "=>"."""
    for name, listed, what in (("commands", "command", "every command answers"),
                               ("expected", "expected", "commands answer as their list says")):
        folder = fresh_folder(WORK / name)
        subprocess.run([str(SEQUENCE_TOOL), "files", str(folder), str(SAMPLE)], check=True)
        sequence = ROOT / "tests" / "realhost" / f"{listed}_sequence.txt"
        got, expected, problems = run_both(host, results, folder, sequence, name, 60)
        if problems is None:
            continue
        results.check(f"{what} in the real host as beside the stand-in ({len(expected)} answers)",
                      problems)


def test_lightmaps(host, results):
    folder = fresh_folder(WORK / "lightmaps", sample_files())
    shutil.copy(ROOT / "tests" / "realhost" / "lightmap_views.dba", folder)
    if not compile_program(host, folder / "lightmap_views.dba", results, "lightmap views"):
        return
    outcome = host.run(folder / "lightmap_views.exe", 60, until_exit=True)
    problems = run_problems(outcome, "the program")
    report = folder / "lightmap_views.txt"
    lines = report.read_text().splitlines() if report.exists() else []
    for flag in (0, 2):
        if f"flag {flag} load 1 objects 3" not in lines:
            problems.append(f"the load with lightmap flag {flag} did not build 3 objects: {lines}")
    pictures = []
    for flag in (0, 2):
        saved = folder / f"lightmaps_{flag}.bmp"
        if not saved.exists():
            problems.append(f"no picture with lightmap flag {flag}")
            continue
        picture = SCREENS / f"lightmaps_{flag}.png"
        subprocess.run(["convert", str(saved), str(picture)], check=True)
        pictures.append(picture)
        if rh.colours(picture) < 1000:
            problems.append(f"the picture with lightmap flag {flag} is hardly drawn")
    if len(pictures) == 2:
        differing = rh.differing_pixels(*pictures)
        if differing < 640 * 480 // 20:
            problems.append(f"lightmaps change only {differing} pixels")
    results.check("lightmaps off and on look different from the same camera", problems)


def fuzzed_maps(sample: bytes, count: int):
    """Maps made from the sample by cutting, flipping and overwriting bytes
    and counts, the same every run."""
    import random
    import struct
    chance = random.Random(20261207)
    interesting = [0, 1, -1, 0x7FFFFFFF, -0x80000000, 0x10000, 0x1000000, 3, 255]
    maps = []
    for n in range(count):
        data = bytearray(sample)
        kind = n % 4
        if kind == 0:
            data = data[:chance.randrange(8, len(data))]
        elif kind == 1:
            for _ in range(chance.randrange(1, 9)):
                data[chance.randrange(4, len(data))] = chance.randrange(256)
        elif kind == 2:
            at = chance.randrange(1, len(data) // 4) * 4
            data[at:at + 4] = struct.pack("<i", chance.choice(interesting))
        else:
            at = chance.randrange(4, len(data) - 64)
            data[at:at] = data[at:at + chance.randrange(1, 64)]
        maps.append(bytes(data))
    return maps


def test_robustness(host, results):
    """Maps naming files that are no images, a script holding the numbers the
    plug-in used to borrow, initial numbers past the host's ends and a hundred
    fuzzed maps, one after another in one program that must go on."""
    sample = (SAMPLE / "sample.kep").read_bytes()
    floor = (SAMPLE / "floor.bmp").read_bytes()
    folder = fresh_folder(WORK / "robustness", sample_files())
    # Same-length names keep the rest of the map as it was.
    for map_name, texture, content in (("notimage", b"notim.bmp", b"this is no picture\r\n"),
                                       ("header54", b"hdr54.bmp", floor[:54]),
                                       ("halfbitmap", b"halfb.bmp", floor[:len(floor) // 2])):
        (folder / f"{map_name}.kep").write_bytes(sample.replace(b"floor.bmp", texture))
        (folder / texture.decode()).write_bytes(content)
    lines = (ROOT / "tests" / "realhost" / "robustness_sequence.txt").read_text().splitlines()
    for n, data in enumerate(fuzzed_maps(sample, 100)):
        (folder / f"fuzz{n:03}.kep").write_bytes(data)
        lines += [f'LOAD KEP("fuzz{n:03}.kep", 2)', "KEP CLEAR"]
    closing = len(lines)
    lines += ["@memblock-sum 30", "@memblock-sum 31", "@mesh-exists 1",
              'LOAD KEP("sample.kep", 2)', "KEP COUNT(8)"]
    sequence = folder / "robustness_sequence.txt"
    sequence.write_text("\n".join(lines) + "\n")
    got, expected, problems = run_both(host, results, folder, sequence, "robustness", 120)
    if problems is None:
        return
    answers = dict(line.split(" ", 1) for line in got if " " in line)

    def answer(text, start=0):
        number = lines.index(text, start) + 1
        return answers.get(str(number), "(none)")

    def pattern_sum(memblock):
        return sum(((i * 7 + memblock) % 256) * (i + 1) for i in range(100))

    checks = [
        ('LOAD KEP("notimage.kep", 2)', 0, "0 | 0 | Invalid image identifier"),
        # The host makes an image even of a bitmap header without its pixels.
        ('LOAD KEP("header54.kep", 2)', 0, "1 | 1 | "),
        ('LOAD KEP("sample.kep", 2)', 0, "1 | 1 | "),
        ("@memblock-sum 30", closing, f"100 {pattern_sum(30)}"),
        ("@memblock-sum 31", closing, f"100 {pattern_sum(31)}"),
        ("@mesh-exists 1", closing, "1"),
        ('LOAD KEP("sample.kep", 2)', closing, "1 | 1 | "),
        ("KEP COUNT(8)", closing, "3 | 1 | "),
    ]
    for text, start, wanted in checks:
        if answer(text, start) != wanted:
            problems.append(f"{text}: '{answer(text, start)}', expected '{wanted}'")
    results.check(f"broken textures, the script's own numbers and 100 fuzzed maps leave the "
                  f"program running ({len(expected)} answers)", problems)


def run_tests(host):
    results = Results()
    started = time.time()
    test_examples(host, results)
    test_every_command(host, results)
    test_lightmaps(host, results)
    test_robustness(host, results)
    print(f"(real host: {time.time() - started:.0f} s; screenshots in "
          f"{SCREENS.relative_to(ROOT)})")
    print(f"{results.passed} passed, {results.failed} failed")
    return 0 if results.failed == 0 else 1


BENCH_PROGRAM = """open to read 1, "which.txt" : read string 1, m$ : close file 1
t = timer()
ok = LOAD KEP(m$, 2)
t = timer() - t
KEP CLEAR
open to write 2, "took.txt"
write string 2, str$(t) + " " + str$(ok)
close file 2
end
"""


def bench(host, limit):
    folder = WORK / "bench"
    folder.mkdir(parents=True, exist_ok=True)
    maker = LINUX / "tools" / "bench" / "realhost_bench_maps"
    if not (folder / "maps.txt").exists():
        subprocess.run([str(maker), "write", str(folder)], check=True)
    stand_in = {}
    timed = subprocess.run([str(maker), "time", str(ROOT / "dist" / "linux-i386" / "KEPImport.so"),
                            str(folder)], capture_output=True, text=True, check=True,
                           env={"LD_LIBRARY_PATH": str(LINUX / "simhost")})
    for line in timed.stdout.splitlines():
        file, seconds, _ = line.split()
        stand_in[file] = float(seconds)
    (folder / "bench_load.dba").write_text(BENCH_PROGRAM)
    host.compile(folder / "bench_load.dba")
    print(f"{'shape':<15} {'scale':>5} {'triangles':>10} {'map MB':>7} {'real host s':>12} "
          f"{'t/t(1x)':>8} {'stand-in s':>11}")
    first = {}
    for line in (folder / "maps.txt").read_text().splitlines():
        file, shape, scale, triangles, size = line.split("\t")
        (folder / "which.txt").write_text(file + "\r\n")
        took = folder / "took.txt"
        if took.exists():
            took.unlink()
        host.run(folder / "bench_load.exe", limit, until_exit=True)
        real = "> %d" % limit
        ratio = ""
        if took.exists():
            ms, ok = took.read_text().split()
            real = "%.3f" % (int(ms) / 1000) if ok == "1" else "failed"
            if ok == "1":
                first.setdefault(shape, int(ms) / 1000)
                ratio = "%.1f" % ((int(ms) / 1000) / max(first[shape], 0.001))
        print(f"{shape:<15} {float(scale):>4g}x {int(triangles):>10} {int(size) / 1e6:>7.1f} "
              f"{real:>12} {ratio:>8} {stand_in.get(file, 0):>11.3f}", flush=True)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bench", action="store_true", help="run the load benchmark instead")
    parser.add_argument("--limit", type=int, default=300,
                        help="seconds a benchmark load may take before it is given up")
    options = parser.parse_args()
    try:
        source = rh.find_host(ROOT)
    except rh.Skip as skip:
        print(f"Real-host tests skipped: {skip}.")
        return 0
    needed = ["convert", "compare", "tesseract"] + ([] if rh.ON_WINDOWS else
                                                     ["wine", "Xvfb", "import"])
    missing = [tool for tool in needed if not shutil.which(tool)]
    zip_path = ROOT / "dist" / f"KEPImport-{version()}.zip"
    md5 = ROOT / "build" / "windows" / "realhost" / "MD5.dll"
    inputs = [zip_path, SEQUENCE_TOOL] + ([] if rh.ON_WINDOWS else [md5])
    missing += [str(p.relative_to(ROOT)) for p in inputs if not p.exists()]
    if missing:
        print("Real-host tests cannot run, missing: " + ", ".join(missing) +
              " (scripts/install-deps.sh; make linux windows package)")
        print("0 passed, 1 failed")
        return 1
    SCREENS.mkdir(parents=True, exist_ok=True)
    print(f"Real host from {source}")
    display = rh.Display()
    host = None
    try:
        host = rh.Host(source, WORK, zip_path, md5, display)
        return bench(host, options.limit) if options.bench else run_tests(host)
    finally:
        if host:
            host.close()
        display.close()


if __name__ == "__main__":
    sys.exit(main())
