#!/usr/bin/env python3
"""Checks DarkBASIC Professional programs against KEPImport's command table:
every KEP command they use must be a command of the table, written without a
type sign, with brackets when it returns a value, and with as many arguments
as the table takes. The host's compiler refuses a script that breaks any of
these.

  check_dba.py [--table src/plugin/command_table.inc] program.dba ...

Prints one line per problem and exits 1 when it finds any.
"""

import argparse
import os
import re
import sys

import kep_reference as ref

TOKEN = re.compile(r'\s*(?:("[^"]*")|([A-Za-z_][A-Za-z0-9_]*[$#]?)|(\d+\.?\d*|\.\d+)|(\S))')


def statements(source):
    """The statements of a script as (kind, text) token lists; comments are
    left out and strings are single tokens."""
    in_block = False
    for line in source.splitlines():
        words = line.strip().split(None, 1)
        first = words[0].lower() if words else ""
        if in_block or first == "remstart":
            in_block = first != "remend"
            continue
        tokens = []
        for string, word, number, mark in TOKEN.findall(line.split("`", 1)[0]):
            if word.lower() == "rem":
                break
            if mark == ":":
                yield tokens
                tokens = []
                continue
            kind = "string" if string else "word" if word else "number" if number else "mark"
            tokens.append((kind, string or word or number or mark))
        yield tokens


def argument_count(tokens, bracketed):
    """The number of top-level arguments at the front of tokens: inside the
    brackets of a function, or up to the end of a command's statement."""
    depth, count, seen = 0, 0, False
    for kind, text in tokens:
        if not bracketed and depth == 0 and kind == "word" and text.lower() == "else":
            break
        if text == "(":
            depth += 1
            if bracketed and depth == 1:
                continue
        elif text == ")":
            depth -= 1
            if bracketed and depth == 0:
                break
        elif text == "," and depth == (1 if bracketed else 0):
            count += 1
            continue
        seen = True
    return count + 1 if seen else 0


def problems_in(source, table):
    rows = {tuple(row.name.split()): row for row in table}
    longest = max(len(name) for name in rows)
    problems = []
    for tokens in statements(source):
        words = [text.upper() if kind == "word" else "" for kind, text in tokens]
        i = 0
        while i < len(tokens):
            n = next((n for n in range(min(longest, len(tokens) - i), 0, -1)
                      if tuple(w.rstrip("$#") for w in words[i:i + n]) in rows), 0)
            if not n:
                if words[i].rstrip("$#") == "KEP":
                    near = " ".join(t for _, t in tokens[i:i + 5])
                    problems.append("unknown command at: " + near)
                i += 1
                continue
            row = rows[tuple(w.rstrip("$#") for w in words[i:i + n])]
            written = " ".join(t for _, t in tokens[i:i + n])
            rest = tokens[i + n:]
            if words[i + n - 1][-1] in "$#":
                problems.append("%s: written with a type sign" % written)
            if row.returns and (not rest or rest[0][1] != "("):
                problems.append("%s: a function without brackets" % written)
            elif argument_count(rest, row.returns is not None) != len(row.params):
                problems.append("%s: %d arguments, the table takes %d"
                                % (written, argument_count(rest, row.returns is not None),
                                   len(row.params)))
            i += n  # arguments may hold further commands
    return problems


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--table", help="the command table (default: the one beside this script)",
                        default=os.path.join(here, "..", "src", "plugin", "command_table.inc"))
    parser.add_argument("programs", nargs="+", metavar="program.dba", help="programs to check")
    args = parser.parse_args()
    table = ref.read_command_table(args.table)
    found = 0
    for program in args.programs:
        with open(program, encoding="utf-8", errors="replace") as source:
            for problem in problems_in(source.read(), table):
                print("%s: %s" % (program, problem))
                found += 1
    sys.exit(1 if found else 0)


if __name__ == "__main__":
    main()
