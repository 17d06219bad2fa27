#!/usr/bin/env python3
"""Packs a look (a Qt style sheet) for embedding: drops the comments and the
white space the sheet's parser would only skip, so the editor reads and scans
less at every start. What the rules say is left exactly as it is.

    pack_look.py SOURCE.qss OUT
"""
import re
import sys


def pack(text: str) -> str:
    out = []
    i = 0
    n = len(text)
    quote = None
    while i < n:
        c = text[i]
        if quote:
            out.append(c)
            if c == "\\" and i + 1 < n:
                out.append(text[i + 1])
                i += 2
                continue
            if c == quote:
                quote = None
            i += 1
            continue
        if c in "\"'":
            quote = c
            out.append(c)
            i += 1
            continue
        if text.startswith("/*", i):
            end = text.find("*/", i + 2)
            if end < 0:
                raise ValueError("a comment is not closed")
            i = end + 2
            # A comment between two words still parts them.
            out.append(" ")
            continue
        if c.isspace():
            out.append(" ")
            while i < n and text[i].isspace():
                i += 1
            continue
        out.append(c)
        i += 1
    if quote:
        raise ValueError("a quoted text is not closed")
    packed = re.sub(r" +", " ", "".join(out))
    # Spaces next to braces, semicolons and commas say nothing (outside quoted
    # texts, which hold none of these here; a quote is kept whole above).
    packed = re.sub(r" ?([{};,]) ?", r"\1", packed)
    # Inside a block, a colon only ends a property's name.
    packed = re.sub(r"\{[^{}]*\}", lambda block: block.group(0).replace(": ", ":"), packed)
    return packed.strip() + "\n"


def main() -> int:
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    with open(sys.argv[1], encoding="utf-8") as f:
        text = f.read()
    packed = pack(text)
    with open(sys.argv[2], "w", encoding="utf-8", newline="\n") as f:
        f.write(packed)
    return 0


if __name__ == "__main__":
    sys.exit(main())
