// Writes text/char_table_generated.inc: the character property table of every UTF-16 code unit
// (Unicode 5.1.0 general category and case partner) as runs of equal rule, which
// text/char_table.cpp expands into the flat 65536-entry array at compile time.
//
//   npm ci && node generate.mjs [output-file]
//
// The data comes from the pinned npm package @unicode/unicode-5.1.0. Before writing, the
// expanded table is checked against the known number of entries per class and a set of
// telling entries; any mismatch aborts without touching the output.

import { writeFileSync } from 'node:fs';
import { dirname, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';

const here = dirname(fileURLToPath(import.meta.url));
const output = resolve(process.argv[2] ?? resolve(here, '../../text/char_table_generated.inc'));
const ucd = '@unicode/unicode-5.1.0';

// General category -> [class, partner rule]. A partner rule is 'self', 'upper' (simple upper-case
// mapping or self), 'lower' (simple lower-case mapping or self) or a fixed unit.
const categories = {
  Control: ['Cc', 0x0101, 'self'],
  Format: ['Cf', 0x0102, 'self'],
  Private_Use: ['Co', 0x0108, 'self'],
  Surrogate: ['Cs', 0x0110, 'self'],
  Lowercase_Letter: ['Ll', 0x0202, 'upper'],
  Modifier_Letter: ['Lm', 0x0204, 'self'],
  Other_Letter: ['Lo', 0x0208, 'self'],
  Titlecase_Letter: ['Lt', 0x0210, 'self'],
  Uppercase_Letter: ['Lu', 0x0220, 'lower'],
  Spacing_Mark: ['Mc', 0x0401, 0],
  Enclosing_Mark: ['Me', 0x0402, 0],
  Nonspacing_Mark: ['Mn', 0x0404, 0],
  Decimal_Number: ['Nd', 0x0801, 0x20],
  Letter_Number: ['Nl', 0x0802, 0x20],
  Other_Number: ['No', 0x0804, 0x20],
  Connector_Punctuation: ['Pc', 0x1001, 0x2e],
  Dash_Punctuation: ['Pd', 0x1002, 0x2d],
  Close_Punctuation: ['Pe', 0x1004, 0x29],
  Final_Punctuation: ['Pf', 0x1008, 0x5d],
  Initial_Punctuation: ['Pi', 0x1010, 0x5b],
  Other_Punctuation: ['Po', 0x1020, 0x2e],
  Open_Punctuation: ['Ps', 0x1040, 0x28],
  Currency_Symbol: ['Sc', 0x2001, 'self'],
  Modifier_Symbol: ['Sk', 0x2002, 0],
  Math_Symbol: ['Sm', 0x2004, 'self'],
  Other_Symbol: ['So', 0x2008, 'self'],
  Line_Separator: ['Zl', 0x4001, 0x20],
  Paragraph_Separator: ['Zp', 0x4002, 0x20],
  Space_Separator: ['Zs', 0x4004, 0x20],
};

// Expected number of entries per class in the complete table; they add up to 65536.
const expectedCounts = {
  0x0000: 3692, 0x0101: 65, 0x0102: 34, 0x0108: 6400, 0x0110: 2048, 0x0202: 1216,
  0x0204: 187, 0x0208: 45301, 0x0210: 31, 0x0220: 937, 0x0401: 228, 0x0402: 13,
  0x0404: 753, 0x0801: 310, 0x0802: 55, 0x0804: 265, 0x1001: 10, 0x1002: 20,
  0x1004: 71, 0x1008: 10, 0x1010: 12, 0x1020: 296, 0x1040: 72, 0x2001: 41,
  0x2002: 99, 0x2004: 935, 0x2008: 2415, 0x4001: 1, 0x4002: 1, 0x4004: 18,
};

// unit -> [class, partner] that the table must hold.
const tellingEntries = [
  [0x0000, 0x0101, 0x0000], [0x0009, 0x0101, 0x0009], [0x0020, 0x4004, 0x0020],
  [0x00a0, 0x4004, 0x00a0], [0x3000, 0x4004, 0x0020], [0x2028, 0x4001, 0x0020],
  [0x0041, 0x0220, 0x0061], [0x0061, 0x0202, 0x0041], [0x0401, 0x0220, 0x0451],
  [0x0451, 0x0202, 0x0401], [0xff21, 0x0220, 0xff41], [0x00df, 0x0202, 0x00df],
  [0x00ff, 0x0202, 0x0178], [0x00b5, 0x0202, 0x039c], [0x0131, 0x0202, 0x0049],
  [0x017f, 0x0202, 0x0053], [0x0130, 0x0220, 0x0069], [0x01c4, 0x0220, 0x01c6],
  [0x01c5, 0x0210, 0x01c5], [0x01c6, 0x0202, 0x01c4], [0x1f80, 0x0202, 0x1f88],
  [0x1f88, 0x0210, 0x1f88], [0x0030, 0x0801, 0x0020], [0x00b2, 0x0804, 0x0020],
  [0x2160, 0x0802, 0x0020], [0x0021, 0x1020, 0x002e], [0x005f, 0x1001, 0x002e],
  [0x005b, 0x1040, 0x0028], [0x005d, 0x1004, 0x0029], [0x00ab, 0x1010, 0x005b],
  [0x00bb, 0x1008, 0x005d], [0x0024, 0x2001, 0x0024], [0x002b, 0x2004, 0x002b],
  [0x005e, 0x2002, 0x0000], [0x0300, 0x0404, 0x0000], [0xd800, 0x0110, 0xd800],
  [0xe000, 0x0108, 0xe000], [0xfeff, 0x0102, 0xfeff], [0xfffd, 0x2008, 0xfffd],
  [0xfffe, 0x0000, 0x0000], [0xffff, 0x0000, 0x0000],
  // Categories as Unicode 5.1.0 has them, changed or added in later versions.
  [0x00aa, 0x0202, 0x00aa], [0x00ba, 0x0202, 0x00ba], [0x10d0, 0x0208, 0x10d0],
  [0x13a0, 0x0208, 0x13a0], [0x180e, 0x4004, 0x0020], [0x20b9, 0x0000, 0x0000],
  [0x0524, 0x0000, 0x0000], [0x2126, 0x0220, 0x03c9], [0x1e9e, 0x0220, 0x00df],
];

function fail(message) {
  console.error(`generate.mjs: ${message}`);
  process.exit(1);
}

async function load(path) {
  return (await import(`${ucd}/${path}`)).default;
}

const upper = await load('Simple_Case_Mapping/Uppercase/code-points.mjs');
const lower = await load('Simple_Case_Mapping/Lowercase/code-points.mjs');

const cls = new Uint16Array(0x10000);
const partner = new Uint16Array(0x10000);
const assigned = new Uint8Array(0x10000);
for (const [name, [, classBits, rule]] of Object.entries(categories)) {
  const points = await load(`General_Category/${name}/code-points.mjs`);
  for (const cp of points) {
    if (cp > 0xffff) continue;
    if (assigned[cp]) fail(`U+${hex(cp)} is in two general categories`);
    assigned[cp] = 1;
    cls[cp] = classBits;
    if (rule === 'self') partner[cp] = cp;
    else if (rule === 'upper') partner[cp] = simpleMapping(upper, cp);
    else if (rule === 'lower') partner[cp] = simpleMapping(lower, cp);
    else partner[cp] = rule;
  }
}
// The no-break space keeps itself as partner, unlike every other separator.
partner[0x00a0] = 0x00a0;

function simpleMapping(map, cp) {
  const to = map.get(cp);
  if (to === undefined) return cp;
  if (to > 0xffff) fail(`U+${hex(cp)} maps outside the BMP`);
  return to;
}

function hex(n, width = 4) {
  return n.toString(16).toUpperCase().padStart(width, '0');
}

// Checks before anything is written.
const counts = {};
for (let u = 0; u < 0x10000; u++) counts[cls[u]] = (counts[cls[u]] ?? 0) + 1;
for (const [c, n] of Object.entries(expectedCounts)) {
  if ((counts[c] ?? 0) !== n) fail(`class ${hex(Number(c))} has ${counts[c] ?? 0} entries, expected ${n}`);
}
for (const c of Object.keys(counts)) {
  if (!(c in expectedCounts)) fail(`unexpected class ${hex(Number(c))}`);
}
for (let u = 0xd800; u <= 0xdfff; u++) if (cls[u] !== 0x0110) fail(`U+${hex(u)} is not Cs`);
for (let u = 0xe000; u <= 0xf8ff; u++) if (cls[u] !== 0x0108) fail(`U+${hex(u)} is not Co`);
for (const [u, c, p] of tellingEntries) {
  if (cls[u] !== c || partner[u] !== p) {
    fail(`U+${hex(u)} is ${hex(cls[u])}/${hex(partner[u])}, expected ${hex(c)}/${hex(p)}`);
  }
}

// Runs of consecutive units with the same class whose partners follow one rule: either all the
// same fixed unit, or all the same distance from the unit (0 meaning the unit itself).
const runs = [];
for (let u = 0; u < 0x10000; u++) {
  if (cls[u] === 0) continue;
  const delta = (partner[u] - u) | 0;
  const last = runs[runs.length - 1];
  if (last && last.last === u - 1 && last.cls === cls[u]) {
    if (last.fixed && partner[u] === last.value) { last.last = u; continue; }
    if (!last.fixed && delta === last.value) { last.last = u; continue; }
  }
  const fixed = delta !== 0 && (cls[u] & 0x0220) !== 0x0220 && (cls[u] & 0x0202) !== 0x0202;
  runs.push({ first: u, last: u, cls: cls[u], fixed, value: fixed ? partner[u] : delta });
}

const lines = [
  '// Generated by tools/chartable/generate.mjs from Unicode 5.1.0 (@unicode/unicode-5.1.0).',
  '// Do not edit; re-run the generator instead.',
  '//',
  '// Runs of the character property table: {first unit, last unit, class, partner rule, value}.',
  '// With rule kFixedPartner every unit of the run has the partner `value`; with kDeltaPartner',
  '// the partner is the unit plus `value` (0: the unit itself). Units in no run are unassigned.',
  '// clang-format off',
];
for (const r of runs) {
  const rule = r.fixed ? 'kFixedPartner' : 'kDeltaPartner';
  lines.push(`{0x${hex(r.first)}, 0x${hex(r.last)}, 0x${hex(r.cls)}, ${rule}, ${r.value}},`);
}
lines.push('// clang-format on', '');
writeFileSync(output, lines.join('\n'));
console.log(`wrote ${runs.length} runs to ${output}`);
