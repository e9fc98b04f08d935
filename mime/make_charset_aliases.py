#!/usr/bin/env python3
"""Writes the charset labels that Python's codecs know under another name (its
encodings.aliases table) as a C++ table of keys (letters and digits in lower case) and the
name of the charset each stands for, spelt as iconv spells its charsets.

Usage: make_charset_aliases.py OUTPUT
"""
import codecs
import encodings.aliases
import re
import sys


def key(name):
    return re.sub(r"[^0-9a-z]", "", name.lower())


def main():
    table = {}
    for alias, codec in sorted(encodings.aliases.aliases.items()):
        try:
            info = codecs.lookup(codec)
        except LookupError:
            continue  # a codec this platform's Python lacks
        if not info._is_text_encoding or key(alias) == key(info.name):
            continue
        table.setdefault(key(alias), info.name.upper().replace("_", "-"))
    lines = ["// Written by mime/make_charset_aliases.py from Python's encodings.aliases; do not "
             "edit.",
             "constexpr Alias kCodecAliases[] = {"]
    lines += ['    {"%s", "%s"},' % item for item in sorted(table.items()) if item[0]]
    lines.append("};")
    with open(sys.argv[1], "w", encoding="ascii") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
