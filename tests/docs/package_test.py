"""The release zip as a user unpacks it over the host's install folder: its
layout (a help page for exactly the commands of the command table) and the
DLL that was built, with the version the zip is named by. The DLL as the host
reads it, seen through the MinGW tools' own readers: a 32-bit i386 DLL whose
exports are the table's functions undecorated and whose US English string
table is the command table; it and kep.exe beside it need only the system's
libraries (MinGW's runtimes would have to be shipped beside them).

Run by CTest with KEP_SOURCE_DIR, KEP_PACKAGE_ZIP, KEP_VERSION and
KEP_WINDOWS_DLL; exits 77 (skipped) when the zip has not been built.
"""

import glob
import os
import re
import subprocess
import sys
import unittest
import zipfile

SOURCE = os.environ["KEP_SOURCE_DIR"]
ZIP = os.environ["KEP_PACKAGE_ZIP"]
VERSION = os.environ["KEP_VERSION"]
DLL = os.environ.get("KEP_WINDOWS_DLL") or os.path.join(SOURCE, "dist", "windows", "KEPImport.dll")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import kep_reference as ref  # noqa: E402

TABLE_PATH = os.path.join(SOURCE, "src", "plugin", "command_table.inc")
TABLE = ref.read_command_table(TABLE_PATH)
with open(TABLE_PATH, encoding="utf-8") as inc:
    TABLE_TEXT = inc.read()
STRINGS = {int(n): text for n, text in re.findall(r'^KEP_COMMAND\((\d+), "(.*)"\)$', TABLE_TEXT,
                                                  re.M)}
EXPORTS = sorted([text.split("%")[2] for text in STRINGS.values()] +
                 re.findall(r"^KEP_EXTRA_EXPORT\((\w+)\)$", TABLE_TEXT, re.M))


def mingw(tool, *args):
    return subprocess.run(["i686-w64-mingw32-" + tool, *args], check=True, capture_output=True,
                          text=True).stdout


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        with zipfile.ZipFile(ZIP) as package:
            cls.files = {name: package.read(name) for name in package.namelist()}

    def test_layout_is_the_install_folder(self):
        expected = {
            "Compiler/plugins-user/KEPImport.dll",
            "Editor/Keywords/KEPImport.ini",
            "Help/addoncommands/KEPImport/index.htm",
            "README.txt",
        }
        pages = "Help/addoncommands/KEPImport/commands/"
        expected |= {pages + ref.help_file(row.name) for row in TABLE}
        for part in ("dbpro", "sample"):
            for path in glob.glob(os.path.join(SOURCE, "examples", part, "*")):
                expected.add("Examples/KEPImport/%s/%s" % (part, os.path.basename(path)))
        self.assertEqual(set(self.files), expected)
        readme = self.files["README.txt"].decode("utf-8")
        for needed in ("KEPImport " + VERSION, "\r\nINSTALL\r\n", "\r\nUNINSTALL\r\n"):
            self.assertTrue(needed in readme, needed)
        with open(os.path.join(SOURCE, "examples", "sample", "sample.kep"), "rb") as sample:
            self.assertEqual(self.files["Examples/KEPImport/sample/sample.kep"], sample.read())

    def test_dll_is_the_built_one_with_the_version_of_the_zip(self):
        with open(DLL, "rb") as built:
            self.assertEqual(self.files["Compiler/plugins-user/KEPImport.dll"], built.read(), DLL)
        self.assertTrue(ZIP.endswith("KEPImport-%s.zip" % VERSION))
        resources = mingw("windres", "-i", DLL, "-O", "rc")
        for key in ("FileVersion", "ProductVersion"):
            self.assertIn('VALUE "%s", "%s"' % (key, VERSION), resources)
        strings = re.findall(r'^  (\d+), "(.*)"$', resources, re.M)
        self.assertEqual({int(n): text for n, text in strings}, STRINGS)
        languages = set(re.findall(r"^LANGUAGE (.*)$", resources, re.M))
        self.assertEqual(languages, {"9, 1"})  # US English


class WindowsImages(unittest.TestCase):
    def test_dll_exports_the_table_and_both_images_import_only_system_libraries(self):
        system = re.compile(r"(kernel32|msvcrt|user32|advapi32)\.dll", re.I)
        # kep.exe must not import DBProCore.dll either: Windows would look for
        # it beside the program before main, where it must never be.
        for image, is_dll in ((os.path.join(os.path.dirname(DLL), "kep.exe"), False), (DLL, True)):
            dump = mingw("objdump", "-p", image)
            self.assertIn("file format pei-i386", dump)
            flags = re.search(r"^Characteristics 0x([0-9a-f]+)", dump, re.M).group(1)
            self.assertEqual(bool(int(flags, 16) & 0x2000), is_dll, image)
            imports = re.findall(r"DLL Name: (\S+)", dump)
            self.assertTrue(imports and all(system.fullmatch(name) for name in imports), imports)
        # The DLL's exports, its dump being the loop's last.
        table = dump.split("[Ordinal/Name Pointer] Table")[1].split("\n\n")[0]
        self.assertEqual(sorted(re.findall(r"\] (\w+)$", table, re.M)), EXPORTS)


if __name__ == "__main__":
    if not os.path.isfile(ZIP):
        print("no package at %s (run make package)" % ZIP)
        sys.exit(77)
    unittest.main()
