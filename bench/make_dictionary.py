#!/usr/bin/env python3
"""Writes generated source dictionaries for the benchmarks.

Headwords and articles are drawn from a made-up vocabulary of Cyrillic and Latin syllables, so
that the text can be written in code page 1251 as well as in UTF-8. The entries come out in the
random order they are drawn in, and the same seed always draws the same entries: a larger file
starts with the entries of a smaller one.

usage:
  make_dictionary.py large OUTPUT_PREFIX MEGABYTES [sorted]
      headwords of one to three words, articles of two to sixty; at least MEGABYTES (10^6
      bytes) in 1251. Writes OUTPUT_PREFIX.1251.shuffled.txt and OUTPUT_PREFIX.utf8.shuffled.txt,
      and with "sorted" also both sorted by headword (.sorted.txt; these are sorted in memory).
  make_dictionary.py short OUTPUT COUNT
      COUNT short entries (a headword of one or two words, an article of two to four) in 1251.
  make_dictionary.py one-lemma OUTPUT FORMS_OUTPUT ENTRIES FORMS
      ENTRIES entries of one headword and a word forms file that gives it FORMS forms, in 1251:
      every form leads to every entry.
"""
import os
import random
import sys

SEED = 20261207


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


class AtomicFile:
    """A file written under a temporary name and moved into place when complete, so that an
    interrupted run never leaves a truncated dictionary that looks finished."""

    def __init__(self, path):
        self.path = path
        self.temporary = f"{path}.part{os.getpid()}"
        self.file = open(self.temporary, "wb")

    def write(self, data):
        self.file.write(data)

    def commit(self):
        self.file.close()
        os.replace(self.temporary, self.path)


def large_entries(rng, words):
    punctuation = [",", ";", ".", " (", ")", ":"]
    while True:
        headword = " ".join(rng.choices(words, k=rng.choice((1, 1, 1, 2, 3))))
        article = " ".join(rng.choices(words, k=rng.randint(2, 60)))
        if rng.random() < 0.3:
            article = article.replace(" ", rng.choice(punctuation) + " ", 1)
        if rng.random() < 0.05:
            headword = "-" + headword
        yield headword + "  " + article + "\n"


def write_large(prefix, megabytes, with_sorted):
    rng = random.Random(SEED)
    words = vocabulary(rng, 60000)
    target = megabytes * 1000 * 1000
    outputs = {name: AtomicFile(f"{prefix}.{name}.shuffled.txt") for name in ("1251", "utf8")}
    kept = [] if with_sorted else None
    size = count = 0
    for line in large_entries(rng, words):
        if size >= target:
            break
        encoded = line.encode("cp1251")
        outputs["1251"].write(encoded)
        outputs["utf8"].write(line.encode("utf-8"))
        if kept is not None:
            kept.append(line)
        size += len(encoded)
        count += 1
    for output in outputs.values():
        output.commit()
    if kept is not None:
        kept.sort(key=str.lower)
        text = "".join(kept)
        for name, encoding in (("1251", "cp1251"), ("utf8", "utf-8")):
            output = AtomicFile(f"{prefix}.{name}.sorted.txt")
            output.write(text.encode(encoding))
            output.commit()
    print(f"{count} entries, {size / 1e6:.0f} MB in 1251", file=sys.stderr)


def write_short(path, count):
    rng = random.Random(SEED + 1)
    words = vocabulary(rng, 60000)
    output = AtomicFile(path)
    batch = []
    for i in range(count):
        headword = " ".join(rng.choices(words, k=1 if rng.random() < 0.9 else 2))
        article = " ".join(rng.choices(words, k=rng.randint(2, 4)))
        batch.append(headword + "  " + article + "\n")
        if len(batch) == 100000 or i == count - 1:
            output.write("".join(batch).encode("cp1251"))
            batch.clear()
    output.commit()
    print(f"{count} short entries", file=sys.stderr)


def write_one_lemma(path, forms_path, entries, forms):
    output = AtomicFile(path)
    for i in range(entries):
        output.write(f"лемма  статья {i + 1}\n".encode("cp1251"))
    output.commit()
    # Forms that do not begin with the lemma, so that every one is stored: "ф" and the number
    # written in the letters а..п.
    letters = "абвгдежзийклмноп"

    def form(n):
        digits = []
        while True:
            digits.append(letters[n % 16])
            n //= 16
            if n == 0:
                return "ф" + "".join(reversed(digits))

    output = AtomicFile(forms_path)
    output.write("лемма: ".encode("cp1251"))
    for start in range(0, forms, 100000):
        part = ", ".join(form(n) for n in range(start, min(forms, start + 100000)))
        output.write(((", " if start else "") + part).encode("cp1251"))
    output.write(b"\r\n")
    output.commit()
    print(f"{entries} entries, {forms} forms of one lemma", file=sys.stderr)


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    command, arguments = sys.argv[1], sys.argv[2:]
    if command == "large" and len(arguments) in (2, 3):
        write_large(arguments[0], int(arguments[1]), arguments[2:] == ["sorted"])
    elif command == "short" and len(arguments) == 2:
        write_short(arguments[0], int(arguments[1]))
    elif command == "one-lemma" and len(arguments) == 4:
        write_one_lemma(arguments[0], arguments[1], int(arguments[2]), int(arguments[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
