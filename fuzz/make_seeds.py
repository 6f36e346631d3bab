#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/TARGET/seed-*.

    make_seeds.py ZORVAK_BINARY

The seeds are a small dictionary and word forms file with Latin, Cyrillic and East Asian text,
in one code page of every family (single-byte, double-byte, UTF-16LE, UTF-8): as they are for
the word forms, decode and compile targets, and compiled by ZORVAK_BINARY (with the word forms,
with and without the all-words flag) for the decompress target. The output is the same on every
run for the same program.
"""

import os
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
# The order of the fuzz targets' code page selector (every supported page, ascending).
PAGES = [437, 850, 855, 860, 861, 863, 865, 866, 874, 932, 936, 949, 950, 1200, 1250, 1251, 1252,
         1253, 1254, 1255, 1256, 1257, 1258, 10000, 10007, 10017, 10079, 20127, 20866, 21866, 28591,
         28592, 28595, 28605, 65001]
SEPARATOR = b"\n--8<--\n"
# A code page of every family, with the name Python knows it by.
FAMILIES = [(1251, "cp1251"), (1252, "cp1252"), (437, "cp437"), (932, "cp932"), (936, "gbk"),
            (949, "cp949"), (950, "cp950"), (1200, "utf-16-le"), (65001, "utf-8")]
EXTRA = """日本  Japan; 日本語 the Japanese language
中文  the Chinese language
한국어  the Korean language
臺灣  Taiwan
"""
EXTRA_FORMS = """日本: 日本語
"""


def encoded(text, codec):
    return text.encode(codec, errors="ignore")


def main():
    binary = os.path.abspath(sys.argv[1])
    source = open(os.path.join(ROOT, "examples", "sample.txt"), encoding="utf-8").read() + EXTRA
    forms = open(os.path.join(ROOT, "examples", "sample.forms.txt"),
                 encoding="utf-8").read() + EXTRA_FORMS
    corpus = os.path.join(HERE, "corpus")
    for target in ("decode", "word_forms", "compile", "decompress"):
        folder = os.path.join(corpus, target)
        os.makedirs(folder, exist_ok=True)
        for name in os.listdir(folder):
            if name.startswith("seed-"):
                os.remove(os.path.join(folder, name))
    for page, codec in FAMILIES:
        selector = bytes([PAGES.index(page)])
        src, frm = encoded(source, codec), encoded(forms, codec)

        def put(target, name, data):
            with open(os.path.join(corpus, target, "seed-%d-%s" % (page, name)), "wb") as f:
                f.write(data)

        put("decode", "text", selector + b"\x40" + src[:400])
        put("word_forms", "whole", selector + b"\xff" + frm)
        put("word_forms", "chunks", selector + b"\x07" + frm)
        for flags in (0, 2, 3):
            put("compile", "flags%d" % flags, selector + bytes([flags]) + src + SEPARATOR + frm)
        work = tempfile.mkdtemp(prefix="zorvak-seeds-")
        try:
            for all_words in (0, 1):
                with open(os.path.join(work, "d.txt"), "wb") as f:
                    f.write(src)
                with open(os.path.join(work, "d.forms"), "wb") as f:
                    f.write(frm)
                subprocess.run([binary, "d.txt", str(page), str(all_words), "d.forms"], cwd=work,
                               stdout=subprocess.DEVNULL, check=True)
                compiled = open(os.path.join(work, "d.txt.zorvak"), "rb").read()
                if page in (932, 936, 949, 950):
                    # The compiler stores these as UTF-8; a file that says the page itself is
                    # one made elsewhere, whose headwords come out as "?".
                    compiled = compiled[:12] + page.to_bytes(4, "little") + compiled[16:]
                put("decompress", "forms-all%d.zorvak" % all_words, compiled)
        finally:
            shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
