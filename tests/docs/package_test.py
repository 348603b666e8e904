"""The release zip as a user unpacks it over the host's install folder: its
layout (a help page for exactly the commands of the command table) and the
DLL that was built, with the version the zip is named by.

Run by CTest with KEP_SOURCE_DIR, KEP_PACKAGE_ZIP, KEP_VERSION and
KEP_WINDOWS_DLL; exits 77 (skipped) when the zip has not been built.
"""

import glob
import os
import sys
import unittest
import zipfile

SOURCE = os.environ["KEP_SOURCE_DIR"]
ZIP = os.environ["KEP_PACKAGE_ZIP"]
VERSION = os.environ["KEP_VERSION"]
DLL = os.environ.get("KEP_WINDOWS_DLL") or os.path.join(SOURCE, "dist", "windows", "KEPImport.dll")
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import kep_reference as ref  # noqa: E402

TABLE = ref.read_command_table(os.path.join(SOURCE, "src", "plugin", "command_table.inc"))


def utf16(text):
    return text.encode("utf-16-le")


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
            dll = built.read()
        self.assertEqual(self.files["Compiler/plugins-user/KEPImport.dll"], dll, DLL)
        self.assertTrue(ZIP.endswith("KEPImport-%s.zip" % VERSION))
        for key in ("FileVersion", "ProductVersion"):
            # A version-resource string: key, padding to a 4-byte boundary, value.
            at = dll.find(utf16(key + "\0"))
            self.assertGreater(at, 0, key)
            value = dll[at + len(utf16(key + "\0")):][:64].lstrip(b"\0")
            self.assertTrue(value.startswith(utf16(VERSION + "\0")), key)


if __name__ == "__main__":
    if not os.path.isfile(ZIP):
        print("no package at %s (run make package)" % ZIP)
        sys.exit(77)
    unittest.main()
