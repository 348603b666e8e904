#!/usr/bin/env python3
"""Writes the release package: a zip laid out as the host's install folder, so
that a user unpacks it over that folder.

  Compiler/plugins-user/KEPImport.dll
  Editor/Keywords/KEPImport.ini            } from make_help.py
  Help/addoncommands/KEPImport/...         }
  Examples/KEPImport/dbpro/*.dba           the example programs
  Examples/KEPImport/sample/...            the sample map they load
  README.txt                               install and uninstall steps

The same tree is also left unpacked beside the zip, to browse the help.

  make_package.py --dll KEPImport.dll --help-tree DIR --examples examples
                  --readme docs/package-readme.txt --version 3.3.3 --out dist
"""

import argparse
import os
import shutil
import sys
import zipfile

# Entries carry one fixed time, so the same inputs give the same zip.
STAMP = (2026, 1, 1, 0, 0, 0)


def files_under(root):
    for folder, _, names in sorted(os.walk(root)):
        for name in sorted(names):
            path = os.path.join(folder, name)
            yield path, os.path.relpath(path, root).replace(os.sep, "/")


def contents(args):
    """(path inside the package, bytes) of every file, in package order."""
    with open(args.dll, "rb") as dll:
        yield "Compiler/plugins-user/KEPImport.dll", dll.read()
    for top in ("Editor", "Help"):
        for path, relative in files_under(os.path.join(args.help_tree, top)):
            with open(path, "rb") as source:
                yield top + "/" + relative, source.read()
    for part in ("dbpro", "sample"):
        for path, relative in files_under(os.path.join(args.examples, part)):
            with open(path, "rb") as source:
                data = source.read()
            if path.endswith(".dba"):  # the host's editor expects Windows line ends
                data = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n")
            yield "Examples/KEPImport/%s/%s" % (part, relative), data
    with open(args.readme, encoding="utf-8") as readme:
        text = readme.read().replace("@VERSION@", args.version)
    yield "README.txt", text.replace("\n", "\r\n").encode("utf-8")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    for name in ("dll", "help-tree", "examples", "readme", "version", "out"):
        parser.add_argument("--" + name, required=True)
    args = parser.parse_args()

    name = "KEPImport-%s" % args.version
    zip_path = os.path.join(args.out, name + ".zip")
    unpacked = os.path.join(args.out, "KEPImport")
    try:
        entries = list(contents(args))
        os.makedirs(args.out, exist_ok=True)
        shutil.rmtree(unpacked, ignore_errors=True)
        with zipfile.ZipFile(zip_path + ".tmp", "w", zipfile.ZIP_DEFLATED) as package:
            for inside, data in entries:
                info = zipfile.ZipInfo(inside, STAMP)
                info.compress_type = zipfile.ZIP_DEFLATED
                info.external_attr = 0o644 << 16
                package.writestr(info, data)
                target = os.path.join(unpacked, *inside.split("/"))
                os.makedirs(os.path.dirname(target), exist_ok=True)
                with open(target, "wb") as out:
                    out.write(data)
        os.replace(zip_path + ".tmp", zip_path)
    except OSError as error:
        sys.exit("make_package: %s" % error)
    print("make_package: %d files -> %s" % (len(entries), zip_path))


if __name__ == "__main__":
    main()
