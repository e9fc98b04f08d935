#!/usr/bin/env python3
"""Writes the character references of HTML as a C++ table, from Python's copy of the HTML
standard's list (html.entities.html5) and its windows-1252 codec (the numeric references
0x80-0x9F that the standard reads as windows-1252).

Usage: make_html_entities.py OUTPUT
"""
import html.entities
import sys


def main():
    names = sorted(html.entities.html5.items())
    lines = [
        "// Written by mime/make_html_entities.py from Python's html.entities.html5; do not edit.",
        "constexpr NamedReference kNamedReferences[] = {",
    ]
    for name, text in names:
        points = [ord(c) for c in text] + [0]
        lines.append('    {"%s", 0x%X, 0x%X},' % (name, points[0], points[1]))
    lines.append("};")
    lines.append("constexpr char32_t kWindows1252[32] = {")
    row = []
    for n in range(0x80, 0xA0):
        try:
            row.append("0x%X" % ord(bytes([n]).decode("cp1252")))
        except UnicodeDecodeError:
            row.append("0x%X" % n)
    lines.append("    " + ", ".join(row) + ",")
    lines.append("};")
    with open(sys.argv[1], "w", encoding="ascii") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
