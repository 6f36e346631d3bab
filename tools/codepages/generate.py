#!/usr/bin/env python3
"""Writes text/codepage_data_generated.cpp: the byte-to-unit tables of the 29 single-byte and
4 double-byte code pages that zorvak decodes.

    python3 tools/codepages/generate.py [output-file]

Each table is the vendor's published mapping plus the rows in which the system conversion of
those code pages departs from it. The published mappings come from Python's codecs (which are
built from those mapping files); the double-byte pages 936, 949 and 950 are read from ICU's
converters windows-936-2000, windows-949-2000 and windows-950-2000 (the `uconv` tool of
Debian's icu-devtools) and checked to equal the published mapping plus the private-use areas
listed below, pair by pair. Every known decoding example is checked against the finished
tables before anything is written.
"""

import os
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_OUTPUT = os.path.join(HERE, '..', '..', 'text', 'codepage_data_generated.cpp')


def fail(message):
    sys.exit('generate.py: ' + message)


def hexlist(units):
    return ' '.join('%04X' % u for u in units)


# ---------------------------------------------------------------------------------------------
# Single-byte pages

SAME = 'same'  # the byte decodes to the unit of the same value

# code page -> (Python codec or None, {byte: unit or SAME}); rows are applied over the codec.
SINGLE_BYTE = [
    (437, 'cp437', {}),
    (850, 'cp850', {}),
    (855, 'cp855', {}),
    (860, 'cp860', {}),
    (861, 'cp861', {}),
    (863, 'cp863', {}),
    (865, 'cp865', {}),
    (866, 'cp866', {}),
    (874, 'cp874', {
        **{b: SAME for b in [0x81, 0x82, 0x83, 0x84] + list(range(0x86, 0x91)) + list(range(0x98, 0xA0))},
        **{0xDB + i: 0xF8C1 + i for i in range(4)},
        **{0xFC + i: 0xF8C5 + i for i in range(4)},
    }),
    (1250, 'cp1250', {b: SAME for b in [0x81, 0x83, 0x88, 0x90, 0x98]}),
    (1251, 'cp1251', {0x98: 0x0098}),
    (1252, 'cp1252', {b: SAME for b in [0x81, 0x8D, 0x8F, 0x90, 0x9D]}),
    (1253, 'cp1253', {
        **{b: SAME for b in [0x81, 0x88, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x98, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F]},
        0xAA: 0xF8F9, 0xD2: 0xF8FA, 0xFF: 0xF8FB,
    }),
    (1254, 'cp1254', {b: SAME for b in [0x81, 0x8D, 0x8E, 0x8F, 0x90, 0x9D, 0x9E]}),
    (1255, 'cp1255', {
        **{b: SAME for b in [0x81, 0x8A, 0x8C, 0x8D, 0x8E, 0x8F, 0x90, 0x9A, 0x9C, 0x9D, 0x9E, 0x9F]},
        0xCA: 0x05BA,
        **{0xD9 + i: 0xF88D + i for i in range(7)},
        0xFB: 0xF894, 0xFC: 0xF895, 0xFF: 0xF896,
    }),
    (1256, 'cp1256', {}),
    (1257, 'cp1257', {
        **{b: SAME for b in [0x81, 0x83, 0x88, 0x8A, 0x8C, 0x90, 0x98, 0x9A, 0x9C, 0x9F]},
        0xA1: 0xF8FC, 0xA5: 0xF8FD,
    }),
    (1258, 'cp1258', {b: SAME for b in [0x81, 0x8A, 0x8D, 0x8E, 0x8F, 0x90, 0x9A, 0x9D, 0x9E]}),
    (10000, 'mac_roman', {0xBD: 0x2126}),
    (10007, 'mac_cyrillic', {0xA2: 0x00A2, 0xB6: 0x2202, 0xFF: 0x00A4}),
    (10017, 'mac_cyrillic', {0xFF: 0x00A4}),
    (10079, 'mac_iceland', {0xBD: 0x2126, 0xDB: 0x00A4}),
    (20127, None, {b: b - 0x80 for b in range(0x80, 0x100)}),
    (20866, 'koi8_r', {}),
    (21866, 'koi8_u', {0xAE: 0x045E, 0xBE: 0x040E}),
    (28591, 'latin_1', {}),
    (28592, 'iso8859_2', {}),
    (28595, 'iso8859_5', {}),
    (28605, 'iso8859_15', {}),
]


def codec_byte(codec, b):
    try:
        s = bytes([b]).decode(codec)
    except UnicodeDecodeError:
        return None
    if len(s) != 1:
        fail('%s decodes %02X to %d units' % (codec, b, len(s)))
    return ord(s)


def single_byte_page(cp, codec, rows):
    units = []
    for b in range(0x80, 0x100):
        published = codec_byte(codec, b) if codec else None
        unit = published
        if b in rows:
            unit = b if rows[b] is SAME else rows[b]
            if codec and published == unit:
                fail('cp %d: row %02X is listed as a difference but the published mapping has it' % (cp, b))
        if unit is None:
            fail('cp %d: byte %02X has no unit' % (cp, b))
        units.append(unit)
    return units


# ---------------------------------------------------------------------------------------------
# Double-byte pages

TRAILS = range(0x40, 0xFF)


def pairs_from_codec(codec):
    """Every lead/trail pair (lead 81-FE, trail 40-FE) that a Python codec decodes to one unit."""
    m = {}
    for lead in range(0x81, 0xFF):
        for trail in TRAILS:
            try:
                s = bytes([lead, trail]).decode(codec)
            except UnicodeDecodeError:
                continue
            if len(s) == 1:
                m[(lead, trail)] = ord(s)
    return m


def pairs_from_uconv(converter):
    """Every lead/trail pair that ICU's converter decodes to one unit. Each pair is followed by a
    line feed so that a pair the converter rejects cannot run into the next one."""
    if shutil.which('uconv') is None:
        fail('uconv not found; install it with: apt-get install icu-devtools')
    data = bytearray()
    order = []
    for lead in range(0x81, 0xFF):
        for trail in TRAILS:
            data += bytes([lead, trail, 0x0A])
            order.append((lead, trail))
    run = subprocess.run(['uconv', '-f', converter, '-t', 'UTF-16LE', '--from-callback', 'substitute'],
                         input=bytes(data), capture_output=True, check=True)
    pieces = run.stdout.decode('utf-16le').split('\n')[:-1]
    if len(pieces) != len(order):
        fail('%s: %d pieces for %d pairs' % (converter, len(pieces), len(order)))
    return {p: ord(s) for p, s in zip(order, pieces) if len(s) == 1 and s != '\ufffd'}


def area(leads, trails):
    """Pairs of an area in order of lead and trail byte."""
    return [(lead, t) for lead in leads for t in trails]


def assign(area_pairs, first_unit):
    return {p: first_unit + i for i, p in enumerate(area_pairs)}


def check_uconv(cp, table, converter, skip=()):
    """The ICU converter must agree with the table on every pair (7F trails and pairs in `skip`
    aside, where the converter is known to differ)."""
    other = pairs_from_uconv(converter)
    for p in set(other) | set(table):
        if p[1] == 0x7F or p in skip:
            continue
        if other.get(p) != table.get(p):
            fail('cp %d: %02X%02X is %s in the table but %s in %s' %
                 (cp, p[0], p[1], table.get(p), other.get(p), converter))


def page_936():
    table = pairs_from_codec('gbk')
    pua = {}
    pua.update(assign(area(range(0xAA, 0xB0), range(0xA1, 0xFF)), 0xE000))
    pua.update(assign(area(range(0xF8, 0xFF), range(0xA1, 0xFF)), 0xE234))
    pua.update(assign(area(range(0xA1, 0xA8), list(range(0x40, 0x7F)) + list(range(0x80, 0xA1))), 0xE4C6))
    # The remaining unmapped pairs of these lead bytes, in order of lead and trail byte.
    further = [p for p in area([0xA2] + list(range(0xA4, 0xAA)) + [0xD7, 0xFE], TRAILS)
               if p[1] != 0x7F and p not in table and p not in pua]
    if len(further) != 255:
        fail('cp 936: %d further private-use pairs, expected 255' % len(further))
    pua.update(assign(further, 0xE766))
    for p in pua:
        if p in table:
            fail('cp 936: private-use pair %02X%02X is mapped by the published table' % p)
    table.update(pua)
    check_uconv(936, table, 'windows-936-2000')
    # The trail byte 7F inside a lead byte's range stands for "?" as a pair.
    for lead in range(0x81, 0xFF):
        table[(lead, 0x7F)] = 0x003F
    lead_singles = {0x80: 0x20AC, 0xFF: 0xF8F5}
    return table, lead_singles


def page_949():
    table = pairs_from_codec('cp949')
    pua = {}
    pua.update(assign(area([0xC9], range(0xA1, 0xFF)), 0xE000))
    pua.update(assign(area([0xFE], range(0xA1, 0xFF)), 0xE05E))
    for p in pua:
        if p in table:
            fail('cp 949: private-use pair %02X%02X is mapped by the published table' % p)
    table.update(pua)
    check_uconv(949, table, 'windows-949-2000')
    return table, {0x80: 0x0080, 0xFF: 0xF8F7}


def page_950():
    table = pairs_from_codec('cp950')
    big5_trails = list(range(0x40, 0x7F)) + list(range(0xA1, 0xFF))
    c6_c8 = area([0xC6], range(0xA1, 0xFF)) + area([0xC7, 0xC8], big5_trails)
    # Python's codec adds vendor extensions in C6A1-C8FE that the published mapping lacks;
    # that area is private use here.
    for p in c6_c8:
        table.pop(p, None)
    pua = {}
    pua.update(assign(area(range(0xFA, 0xFF), big5_trails), 0xE000))
    pua.update(assign(area(range(0x8E, 0xA1), big5_trails), 0xE311))
    pua.update(assign(area(range(0x81, 0x8E), big5_trails), 0xEEB8))
    pua.update(assign(c6_c8, 0xF6B1))
    for p in pua:
        if p in table:
            fail('cp 950: private-use pair %02X%02X is mapped by the published table' % p)
    if max(pua.values()) != 0xF848:
        fail('cp 950: private-use area ends at %04X' % max(pua.values()))
    table.update(pua)
    check_uconv(950, table, 'windows-950-2000')
    return table, {0x80: 0x0080, 0xFF: 0xF8F8}


def page_932():
    table = pairs_from_codec('cp932')
    # The user-defined area F040-F9FC decodes to U+E000-U+E757; the codec already does this.
    user = assign(area(range(0xF0, 0xFA), list(range(0x40, 0x7F)) + list(range(0x80, 0xFD))), 0xE000)
    if max(user.values()) != 0xE757:
        fail('cp 932: user-defined area ends at %04X' % max(user.values()))
    for p, u in user.items():
        if table.get(p) != u:
            fail('cp 932: %02X%02X is %s, expected %04X' % (p[0], p[1], table.get(p), u))
    singles = {0x80: 0x0080, 0xA0: 0xF8F0}
    singles.update({0xA1 + i: 0xFF61 + i for i in range(0x3F)})
    singles.update({0xFD: 0xF8F1, 0xFE: 0xF8F2, 0xFF: 0xF8F3})
    for b, u in list(singles.items()):
        if codec_byte('cp932', b) != u:
            fail('cp 932: single byte %02X is %s in the codec, expected %04X' % (b, codec_byte('cp932', b), u))
    singles.update({b: 0x30FB for b in [0x85, 0x86, 0xEB, 0xEC, 0xEF]})
    return table, singles


DOUBLE_BYTE = [(932, 0x30FB, page_932), (936, 0x003F, page_936), (949, 0x003F, page_949),
               (950, 0x003F, page_950)]

LINEAR_MIN = 64  # a stretch of consecutive units at least this long gets a linear record;
# shorter ones stay in table records, which keeps the walk for a lead byte short


def range_records(table, lead_singles):
    """Builds the lead table, range records and unit pool of one double-byte page."""
    for p, u in table.items():
        if p[0] in lead_singles:
            fail('pair %02X%02X has a single-byte lead' % p)
        if u == 0:
            fail('pair %02X%02X decodes to U+0000' % p)  # the decoder reads 0 as "no pair"
    leads = [0] * 128
    records = []  # (lead, first, kind, last, value)
    pool = []
    for lead in range(0x80, 0x100):
        if lead in lead_singles:
            leads[lead - 0x80] = lead_singles[lead] << 16
            continue
        leads[lead - 0x80] = len(records)
        trails = sorted(t for (l, t) in table if l == lead)
        i = 0
        while i < len(trails):
            # one contiguous stretch of trail bytes
            j = i
            while j + 1 < len(trails) and trails[j + 1] == trails[j] + 1:
                j += 1
            stretch = trails[i:j + 1]
            units = [table[(lead, t)] for t in stretch]
            k = 0
            pending = []  # trail positions waiting for a table record
            while k < len(stretch):
                n = 1
                while k + n < len(stretch) and units[k + n] == units[k] + n:
                    n += 1
                if n >= LINEAR_MIN:
                    if pending:
                        records.append((lead, stretch[pending[0]], 0, stretch[pending[-1]], len(pool)))
                        pool.extend(units[pending[0]:pending[-1] + 1])
                        pending = []
                    records.append((lead, stretch[k], 1, stretch[k + n - 1], units[k]))
                else:
                    pending.extend(range(k, k + n))
                k += n
            if pending:
                records.append((lead, stretch[pending[0]], 0, stretch[pending[-1]], len(pool)))
                pool.extend(units[pending[0]:pending[-1] + 1])
            i = j + 1
    records.append((0, 0, 0, 0, 0))
    return leads, records, pool


# ---------------------------------------------------------------------------------------------
# Reference decoders over the finished tables, used to check the known examples.

def decode_single(page_units, data):
    return [b if b < 0x80 else page_units[b - 0x80] for b in data]


def decode_double(page, data):
    leads, records, pool, default = page
    data = bytes(data) + b'\0'
    out = []
    i = 0
    while data[i] != 0:
        b = data[i]
        if b < 0x80:
            out.append(b)
            i += 1
            continue
        entry = leads[b - 0x80]
        if entry >> 16:
            out.append(entry >> 16)
            i += 1
            continue
        t = data[i + 1]
        unit = None
        r = entry
        while records[r][0] != 0 and records[r][0] <= b:
            lead, first, kind, last, value = records[r]
            if lead == b and first <= t <= last:
                unit = value + (t - first) if kind == 1 else pool[value + t - first]
                break
            r += 1
        if unit is not None:
            out.append(unit)
            i += 2
        elif t == 0:
            out.append(0)
            i += 1
        else:
            out.append(default)
            i += 1
    return out


def check_examples(single, double):
    def expect(cp, data, units):
        got = decode_single(single[cp], data) if cp in single else decode_double(double[cp], data)
        if got != units:
            fail('cp %d: %s decodes to %s, expected %s' % (cp, bytes(data).hex(' '), hexlist(got), hexlist(units)))

    expect(1252, [0x41, 0x80, 0x81], [0x0041, 0x20AC, 0x0081])
    expect(20127, [0xC1], [0x0041])
    expect(20127, [0x80], [0x0000])
    expect(932, [0x81, 0x40], [0x3000])
    expect(932, [0x82, 0xA0], [0x3042])
    expect(932, [0xB1], [0xFF71])
    expect(932, [0x81, 0x7F], [0x30FB, 0x007F])
    expect(932, [0x85, 0x41], [0x30FB, 0x0041])
    expect(932, [0x81], [0x0000])
    expect(932, [0x80, 0xA0, 0xDF, 0xFD, 0xFF], [0x0080, 0xF8F0, 0xFF9F, 0xF8F1, 0xF8F3])
    expect(932, [0xF0, 0x40, 0xF9, 0xFC], [0xE000, 0xE757])
    expect(936, [0x81, 0x40], [0x4E02])
    expect(936, [0x81, 0x7F], [0x003F])
    expect(936, [0xAA, 0xA1], [0xE000])
    expect(936, [0xAF, 0xFE, 0xF8, 0xA1, 0xFE, 0xFE], [0xE233, 0xE234, 0xE4C5])
    expect(936, [0xA1, 0x40, 0xA7, 0xA0], [0xE4C6, 0xE765])
    expect(936, [0xA2, 0xAB, 0xA2, 0xB0], [0xE766, 0xE76B])
    expect(936, [0xD7, 0xFA, 0xD7, 0xFE], [0xE810, 0xE814])
    expect(936, [0xFE, 0x50, 0xFE, 0x7E], [0xE815, 0xE843])
    expect(936, [0x80, 0xFF], [0x20AC, 0xF8F5])
    expect(949, [0xB0, 0xA1], [0xAC00])
    expect(949, [0xA1, 0x40], [0x003F, 0x0040])
    expect(949, [0xC9, 0xA1, 0xC9, 0xFE, 0xFE, 0xA1, 0xFE, 0xFE], [0xE000, 0xE05D, 0xE05E, 0xE0BB])
    expect(949, [0x80, 0xFF], [0x0080, 0xF8F7])
    expect(950, [0xA4, 0x40], [0x4E00])
    expect(950, [0xC6, 0xA1], [0xF6B1])
    expect(950, [0xFA, 0x40, 0xFE, 0xFE], [0xE000, 0xE310])
    expect(950, [0x8E, 0x40, 0xA0, 0xFE], [0xE311, 0xEEB7])
    expect(950, [0x81, 0x40, 0x8D, 0xFE], [0xEEB8, 0xF6B0])
    expect(950, [0xC6, 0xFE, 0xC7, 0x40, 0xC8, 0xFE], [0xF70E, 0xF70F, 0xF848])
    expect(950, [0x80, 0xFF], [0x0080, 0xF8F8])


# ---------------------------------------------------------------------------------------------
# Output

def wrap(items, per_line, indent='    '):
    lines = []
    for i in range(0, len(items), per_line):
        lines.append(indent + ', '.join(items[i:i + per_line]) + ',')
    return lines


def render(single, double):
    out = [
        '// Generated by tools/codepages/generate.py; do not edit, re-run the generator instead.',
        '// Byte-to-unit tables of the single-byte and double-byte code pages.',
        '',
        '#include "text/codepage.h"',
        '',
        'namespace zorvak {',
        '',
        '// clang-format off',
        'namespace {',
        '',
    ]
    for cp, (leads, records, pool, default) in double.items():
        out.append('constexpr uint32_t kLeads%d[128] = {' % cp)
        out += wrap(['0x%08X' % e for e in leads], 8)
        out.append('};')
        out.append('')
        out.append('constexpr DbcsRange kRanges%d[] = {' % cp)
        out += wrap(['{0x%02X%02X%02X%02X, 0x%04X}' % (lead, first, kind, last, value)
                     for lead, first, kind, last, value in records], 4)
        out.append('};')
        out.append('')
        out.append('constexpr uint16_t kPool%d[] = {' % cp)
        out += wrap(['0x%04X' % u for u in pool] or ['0'], 12)
        out.append('};')
        out.append('')
    out.append('}  // namespace')
    out.append('')
    out.append('const std::array<SbcsPage, %d> kSbcsPages = {{' % len(single))
    for cp, units in single.items():
        out.append('  {%d, 0x80, 0xFF, {' % cp)
        out += wrap(['0x%04X' % u for u in units], 12, '    ')
        out.append('  }},')
    out.append('}};')
    out.append('')
    out.append('const std::array<DbcsPage, %d> kDbcsPages = {{' % len(double))
    for cp, (leads, records, pool, default) in double.items():
        out.append('  {%d, 0x%04X, kLeads%d, kRanges%d, kPool%d},' % (cp, default, cp, cp, cp))
    out.append('}};')
    out.append('// clang-format on')
    out.append('')
    out.append('}  // namespace zorvak')
    out.append('')
    return '\n'.join(out)


def main():
    output = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else DEFAULT_OUTPUT)
    single = {cp: single_byte_page(cp, codec, rows) for cp, codec, rows in SINGLE_BYTE}
    if len(single) != 29:
        fail('%d single-byte pages' % len(single))
    double = {}
    for cp, default, build in DOUBLE_BYTE:
        table, lead_singles = build()
        for b in range(0x80, 0x100):
            if b not in lead_singles and not any(l == b for (l, _) in table):
                fail('cp %d: lead byte %02X has no pairs' % (cp, b))
        leads, records, pool = range_records(table, lead_singles)
        double[cp] = (leads, records, pool, default)
        # The records must give back every pair of the table and nothing else.
        for lead in range(0x81, 0xFF):
            if lead in lead_singles:
                continue
            for t in range(0x01, 0x100):
                got = decode_double(double[cp], [lead, t])
                if (lead, t) in table:
                    want = [table[(lead, t)]]
                else:
                    want = [default] + decode_double(double[cp], [t])
                if got != want:
                    fail('cp %d: records give %s for %02X%02X' % (cp, hexlist(got), lead, t))
    check_examples(single, double)
    with open(output, 'w', newline='\n') as f:
        f.write(render(single, double))
    print('wrote %s' % output)


if __name__ == '__main__':
    main()
