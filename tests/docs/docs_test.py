"""What a user reads about the commands must match what the host compiles:
the reference against the command table, the generated keywords and help
pages, and every command that the example programs and the help's examples
use.

Run by CTest with KEP_SOURCE_DIR and KEP_RELEASE_TREE (the generated tree).
"""

import glob
import os
import re
import sys
import unittest
from urllib.parse import unquote

SOURCE = os.environ["KEP_SOURCE_DIR"]
TREE = os.environ["KEP_RELEASE_TREE"]
sys.path.insert(0, os.path.join(SOURCE, "scripts"))
import check_dba  # noqa: E402
import kep_reference as ref  # noqa: E402

TABLE = ref.read_command_table(os.path.join(SOURCE, "src", "plugin", "command_table.inc"))
REFERENCE = ref.read_reference(os.path.join(SOURCE, "docs", "commands.txt"))
HELP = os.path.join(TREE, "Help", *ref.HELP_FOLDER.split("/"))


def misused_commands(script):
    return check_dba.problems_in(script, TABLE)


class Reference(unittest.TestCase):
    def test_describes_the_command_table_and_notices_drift(self):
        self.assertEqual(ref.disagreements(REFERENCE, TABLE), [])
        load = next(row for row in TABLE if row.name == "LOAD KEP")
        drifts = {
            "a row the reference lacks": ref.Row(99, "KEP NEW THING", None, []),
            "a parameter more": ref.Row(1, "LOAD KEP", load.returns, load.params + [ref.INTEGER]),
            "another parameter type": ref.Row(1, "LOAD KEP", load.returns,
                                              [ref.FLOAT, ref.INTEGER]),
            "another result": ref.Row(1, "LOAD KEP", ref.STRING, load.params),
        }
        for what, row in drifts.items():
            changed = [r for r in TABLE if r.name != row.name] + [row]
            problems = ref.disagreements(REFERENCE, changed)
            self.assertTrue(any(row.name in p for p in problems), what)
        problems = ref.disagreements(REFERENCE, TABLE[1:])
        self.assertTrue(any(TABLE[0].name in p for p in problems), "a command the table lacks")


class Keywords(unittest.TestCase):
    def test_one_crlf_line_per_command_pointing_at_its_help_page(self):
        with open(os.path.join(TREE, "Editor", "Keywords", "KEPImport.ini"), "rb") as source:
            data = source.read()
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""), "every line ends in CRLF")
        lines = data.decode("ascii").split("\r\n")
        self.assertEqual(lines[0], "[KEYWORDS]")
        self.assertEqual(lines[-1], "")
        entries = [line.split("=") for line in lines[1:-1]]
        self.assertEqual([e[0] for e in entries], [row.name for row in TABLE])
        for (name, path, params), row in zip(entries, TABLE):
            page = os.path.join(TREE, "Help", *path.split("\\"))
            self.assertTrue(os.path.isfile(page), path)
            if not row.params:
                self.assertEqual(params, "*No Parameters*", name)
                continue
            if row.returns:
                self.assertRegex(params, r"^\( .* \)$", name)
                params = params[2:-2]
            types = [ref.param_type(p.strip()) for p in params.split(",")]
            self.assertEqual(types, row.params, name)


def links_of(page):
    # The pages are written with every link target quoted into href="...".
    with open(page, encoding="utf-8") as source:
        links = re.findall(r'href="([^"]*)"', source.read())
    return [os.path.normpath(os.path.join(os.path.dirname(page), unquote(link))) for link in links]


class HelpPages(unittest.TestCase):
    def test_every_link_resolves_and_the_index_reaches_every_command(self):
        pages = sorted(glob.glob(os.path.join(HELP, "**", "*.htm"), recursive=True))
        index = os.path.join(HELP, "index.htm")
        commands = {os.path.join(HELP, "commands", ref.help_file(row.name)) for row in TABLE}
        self.assertEqual(set(pages), commands | {index})
        for page in pages:
            for target in links_of(page):
                self.assertTrue(os.path.isfile(target), "%s links to %s" % (page, target))
        self.assertEqual(set(links_of(index)), commands)
        for page in commands:
            self.assertIn(index, links_of(page), page)


class Examples(unittest.TestCase):
    def test_the_checker_notices_misused_commands(self):
        cases = {
            'PRINT KEP ERROR TEXT$()': "type sign",
            "n = KEP COUNT(1, 2)": "2 arguments",
            "KEP MOVE 0, 1.0": "2 arguments",
            "x = KEP ENTITY COUNT()": "unknown command",
            "n = KEP COUNT": "without brackets",
        }
        for script, problem in cases.items():
            self.assertTrue(any(problem in p for p in misused_commands(script)), script)
        clean = 'rem KEP FOO\nPRINT "KEP FOO"\nKEP CLEAR : KEP HIDE 1'
        self.assertEqual(misused_commands(clean), [])

    def test_example_programs_and_help_examples_use_the_commands_as_the_table_takes_them(self):
        programs = sorted(glob.glob(os.path.join(SOURCE, "examples", "dbpro", "*.dba")))
        self.assertGreaterEqual(len(programs), 5)
        sample = os.path.join(SOURCE, "examples", "sample", "sample.kep")
        for program in programs:
            with open(program, encoding="utf-8") as source:
                script = source.read()
            self.assertEqual(misused_commands(script), [], program)
            # Each program loads the bundled sample map, by a path that works
            # from its own folder, as it does once installed.
            paths = [os.path.normpath(os.path.join(os.path.dirname(program), p.replace("\\", "/")))
                     for p in re.findall(r'"([^"]*\.kep)"', script)]
            self.assertIn(sample, paths, program)
        for command in REFERENCE.commands:
            self.assertEqual(misused_commands(command.get("example")), [], command.name)


if __name__ == "__main__":
    unittest.main()
