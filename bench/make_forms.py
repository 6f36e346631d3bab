#!/usr/bin/env python3
"""Writes a large word forms file for the benchmark from a dictionary's headwords.

Every distinct single-word headword becomes a lemma (in the case the dictionary writes it) with
four made-up forms that do not begin with it, so that each is stored and each turns into an
alternative headword of every entry of that headword. Byte-oriented: the output is in the code
page of the dictionary (single-byte or UTF-8).
usage: make_forms.py DICTIONARY OUTPUT
"""
import sys


def headword(line):
    """The headword: the text before the first tab or double blank; None for other lines."""
    cuts = [i for i in (line.find(b"\t"), line.find(b"  ")) if i > 0]
    return line[: min(cuts)] if cuts else None


def main():
    source, output = sys.argv[1], sys.argv[2]
    seen = set()
    with open(source, "rb") as dictionary, open(output, "wb") as out:
        for line in dictionary:
            word = headword(line)
            if word is None or b" " in word or word.lower() in seen:
                continue
            seen.add(word.lower())
            forms = [b"ge" + word + b"t", b"un" + word, word[1:] + b"e", word[::-1] + b"n"]
            out.write(word + b": " + b", ".join(forms) + b"\r\n")
    print(f"{len(seen)} lemmas, {4 * len(seen)} forms offered", file=sys.stderr)


if __name__ == "__main__":
    main()
