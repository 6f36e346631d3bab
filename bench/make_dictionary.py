#!/usr/bin/env python3
"""Writes a large generated source dictionary for the compile benchmark.

Headwords of one to three words and articles of two to sixty words, drawn from a made-up
vocabulary of Cyrillic and Latin syllables, so that the text can be written in code page 1251
as well as in UTF-8. Writes the same entries four times: in UTF-8 and in 1251, each sorted by
headword and shuffled.
usage: make_dictionary.py OUTPUT_DIR [MEGABYTES]
"""
import os
import random
import sys


def vocabulary(rng, size):
    cyrillic = ["ко", "ра", "ни", "до", "ве", "ст", "пр", "ль", "ми", "жу", "ёл", "ща", "ты"]
    latin = ["ka", "ro", "ne", "di", "us", "tor", "ex", "pla", "qui", "ven", "st", "al"]
    words = set()
    while len(words) < size:
        syllables = cyrillic if rng.random() < 0.7 else latin
        word = "".join(rng.choices(syllables, k=rng.randint(1, 4)))
        if rng.random() < 0.1:
            word = word.capitalize()
        words.add(word)
    return sorted(words)


def main():
    out_dir = sys.argv[1]
    megabytes = int(sys.argv[2]) if len(sys.argv) > 2 else 210
    rng = random.Random(20261207)
    words = vocabulary(rng, 60000)
    punctuation = [",", ";", ".", " (", ")", ":"]
    lines = []
    size = 0
    target = megabytes * 1000 * 1000
    while size < target:
        headword = " ".join(rng.choices(words, k=rng.choice((1, 1, 1, 2, 3))))
        count = rng.randint(2, 60)
        article = " ".join(rng.choices(words, k=count))
        if rng.random() < 0.3:
            article = article.replace(" ", rng.choice(punctuation) + " ", 1)
        if rng.random() < 0.05:
            headword = "-" + headword
        line = headword + "  " + article + "\n"
        lines.append(line)
        size += len(line.encode("cp1251"))
    ordered = {"sorted": sorted(lines, key=str.lower), "shuffled": lines}
    rng.shuffle(lines)
    for order, entries in ordered.items():
        text = "".join(entries)
        for name, encoding in (("1251", "cp1251"), ("utf8", "utf-8")):
            path = os.path.join(out_dir, f"gen.{name}.{order}.txt")
            with open(path, "wb") as f:
                f.write(text.encode(encoding))
    print(f"{len(lines)} entries, {size / 1e6:.0f} MB in 1251", file=sys.stderr)


if __name__ == "__main__":
    main()
