#!/usr/bin/env python3
"""Turns a source listing of the SDL_gfx documentation (one HTML page) back into its C file.

The generator numbers every line and leaves out only the documentation comments: the numbered
lines are the file's own text once the tags are stripped and the entities decoded, and each number
that is missing becomes a blank line, so that the compiler's line numbers stay the original's. Latin-1 in and out keeps every byte.
Usage: gfx-from-doc.py PAGE.html OUTPUT
"""
import html
import re
import sys

page = open(sys.argv[1], encoding="latin-1").read()
listing = page[page.index('<pre class="fragment">'):page.index("</pre>")]
lines = {}
for row in listing.split('<a name="l')[1:]:
    number, _, rest = row.partition('"></a>')
    # The printed number may itself be a link: strip the tags, then the number and its space.
    text = html.unescape(re.sub(r"<[^>]*>", "", rest)).partition(" ")[2]
    lines[int(number)] = text.replace("\xa0", " ")
if not lines:
    sys.exit(f"{sys.argv[1]}: no numbered source lines")
with open(sys.argv[2], "w", encoding="latin-1") as out:
    for number in range(1, max(lines) + 1):
        out.write(lines.get(number, "").rstrip() + "\n")
