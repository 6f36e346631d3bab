#!/usr/bin/env python3
"""Makes the damaged compiled dictionaries of tests/damaged from a sound one.

Each case breaks one rule of the container (or makes a file that costs far more to decompress
than it holds) and is written to tests/damaged/CASE/d.zorvak, or d.zorvak.gz when the file is
large but compresses well. The output is the same on every run: zlib streams are made at the
format's level and nothing depends on the time or on chance.

    make_damaged.py [--base sample.zorvak] [--out DIR] [--scale test|large] [--expect BINARY]

--expect runs BINARY on every case (as the test does) and writes what it did next to the case:
`stdout`, `status`, `files` (the folder after the run) and the decompressed text as
out/d.zorvak.txt, or its size and CRC-32 in `text` when it is large. Review those before they
are committed: they are what the test then holds the program to.

--scale large makes the hostile cases at full size (megabytes of file, gigabytes of work for a
reader that trusts the file) for measuring; they are not meant to be committed.
"""

import argparse
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))
MAGIC = b"ZorvakNL"
NONE = 0xFFFFFFFFFFFFFFFF
HEADER = struct.Struct("<8sIIIIQQQ")
RECORD = struct.Struct("<IIQ")
ENTRY = struct.Struct("<IQII")


def deflate(data):
    c = zlib.compressobj(6, zlib.DEFLATED, 15, 8)
    return c.compress(data) + c.flush()


def inflate_at(data, offset):
    """Inflates the zlib stream at offset; returns (text, compressed size)."""
    d = zlib.decompressobj()
    text = d.decompress(data[offset:])
    if not d.eof:
        raise ValueError("no complete stream at %d" % offset)
    return text, len(data) - offset - len(d.unused_data)


class Entry:
    def __init__(self, raw):
        self.length, self.block, self.start, self.article = ENTRY.unpack_from(raw, 0)
        self.text = raw[ENTRY.size:]

    def pack(self):
        return ENTRY.pack(self.length, self.block, self.start, self.article) + self.text


class Dictionary:
    """A compiled dictionary taken apart: header fields, substitution bytes, article blocks
    (compressed), group records and the entries of each section."""

    def __init__(self, data):
        magic, self.group_count, self.code_page, self.text_flag, self.entry_count, ado, gto, sdo = \
            HEADER.unpack_from(data, 0)
        assert magic == MAGIC
        self.substitutions = data[48:ado]
        self.blocks = []
        at = ado
        while at < gto:
            _, size = inflate_at(data, at)
            self.blocks.append(data[at:at + size])
            at += size
        self.records = [list(RECORD.unpack_from(data, gto + 16 * i)) for i in range(self.group_count)]
        self.sections = []
        for i, (key, count, offset) in enumerate(self.records):
            text, _ = inflate_at(data, sdo + offset)
            entries, at = [], 0
            while at < len(text):
                length = struct.unpack_from("<I", text, at)[0]
                size = ENTRY.size + 4 * length
                entries.append(Entry(text[at:at + size]))
                at += size
            assert len(entries) == count
            self.sections.append(entries)

    def block_offsets(self):
        offsets, at = [], 0
        for block in self.blocks:
            offsets.append(at)
            at += len(block)
        return offsets

    def build(self, header=None, records=None, sections=None, article_data=None):
        """The file's bytes. Counts and offsets follow the content unless `header` (a dict of
        fields) or `records` (the group records as they are to stand) say otherwise; `sections`
        replaces the compressed sections."""
        if sections is None:
            sections = [deflate(b"".join(e.pack() for e in entries)) for entries in self.sections]
        if article_data is None:
            article_data = b"".join(self.blocks)
        if records is None:
            records, at = [], 0
            for (key, _, _), entries, section in zip(self.records, self.sections, sections):
                records.append([key, len(entries), at])
                at += len(section)
        table = b"".join(RECORD.pack(*r) for r in records)
        fields = {
            "magic": MAGIC,
            "group_count": len(records),
            "code_page": self.code_page,
            "text_flag": self.text_flag,
            "entry_count": sum(r[1] for r in records),
            "ado": 48 + len(self.substitutions),
        }
        fields["gto"] = fields["ado"] + len(article_data)
        fields["sdo"] = fields["gto"] + len(table)
        fields.update(header or {})
        head = HEADER.pack(fields["magic"], fields["group_count"], fields["code_page"],
                           fields["text_flag"], fields["entry_count"], fields["ado"], fields["gto"],
                           fields["sdo"])
        return head + self.substitutions + article_data + table + b"".join(sections)

    def copy(self):
        other = Dictionary.__new__(Dictionary)
        other.__dict__.update(self.__dict__)
        other.records = [list(r) for r in self.records]
        other.sections = [[Entry(e.pack()) for e in s] for s in self.sections]
        other.blocks = list(self.blocks)
        return other


def set_u32(data, offset, value):
    return data[:offset] + struct.pack("<I", value & 0xFFFFFFFF) + data[offset + 4:]


def set_u64(data, offset, value):
    return data[:offset] + struct.pack("<Q", value) + data[offset + 8:]


def first_article(d):
    """(group, entry) of the first entry that has an article."""
    for g, entries in enumerate(d.sections):
        for i, e in enumerate(entries):
            if e.article:
                return g, i
    raise ValueError("no article")


def single_group(d, entries, key=0x00410041):
    """A dictionary like d with one group holding `entries`."""
    other = d.copy()
    other.records = [[key, len(entries), 0]]
    other.sections = [entries]
    return other


def entry(headword, block, start, length):
    units = headword.encode("utf-16-le")
    folded = headword.upper().encode("utf-16-le")
    return Entry(ENTRY.pack(len(headword), block, start, length) + units + folded)


def cases(base, scale):
    d = Dictionary(base)
    size = len(base)
    _, _, _, _, _, ado, gto, sdo = HEADER.unpack_from(base, 0)
    large = scale == "large"
    out = {}

    # The header.
    out["header-short"] = base[:47]
    out["header-magic"] = b"Z" + base[1:8].lower() + base[8:]
    out["header-text-flag-2"] = set_u32(base, 16, 2)
    out["header-offsets-out-of-order"] = set_u64(base, 32, sdo + 1)
    out["header-code-page-0"] = set_u32(base, 12, 0)
    out["header-code-page-minus-1"] = set_u32(base, 12, -1)
    out["header-code-page-unsupported"] = set_u32(base, 12, 1201)

    # The group table and the header's counts.
    out["group-count-0"] = set_u32(base, 8, 0)
    out["group-count-10-of-27"] = set_u32(base, 8, 10)
    out["group-count-beyond-table"] = set_u32(base, 8, d.group_count + 5)
    out["group-table-partial-record"] = set_u64(base, 40, sdo - 8)
    out["section-data-beyond-file"] = set_u64(base, 40, size + 16)
    out["entry-count-wrong"] = set_u32(base, 20, d.entry_count + 1)
    out["article-data-offset-misaligned"] = set_u64(base, 24, ado - 2)
    keys = [list(r) for r in d.records]
    keys[3][0], keys[4][0] = keys[4][0], keys[3][0]
    out["group-keys-not-ascending"] = d.build(records=keys)
    same = [list(r) for r in d.records]
    for r in same:
        r[2] = 0
    out["group-records-one-section"] = d.build(records=same)
    overlap = [list(r) for r in d.records]
    overlap[5][2] = overlap[6][2]
    out["group-section-length-0"] = d.build(records=overlap)
    swapped = [list(r) for r in d.records]
    swapped[5][2], swapped[6][2] = swapped[6][2], swapped[5][2]
    out["group-sections-out-of-order"] = d.build(records=swapped)
    gap = [list(r) for r in d.records]
    for r in gap[8:]:
        r[2] += 7
    sections = [deflate(b"".join(e.pack() for e in s)) for s in d.sections]
    out["group-section-gap"] = d.build(
        records=gap, sections=sections[:8] + [b"\0" * 7] + sections[8:])
    out["group-section-offset-wraps"] = d.build(
        records=[r[:2] + [NONE - 3] if i == 2 else r for i, r in enumerate(d.records)])

    # Sections.
    def chained(compressed, counts=None):
        """Records whose offsets follow `compressed` back to back, with the entry counts of
        the sound file unless `counts` says otherwise."""
        recs, at = [], 0
        for i, ((key, count, _), section) in enumerate(zip(d.records, compressed)):
            recs.append([key, counts[i] if counts else count, at])
            at += len(section)
        return recs

    fewer = [deflate(b"") if i == 2 else s for i, s in enumerate(sections)]
    out["section-no-entries"] = d.build(records=chained(fewer), sections=fewer)
    g = max(range(len(d.sections)), key=lambda i: len(d.sections[i]))
    counts = [len(s) - (1 if i == g else 0) for i, s in enumerate(d.sections)]
    out["section-more-entries-than-record"] = d.build(
        records=chained(sections, counts), sections=sections)
    broken = list(sections)
    broken[3] = broken[3][:6] + bytes([broken[3][6] ^ 0x55]) + broken[3][7:]
    out["section-corrupt"] = d.build(sections=broken)
    zero = d.copy()
    zero.sections[1][0].length = 0
    out["section-headword-length-0"] = zero.build()
    longer = d.copy()
    longer.sections[1][0].length = 1024
    out["section-headword-length-1024"] = longer.build()
    raw = b"".join(e.pack() for e in d.sections[2])
    cut = [deflate(raw[:-3]) if i == 2 else s for i, s in enumerate(sections)]
    out["section-ends-inside-entry"] = d.build(records=chained(cut), sections=cut)
    out["file-truncated"] = base[:size - 40]
    out["file-trailing-bytes"] = base + b"\0" * 9

    # Article locations.
    fg, fi = first_article(d)
    offsets = d.block_offsets()

    def with_entry(change):
        other = d.copy()
        change(other.sections[fg][fi])
        return other.build()

    def into_sections(e):
        # The first section is a zlib stream too: its entry headers would be taken for text.
        e.block, e.start, e.article = sdo - ado, 0, 16

    out["article-block-in-section-data"] = with_entry(into_sections)
    out["article-block-in-group-table"] = with_entry(
        lambda e: setattr(e, "block", gto - ado))
    out["article-block-beyond-file"] = with_entry(lambda e: setattr(e, "block", 1 << 40))
    out["article-block-none"] = with_entry(lambda e: setattr(e, "block", NONE))
    out["article-block-inside-a-block"] = with_entry(lambda e: setattr(e, "block", 3))
    out["article-empty-with-block"] = with_entry(lambda e: setattr(e, "article", 0))
    out["article-start-past-block"] = with_entry(lambda e: setattr(e, "start", 5000))
    out["article-start-past-8192"] = with_entry(lambda e: setattr(e, "start", 8193))
    out["article-runs-past-block"] = with_entry(lambda e: setattr(e, "article", 100000))
    out["article-length-wraps"] = with_entry(lambda e: setattr(e, "article", 0xFFFFFFFF))

    twice = d.copy()
    pair = next(s for s in twice.sections if sum(1 for e in s if e.article) >= 2)
    first, second = [e for e in pair if e.article][:2]
    second.block, second.start, second.article = first.block, first.start, first.article
    out["article-twice-in-group"] = twice.build()
    back = d.copy()
    last = back.sections[-1][-1]
    src = d.sections[fg][fi]
    last.block, last.start, last.article = src.block, src.start, src.article
    out["article-of-an-earlier-group"] = back.build()
    corrupt_blocks = list(d.blocks)
    corrupt_blocks[0] = corrupt_blocks[0][:10] + bytes([corrupt_blocks[0][10] ^ 0x5A]) + \
        corrupt_blocks[0][11:]
    out["article-block-corrupt"] = d.build(article_data=b"".join(corrupt_blocks))

    # Hostile files: small, but costly for a reader that trusts them.
    # One article of 2^26 units (2^30 at full size), sound in every other way.
    units = (1 << 30) if large else (1 << 26)
    text = b"a" * units
    huge = d.copy()
    huge.blocks = [deflate(text)]
    huge.records = [[0x00410041, 1, 0]]
    huge.sections = [[entry("a", 0, 0, units)]]
    out["hostile-huge-article"] = huge.build()
    # The same article claimed one unit longer than its block holds.
    huge.sections = [[entry("a", 0, 0, units + 1)]]
    out["hostile-huge-article-past-block"] = huge.build()

    # Many entries of one group naming the same article of a large block.
    text_units = (1 << 20) if large else (1 << 18)
    copies = 12000 if large else 1000
    bomb = d.copy()
    bomb.blocks = [deflate(b"w" * text_units)]
    bomb = single_group(bomb, [entry("b", 0, 0, text_units) for _ in range(copies)])
    out["hostile-same-article-again"] = bomb.build()

    # Many group records naming one section that inflates to far more than it holds: entries
    # whose text never ends.
    bomb_bytes = (1 << 30) if large else (1 << 24)
    records_count = 1000
    sec = d.copy()
    sec.blocks = [deflate(b"")]
    section = deflate(ENTRY.pack(1000, NONE, 0, 0) + b"\x41\0" * (bomb_bytes // 2))
    recs = [[0x00410000 + i, 1, 0] for i in range(records_count)]
    out["hostile-records-one-section-bomb"] = sec.build(
        records=recs, sections=[section], header={"entry_count": records_count})

    # One group whose entries name a million distinct block offsets, none a stream.
    distinct = 1000000
    many = d.copy()
    many_entries = [entry("c", i, 0, 1) for i in range(distinct)]
    many.sections = [many_entries]
    many.records = [[0x00430000, distinct, 0]]
    out["hostile-distinct-block-offsets"] = many.build(article_data=b"\0" * distinct)
    return out


def run_case(binary, case_dir, name):
    work = tempfile.mkdtemp(prefix="zorvak-damaged-")
    try:
        src = os.path.join(case_dir, "d.zorvak")
        target = os.path.join(work, "d.zorvak")
        if os.path.exists(src + ".gz"):
            with gzip.open(src + ".gz", "rb") as f, open(target, "wb") as t:
                shutil.copyfileobj(f, t)
        else:
            shutil.copy(src, target)
        proc = subprocess.run([os.path.abspath(binary), "d.zorvak", "0"], cwd=work,
                              stdout=subprocess.PIPE)
        with open(os.path.join(case_dir, "stdout"), "wb") as f:
            f.write(proc.stdout)
        with open(os.path.join(case_dir, "status"), "w") as f:
            f.write("%d\n" % proc.returncode)
        names = sorted(os.listdir(work))
        with open(os.path.join(case_dir, "files"), "w") as f:
            f.write("".join(n + "\n" for n in names))
        shutil.rmtree(os.path.join(case_dir, "out"), ignore_errors=True)
        for leftover in ("text",):
            if os.path.exists(os.path.join(case_dir, leftover)):
                os.remove(os.path.join(case_dir, leftover))
        txt = os.path.join(work, "d.zorvak.txt")
        if os.path.exists(txt):
            data = open(txt, "rb").read()
            if len(data) <= 4096:
                os.makedirs(os.path.join(case_dir, "out"))
                shutil.copy(txt, os.path.join(case_dir, "out", "d.zorvak.txt"))
            else:
                with open(os.path.join(case_dir, "text"), "w") as f:
                    f.write("%d %08x\n" % (len(data), zlib.crc32(data)))
        print("%-40s %d" % (name, proc.returncode))
    finally:
        shutil.rmtree(work)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--base", default=os.path.join(HERE, "sample.zorvak"))
    parser.add_argument("--out", default=HERE)
    parser.add_argument("--scale", choices=["test", "large"], default="test")
    parser.add_argument("--expect", metavar="BINARY")
    args = parser.parse_args()
    base = open(args.base, "rb").read()
    made = cases(base, args.scale)
    for name, data in sorted(made.items()):
        case_dir = os.path.join(args.out, name)
        os.makedirs(case_dir, exist_ok=True)
        for old in ("d.zorvak", "d.zorvak.gz"):
            if os.path.exists(os.path.join(case_dir, old)):
                os.remove(os.path.join(case_dir, old))
        if len(data) > 16384:
            # mtime 0 keeps the gzip bytes the same on every run.
            with open(os.path.join(case_dir, "d.zorvak.gz"), "wb") as raw:
                with gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0) as f:
                    f.write(data)
        else:
            with open(os.path.join(case_dir, "d.zorvak"), "wb") as f:
                f.write(data)
        if args.expect:
            run_case(args.expect, case_dir, name)
    return 0


if __name__ == "__main__":
    sys.exit(main())
