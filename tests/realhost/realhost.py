"""The real host, driven from a script: a copy of DarkBASIC Professional's
install folder with the release zip unpacked into it, its compiler and the
programs it makes run under Wine on a virtual display (or directly, on
Windows), and screenshots of what they drew."""

import os
import re
import shutil
import signal
import subprocess
import sys
import time
import zipfile
from pathlib import Path

ON_WINDOWS = os.name == "nt" or sys.platform in ("cygwin", "msys")


class Skip(Exception):
    """The real host is not there; the tests cannot run."""


def find_host(root: Path) -> Path:
    """DBPRO_DIR, else ../shared/dbpro-host beside the repository."""
    named = os.environ.get("DBPRO_DIR")
    candidates = [Path(named)] if named else [root.parent / "shared" / "dbpro-host"]
    for folder in candidates:
        if (folder / "Compiler" / "DBPCompiler.exe").is_file():
            return folder.resolve()
    where = f"DBPRO_DIR={named}" if named else "../shared/dbpro-host"
    raise Skip(f"no DarkBASIC Professional at {where} (its Compiler\\DBPCompiler.exe is missing)")


class Display:
    """A virtual X display for the whole run (none needed on Windows)."""

    def __init__(self, width=800, height=600):
        self.server = None
        self.name = None
        if ON_WINDOWS:
            return
        for number in range(91, 140):
            if not Path(f"/tmp/.X{number}-lock").exists():
                break
        self.name = f":{number}"
        self.server = subprocess.Popen(
            ["Xvfb", self.name, "-screen", "0", f"{width}x{height}x24", "-nolisten", "tcp"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        for _ in range(50):
            if Path(f"/tmp/.X11-unix/X{number}").exists():
                return
            time.sleep(0.1)
        raise RuntimeError("Xvfb did not start")

    def screenshot(self, picture: Path):
        if ON_WINDOWS:
            command = ["magick", "import", "-window", "root", str(picture)]
        else:
            command = ["import", "-display", self.name, "-window", "root", str(picture)]
        subprocess.run(command, check=True, timeout=30,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def close(self):
        if self.server:
            self.server.terminate()
            self.server.wait()


class Host:
    """A writable copy of the host's install folder, with the release unpacked
    into it as a user installs it, and the way to run Windows programs."""

    def __init__(self, source: Path, work: Path, release_zip: Path, md5_standin: Path,
                 display: Display):
        self.work = work
        self.install = work / "install"
        self.display = display
        if self.install.exists():
            shutil.rmtree(self.install, onerror=_make_writable_and_retry)
        shutil.copytree(source, self.install)
        for folder, _, files in os.walk(self.install):
            os.chmod(folder, 0o755)
            for name in files:
                os.chmod(os.path.join(folder, name), 0o644)
        if not ON_WINDOWS:
            # The compiler's own MD5.dll needs a system library Wine lacks.
            shutil.copyfile(md5_standin, self.install / "Compiler" / "MD5.dll")
        # The install steps of the release's README: its folders merged into
        # the host's install folder.
        with zipfile.ZipFile(release_zip) as release:
            release.extractall(self.install)
        # Another build of the plug-in in the release's place, to compare
        # (the benchmark's before and after).
        other = os.environ.get("KEP_REALHOST_DLL")
        if other:
            shutil.copyfile(other, self.install / "Compiler" / "plugins-user" / "KEPImport.dll")
        self.env = dict(os.environ)
        if not ON_WINDOWS:
            prefix = work / "prefix"
            self.env.update(WINEPREFIX=str(prefix), WINEARCH="win32",
                            WINEDEBUG="-all,+msgbox", WINEDLLOVERRIDES="mscoree,mshtml=",
                            DISPLAY=display.name)
            if not (prefix / "system.reg").exists():
                subprocess.run(["wineboot", "-i"], env=self.env, check=True, timeout=300,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                subprocess.run(["wine", "reg", "add", r"HKCU\Software\Wine\WineDbg", "/v",
                                "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0", "/f"],
                               env=self.env, timeout=120,
                               stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            # One Wine server, with its services started, for the whole run:
            # each program starts faster.
            subprocess.run(["wineserver", "-p"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            subprocess.run(["wineboot"], env=self.env, timeout=300,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def windows_path(self, path: Path) -> str:
        if ON_WINDOWS:
            return str(path)
        return "Z:" + str(path.resolve()).replace("/", "\\")

    def _command(self, exe: Path, *args: str):
        return ([str(exe), *args] if ON_WINDOWS
                else ["wine", self.windows_path(exe), *args])

    def compile(self, source: Path) -> "Outcome":
        """Compiles NAME.dba in its folder into NAME.exe; the compiler runs
        from the host copy, as the editor runs it."""
        folder, name = source.parent, source.stem
        # The compiler reads lines ended by CR LF: with bare LF a "rem" line
        # swallows the rest of the program.
        text = source.read_bytes().replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
        source.write_bytes(text)
        (folder / "_Temp.dbsource").write_bytes(text)
        lines = ["; **** Dark BASIC Professional Project File ****", "version=DBP1.00",
                 f"project name={name}", f"main={name}.dba", "final source=_Temp.dbsource",
                 f"executable={name}.exe", "build type=exe", "compression=NO", "encryption=NO",
                 "card options window=NO", "CLI=NO", f"app title={name}",
                 "graphics mode=window", "fullscreen resolution=640x480x16",
                 "window resolution=640x480", "media root path="]
        project = folder / f"{name}.dbpro"
        project.write_bytes(("\r\n".join(lines) + "\r\n").encode())
        exe = folder / f"{name}.exe"
        if exe.exists():
            exe.unlink()
        compiler = self.install / "Compiler" / "DBPCompiler.exe"
        log, _ = self._run(self._command(compiler, self.windows_path(project)), folder, 60)
        # Under Wine the compiler faults after it has written the program;
        # the program is what counts.
        return Outcome(log, exe.is_file())

    def run(self, exe: Path, seconds: float, screenshot: Path = None, until_exit=False,
            later_shots=()):
        """Runs a program in its folder: until it ends (at most `seconds`), or
        for `seconds` and then a screenshot, and one more after each of
        `later_shots` seconds (screenshot-1.png, ...), after which it is
        stopped."""
        def shots():
            if not screenshot:
                return
            self.display.screenshot(screenshot)
            for n, wait in enumerate(later_shots, 1):
                time.sleep(wait)
                self.display.screenshot(screenshot.with_name(f"{screenshot.stem}-{n}.png"))
        log, ended = self._run(self._command(exe), exe.parent, seconds, before_stop=shots)
        return Outcome(log, ended if until_exit else True, ended=ended)

    def _run(self, command, folder, seconds, before_stop=None):
        """Output goes to a file, not a pipe: Wine's own service processes
        inherit what the first program had open and outlive it."""
        log_path = self.work / "last-run.log"
        with open(log_path, "wb") as log:
            process = subprocess.Popen(command, cwd=folder, env=self.env, stdout=log,
                                       stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL,
                                       start_new_session=True)
            try:
                process.wait(timeout=seconds)
                ended = True
            except subprocess.TimeoutExpired:
                ended = False
                if before_stop:
                    before_stop()
                _stop(process)
        return log_path.read_bytes().decode(errors="replace"), ended

    def close(self):
        if not ON_WINDOWS:
            subprocess.run(["wineserver", "-k"], env=self.env, timeout=60,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


class Outcome:
    def __init__(self, log: str, done: bool, ended=True):
        self.log = log
        self.done = done
        self.ended = ended

    def message_boxes(self):
        """The texts of the message boxes the program showed (Wine's msgbox
        trace), which is how the host reports compile and run-time errors."""
        return [line for line in self.log.splitlines() if ":msgbox:" in line]

    def crashes(self):
        return [line for line in self.log.splitlines()
                if "Unhandled page fault" in line or "Unhandled exception" in line]


def _stop(process):
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except (ProcessLookupError, PermissionError, AttributeError):
        process.kill()
    process.wait()


def _make_writable_and_retry(function, path, _):
    os.chmod(path, 0o755)
    function(path)


# ---- What a picture shows ------------------------------------------------

def colours(picture: Path) -> int:
    """How many different colours the picture holds."""
    out = subprocess.run(["convert", str(picture), "-format", "%k", "info:"],
                         capture_output=True, text=True, check=True, timeout=60)
    return int(out.stdout.strip())


def differing_pixels(first: Path, second: Path) -> int:
    out = subprocess.run(["compare", "-metric", "AE", str(first), str(second), "null:"],
                         capture_output=True, text=True, timeout=60)
    return int(float(out.stderr.split()[0]))


def screen_text(picture: Path) -> str:
    """The text on the picture as OCR reads it, scaled up for the small font."""
    scaled = picture.with_suffix(".ocr.png")
    # The host prints in white: everything else goes black, so that text
    # over a drawn scene reads as text on a plain ground.
    subprocess.run(["convert", str(picture), "-fuzz", "6%", "-fill", "black", "+opaque", "white",
                    "-resize", "300%", "-colorspace", "Gray", "-negate", str(scaled)],
                   check=True, timeout=60)
    out = subprocess.run(["tesseract", str(scaled), "-", "--psm", "6"],
                         capture_output=True, text=True, timeout=120)
    scaled.unlink()
    return out.stdout


def letters(text: str) -> str:
    # OCR reads the small font's "m" as "rn" now and then.
    return re.sub(r"[^a-z]", "", text.lower()).replace("rn", "m")


def shows_phrases(text: str, phrases) -> list:
    """The phrases that OCR did not find in the text (letters compared only)."""
    seen = letters(text)
    return [phrase for phrase in phrases if letters(phrase) not in seen]
