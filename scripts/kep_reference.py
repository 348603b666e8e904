"""Reads the command reference (docs/commands.txt) and the command table
(src/plugin/command_table.inc), and tells where the two disagree.

The command table is what the host compiles against; the reference is what a
user reads. Everything a user sees about a command (keywords, help pages) is
made from the reference, so the build refuses a reference that has drifted
from the table.
"""

import re
from dataclasses import dataclass, field

# A parameter's host type, as the script writes it: Name$ is a string, Name# a
# float, anything else an integer.
INTEGER, FLOAT, STRING = "Integer", "Float", "String"

# Type letters of the command table: integer, float, string, dword.
TABLE_TYPES = {"L": INTEGER, "F": FLOAT, "S": STRING, "D": INTEGER}

HELP_FOLDER = "addoncommands/KEPImport"


def param_type(name):
    if name.endswith("$"):
        return STRING
    if name.endswith("#"):
        return FLOAT
    return INTEGER


@dataclass
class Command:
    name: str
    line: int
    fields: dict = field(default_factory=dict)  # key -> text (several lines joined by \n)
    params: list = field(default_factory=list)  # (name, meaning)

    def get(self, key):
        return self.fields.get(key, "")

    @property
    def family(self):
        return self.get("family")

    @property
    def returns(self):
        """(type, meaning), or None for a command that returns nothing."""
        text = self.get("returns")
        if not text:
            return None
        kind, _, meaning = text.partition("|")
        return kind.strip(), meaning.strip()

    @property
    def is_function(self):
        return self.returns is not None

    def pairs(self, key):
        """The "left | right" lines of a field, as (left, right)."""
        result = []
        for line in self.get(key).splitlines():
            if line.strip():
                left, _, right = line.partition("|")
                result.append((left.strip(), right.strip()))
        return result

    @property
    def see_also(self):
        return [n.strip() for n in self.get("see").split(",") if n.strip()]

    def parameter_list(self):
        """The parameters as a script writes them: "Map Number, X#"."""
        return ", ".join(name for name, _ in self.params)

    def syntax(self):
        """The syntax line of the help page."""
        if self.is_function:
            return "Return %s = %s(%s)" % (
                self.returns[0],
                self.name,
                " %s " % self.parameter_list() if self.params else "",
            )
        return self.name + (" " + self.parameter_list() if self.params else "")

    def keyword_parameters(self):
        """The parameter part of the editor's keyword line."""
        if not self.params:
            return "*No Parameters*"
        if self.is_function:
            return "( %s )" % self.parameter_list()
        return self.parameter_list()


@dataclass
class Reference:
    guide: Command
    commands: list

    def families(self):
        """(key, title) of every family, in the order of the index page."""
        return self.guide.pairs("families")

    def by_name(self):
        return {c.name: c for c in self.commands}


def help_file(name):
    """The help page of a command, relative to the command pages' folder."""
    return name.lower() + ".htm"


def help_path(name):
    """The help page as the editor finds it: relative to the host's Help folder."""
    return (HELP_FOLDER + "/commands/" + help_file(name)).replace("/", "\\")


class ReferenceError(Exception):
    pass


def read_reference(path):
    with open(path, encoding="utf-8") as source:
        lines = source.read().splitlines()
    guide, commands, block, key = None, [], None, None
    for number, line in enumerate(lines, 1):
        if line.startswith("#"):
            continue
        if line.startswith("== "):
            block, key = Command(line[3:].strip(), number), None
            if block.name == "@guide":
                guide = block
            else:
                commands.append(block)
            continue
        if block is None:
            if line.strip():
                raise ReferenceError("%s:%d: text outside a block" % (path, number))
            continue
        if line.startswith("  ") and key:
            text = block.fields[key]
            block.fields[key] = (text + "\n" if text else "") + line[2:]
            continue
        if not line.strip():
            if key and block.fields[key]:
                block.fields[key] += "\n"  # an empty line inside a field ends a paragraph
            continue
        match = re.match(r"([a-z]+):\s?(.*)$", line)
        if not match:
            raise ReferenceError("%s:%d: expected 'key: value'" % (path, number))
        key, value = match.group(1), match.group(2).strip()
        if key == "param":
            name, _, meaning = value.partition("|")
            block.params.append((name.strip(), meaning.strip()))
            key = None
        elif key in block.fields:
            raise ReferenceError("%s:%d: %s given twice" % (path, number, key))
        else:
            block.fields[key] = value
    for block in commands + ([guide] if guide else []):
        for name, text in block.fields.items():
            block.fields[name] = text.strip("\n")
    if guide is None:
        raise ReferenceError("%s: no '== @guide' block" % path)
    return Reference(guide, commands)


@dataclass
class Row:
    id: int
    name: str
    returns: str  # INTEGER, FLOAT, STRING, or None
    params: list  # types


def read_command_table(path):
    rows = []
    with open(path, encoding="utf-8") as source:
        for number, line in enumerate(source, 1):
            if not line.startswith("KEP_COMMAND("):
                continue
            match = re.match(r'KEP_COMMAND\((\d+), "([^"]*)"\)\s*$', line)
            if not match:
                raise ReferenceError("%s:%d: unreadable row" % (path, number))
            name, types = match.group(2).split("%")[:2]
            letters = "" if types == "0" else types
            if any(letter not in TABLE_TYPES for letter in letters):
                raise ReferenceError("%s:%d: unknown type in %r" % (path, number, types))
            kinds = [TABLE_TYPES[letter] for letter in letters]
            if name.endswith("["):
                rows.append(Row(int(match.group(1)), name[:-1], kinds[0], kinds[1:]))
            else:
                rows.append(Row(int(match.group(1)), name, None, kinds))
    return rows


def disagreements(reference, rows):
    """Every way the reference fails to describe the table; empty when it does."""
    problems = []
    documented = reference.by_name()
    families = {key for key, _ in reference.families()}
    if len(documented) != len(reference.commands):
        problems.append("a command has two blocks")
    for row in rows:
        command = documented.get(row.name)
        if command is None:
            problems.append("%s: in the command table but not in the reference" % row.name)
            continue
        types = [param_type(name) for name, _ in command.params]
        if types != row.params:
            problems.append(
                "%s: parameters %s, the table has %s" % (row.name, types, row.params)
            )
        returned = command.returns[0] if command.returns else None
        if returned != row.returns:
            problems.append("%s: returns %s, the table says %s" % (row.name, returned, row.returns))
    table_names = {row.name for row in rows}
    for command in reference.commands:
        where = "%s (line %d)" % (command.name, command.line)
        if command.name not in table_names:
            problems.append("%s: not in the command table" % where)
        if command.family not in families:
            problems.append("%s: unknown family %r" % (where, command.family))
        for needed in ("summary", "example"):
            if not command.get(needed):
                problems.append("%s: no %s" % (where, needed))
        for other in command.see_also:
            if other not in documented:
                problems.append("%s: sees %s, which is no command" % (where, other))
    return problems
