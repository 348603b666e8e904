#!/usr/bin/env python3
"""Writes what the host's editor and help browser read about the commands, from
the command reference:

  <out>/Editor/Keywords/KEPImport.ini            one keyword line per command
  <out>/Help/addoncommands/KEPImport/index.htm   the commands by family
  <out>/Help/addoncommands/KEPImport/commands/   one page per command

The tree is laid out as the host's install folder, so the package copies it
as it is. Refuses a reference that does not describe the command table.

  make_help.py --reference docs/commands.txt --table src/plugin/command_table.inc --out DIR
"""

import argparse
import html
import os
import re
import shutil
import sys
from urllib.parse import quote

import kep_reference as ref

STYLE = """body { font-family: Verdana, Arial, sans-serif; font-size: 10pt; margin: 12px 20px; }
h1 { font-size: 14pt; } h2 { font-size: 10pt; margin: 16px 0 4px; }
pre, .syntax { font-family: "Courier New", monospace; background: #f0f0f0; padding: 6px; }
table { border-collapse: collapse; } td, th { border: 1px solid #c0c0c0; padding: 2px 8px;
text-align: left; vertical-align: top; } .nav { font-size: 8pt; }"""


def inline(text):
    """Escapes text and turns `code` into <code>code</code>."""
    return re.sub(r"`([^`]+)`", r"<code>\1</code>", html.escape(text, quote=False))


def paragraphs(text):
    return "".join("<p>%s</p>\n" % inline(p) for p in text.split("\n\n") if p.strip())


def page(title, body):
    # The style is inline: the help browser shows each page on its own.
    return (
        '<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">\n'
        "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n"
        "<title>%s</title>\n<style type=\"text/css\">\n%s\n</style></head>\n"
        "<body>\n%s</body></html>\n"
        % (html.escape(title), STYLE, body)
    )


def link(target, text):
    return '<a href="%s">%s</a>' % (quote(target), html.escape(text))


def rows(pairs, headings):
    head = "".join("<th>%s</th>" % h for h in headings)
    body = "".join(
        "<tr><td>%s</td><td>%s</td></tr>\n" % (inline(left), inline(right)) for left, right in pairs
    )
    return "<table>\n<tr>%s</tr>\n%s</table>\n" % (head, body)


def command_page(command, families):
    parts = [
        '<p class="nav">%s &gt; %s</p>\n'
        % (link("../index.htm", "KEPImport"), html.escape(families[command.family])),
        "<h1>%s</h1>\n<p>%s</p>\n" % (html.escape(command.name), inline(command.get("summary"))),
        "<h2>SYNTAX</h2>\n<p class=\"syntax\">%s</p>\n" % html.escape(command.syntax()),
    ]
    if command.params:
        parts.append("<h2>PARAMETERS</h2>\n" + rows(command.params, ("Parameter", "Meaning")))
    if command.returns:
        parts.append("<h2>RETURNS</h2>\n<p>%s: %s</p>\n" % tuple(map(inline, command.returns)))
    if command.get("description"):
        parts.append("<h2>DESCRIPTION</h2>\n" + paragraphs(command.get("description")))
    if command.get("errors"):
        parts.append(
            "<h2>ERRORS</h2>\n<p>A failure sets KEP ERROR() to 0 and KEP ERROR TEXT() to:</p>\n"
            + rows(command.pairs("errors"), ("Message", "When"))
        )
    example = html.escape(command.get("example"), quote=False)
    parts.append("<h2>EXAMPLE</h2>\n<pre>%s</pre>\n" % example)
    see = [link(ref.help_file(name), name) for name in command.see_also]
    see.append(link("../index.htm", "KEPImport command index"))
    parts.append("<h2>SEE ALSO</h2>\n<p>%s</p>\n" % ", ".join(see))
    return page(command.name, "".join(parts))


def index_page(reference):
    guide = reference.guide
    title = guide.get("title")
    parts = ["<h1>%s</h1>\n" % html.escape(title), paragraphs(guide.get("about"))]
    for key, family in reference.families():
        parts.append("<h2>%s</h2>\n<table>\n" % html.escape(family.upper()))
        for command in reference.commands:
            if command.family == key:
                parts.append(
                    "<tr><td>%s</td><td>%s</td></tr>\n"
                    % (link("commands/" + ref.help_file(command.name), command.name),
                       inline(command.get("summary")))
                )
        parts.append("</table>\n")
    components = [line.split("|") for line in guide.get("components").splitlines()]
    parts.append("<h2>COMPONENT CODES</h2>\n<table>\n<tr><th>Code</th><th>Component</th>"
                 "<th>What KEP COUNT() counts</th></tr>\n")
    parts.extend(
        "<tr>%s</tr>\n" % "".join("<td>%s</td>" % inline(cell.strip()) for cell in cells)
        for cells in components
    )
    parts.append("</table>\n<h2>SUPPORTED HOSTS</h2>\n" + paragraphs(guide.get("hosts")))
    return page(title, "".join(parts))


def keywords(reference, rows_in_table_order):
    """The editor's keyword file: CRLF lines, NAME=help path=parameters."""
    by_name = reference.by_name()
    lines = ["[KEYWORDS]"]
    for row in rows_in_table_order:
        command = by_name[row.name]
        lines.append("%s=%s=%s" % (command.name, ref.help_path(command.name),
                                   command.keyword_parameters()))
    return "\r\n".join(lines) + "\r\n"


def write(path, text, newline="\n"):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "w", encoding="utf-8", newline=newline) as out:
        out.write(text)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--reference", required=True, help="docs/commands.txt")
    parser.add_argument("--table", required=True, help="src/plugin/command_table.inc")
    parser.add_argument("--out", required=True, help="folder laid out as the host's install folder")
    args = parser.parse_args()
    try:
        reference = ref.read_reference(args.reference)
        table = ref.read_command_table(args.table)
    except (OSError, ref.ReferenceError) as error:
        sys.exit("make_help: %s" % error)
    problems = ref.disagreements(reference, table)
    if problems:
        sys.exit("make_help: %s does not describe %s:\n  %s"
                 % (args.reference, args.table, "\n  ".join(problems)))

    help_dir = os.path.join(args.out, "Help", *ref.HELP_FOLDER.split("/"))
    shutil.rmtree(help_dir, ignore_errors=True)  # pages of removed commands go too
    families = dict(reference.families())
    for command in reference.commands:
        write(os.path.join(help_dir, "commands", ref.help_file(command.name)),
              command_page(command, families))
    write(os.path.join(help_dir, "index.htm"), index_page(reference))
    write(os.path.join(args.out, "Editor", "Keywords", "KEPImport.ini"),
          keywords(reference, table), newline="")
    print("make_help: %d commands -> %s" % (len(reference.commands), args.out))


if __name__ == "__main__":
    main()
