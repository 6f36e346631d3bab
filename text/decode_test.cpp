#include "text/decode.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace zorvak {
namespace {

using Units = std::vector<uint16_t>;
using Bytes = std::vector<uint8_t>;

// Decodes bytes (a zero byte is appended) into a buffer of exactly the promised size, checks
// that the count-only mode agrees and that the zero unit ends the output, and returns the units
// before it.
Units decode(int32_t codePage, Bytes bytes) {
  const size_t capacity = bytes.size() + 1;
  bytes.push_back(0);
  auto out = std::make_unique<uint16_t[]>(capacity);
  const int32_t written = decodeText(codePage, bytes.data(), out.get());
  const int32_t counted = decodeText(codePage, bytes.data(), nullptr);
  if (bytes[0] == 0) {
    EXPECT_EQ(written, 0);
    EXPECT_EQ(counted, 1);
    return {};
  }
  EXPECT_EQ(written, counted);
  EXPECT_GE(written, 1);
  EXPECT_LE(static_cast<size_t>(written), capacity);
  if (written < 1 || static_cast<size_t>(written) > capacity) return {};
  EXPECT_EQ(out[written - 1], 0);
  return Units(out.get(), out.get() + written - 1);
}

TEST(DecodeText, NullEmptyAndZeroByte) {
  uint16_t out[4] = {7, 7, 7, 7};
  EXPECT_EQ(decodeText(1251, nullptr, out), -1);
  EXPECT_EQ(out[0], 7);
  const uint8_t empty[] = {0};
  for (int32_t cp : {1251, 932, 65001, 0}) {
    EXPECT_EQ(decodeText(cp, empty, out), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(decodeText(cp, empty, nullptr), 1);
  }
  const uint8_t cut[] = {'a', 'b', 0, 'c', 0};
  for (int32_t cp : {1251, 932, 65001, 0}) {
    EXPECT_EQ(decodeText(cp, cut, out), 3);
    EXPECT_EQ(out[2], 0);
  }
}

TEST(DecodeText, UnsupportedCodePagesGiveQuestionMarks) {
  for (int32_t cp : {0, 1200, 1, -1, 65000, 28594}) {
    EXPECT_EQ(decode(cp, {0x41, 0xC3, 0xA9, 0x81}), Units(4, u'?')) << cp;
  }
}

TEST(DecodeSingleByte, Examples) {
  EXPECT_EQ(decode(1252, {0x41, 0x80, 0x81}), (Units{0x0041, 0x20AC, 0x0081}));
  EXPECT_EQ(decode(20127, {0xC1, 0x80, 0x41}), (Units{0x0041, 0x0000, 0x0041}));
  EXPECT_EQ(decode(1251, {0xE4, 0xEE, 0xEC, 0x20}), (Units{0x0434, 0x043E, 0x043C, 0x0020}));
}

// One byte of each page, including every row where the page departs from its published mapping.
TEST(DecodeSingleByte, RowsOfEachPage) {
  struct Row {
    int32_t codePage;
    uint8_t byte;
    uint16_t unit;
  };
  const std::vector<Row> rows = {
      {437, 0x80, 0x00C7},   {850, 0x9B, 0x00F8},   {855, 0x80, 0x0452},   {860, 0x84, 0x00E3},
      {861, 0x8B, 0x00D0},   {863, 0x84, 0x00C2},   {865, 0x9B, 0x00F8},   {866, 0x80, 0x0410},
      {874, 0x81, 0x0081},   {874, 0x98, 0x0098},   {874, 0xDB, 0xF8C1},   {874, 0xDE, 0xF8C4},
      {874, 0xFC, 0xF8C5},   {874, 0xFF, 0xF8C8},   {874, 0xA1, 0x0E01},   {1250, 0x83, 0x0083},
      {1250, 0x8A, 0x0160},  {1251, 0x98, 0x0098},  {1251, 0xC0, 0x0410},  {1252, 0x9D, 0x009D},
      {1253, 0xAA, 0xF8F9},  {1253, 0xD2, 0xF8FA},  {1253, 0xFF, 0xF8FB},  {1253, 0x9F, 0x009F},
      {1254, 0x9E, 0x009E},  {1254, 0xD0, 0x011E},  {1255, 0xCA, 0x05BA},  {1255, 0xD9, 0xF88D},
      {1255, 0xDF, 0xF893},  {1255, 0xFB, 0xF894},  {1255, 0xFC, 0xF895},  {1255, 0xFF, 0xF896},
      {1256, 0x81, 0x067E},  {1257, 0xA1, 0xF8FC},  {1257, 0xA5, 0xF8FD},  {1257, 0x9F, 0x009F},
      {1258, 0x8A, 0x008A},  {1258, 0xC3, 0x0102},  {10000, 0xBD, 0x2126}, {10000, 0xDB, 0x20AC},
      {10007, 0xA2, 0x00A2}, {10007, 0xB6, 0x2202}, {10007, 0xFF, 0x00A4}, {10017, 0xA2, 0x0490},
      {10017, 0xB6, 0x0491}, {10017, 0xFF, 0x00A4}, {10079, 0xBD, 0x2126}, {10079, 0xDB, 0x00A4},
      {20127, 0xFF, 0x007F}, {20866, 0xE1, 0x0410}, {21866, 0xAE, 0x045E}, {21866, 0xBE, 0x040E},
      {21866, 0xAD, 0x0491}, {28591, 0xE9, 0x00E9}, {28592, 0xA1, 0x0104}, {28595, 0xB0, 0x0410},
      {28605, 0xA4, 0x20AC},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(decode(row.codePage, {row.byte}), Units{row.unit})
        << row.codePage << " " << std::hex << int{row.byte};
  }
}

TEST(DecodeDoubleByte, Examples) {
  EXPECT_EQ(decode(932, {0x81, 0x40}), Units{0x3000});
  EXPECT_EQ(decode(932, {0x82, 0xA0}), Units{0x3042});
  EXPECT_EQ(decode(932, {0xB1}), Units{0xFF71});
  EXPECT_EQ(decode(932, {0x81, 0x7F}), (Units{0x30FB, 0x007F}));
  EXPECT_EQ(decode(932, {0x85, 0x41}), (Units{0x30FB, 0x0041}));
  EXPECT_EQ(decode(936, {0x81, 0x40}), Units{0x4E02});
  EXPECT_EQ(decode(936, {0x81, 0x7F}), Units{0x003F});
  EXPECT_EQ(decode(936, {0xAA, 0xA1}), Units{0xE000});
  EXPECT_EQ(decode(949, {0xB0, 0xA1}), Units{0xAC00});
  EXPECT_EQ(decode(949, {0xA1, 0x40}), (Units{0x003F, 0x0040}));
  EXPECT_EQ(decode(950, {0xA4, 0x40}), Units{0x4E00});
  EXPECT_EQ(decode(950, {0xC6, 0xA1}), Units{0xF6B1});
}

TEST(DecodeDoubleByte, LeadTableSingleBytes) {
  EXPECT_EQ(decode(932, {0x80, 0xA0, 0xA1, 0xDF, 0xFD, 0xFF}),
            (Units{0x0080, 0xF8F0, 0xFF61, 0xFF9F, 0xF8F1, 0xF8F3}));
  EXPECT_EQ(decode(932, {0x85, 0x86, 0xEB, 0xEC, 0xEF}), Units(5, 0x30FB));
  EXPECT_EQ(decode(936, {0x80, 0xFF}), (Units{0x20AC, 0xF8F5}));
  EXPECT_EQ(decode(949, {0x80, 0xFF}), (Units{0x0080, 0xF8F7}));
  EXPECT_EQ(decode(950, {0x80, 0xFF}), (Units{0x0080, 0xF8F8}));
}

TEST(DecodeDoubleByte, PrivateUseAreas) {
  EXPECT_EQ(decode(932, {0xF0, 0x40, 0xF0, 0x80, 0xF9, 0xFC}), (Units{0xE000, 0xE03F, 0xE757}));
  EXPECT_EQ(decode(936, {0xAF, 0xFE, 0xF8, 0xA1, 0xFE, 0xFE, 0xA1, 0x40, 0xA7, 0xA0}),
            (Units{0xE233, 0xE234, 0xE4C5, 0xE4C6, 0xE765}));
  EXPECT_EQ(decode(936, {0xA2, 0xAB, 0xA2, 0xB0, 0xD7, 0xFA, 0xD7, 0xFE, 0xFE, 0x50, 0xFE, 0x7E}),
            (Units{0xE766, 0xE76B, 0xE810, 0xE814, 0xE815, 0xE843}));
  EXPECT_EQ(decode(936, {0xFE, 0x80, 0xFE, 0xA0}), (Units{0xE844, 0xE864}));
  EXPECT_EQ(decode(949, {0xC9, 0xA1, 0xC9, 0xFE, 0xFE, 0xA1, 0xFE, 0xFE}),
            (Units{0xE000, 0xE05D, 0xE05E, 0xE0BB}));
  EXPECT_EQ(
      decode(950, {0xFA, 0x40, 0xFA, 0xA1, 0xFE, 0xFE, 0x8E, 0x40, 0xA0, 0xFE,
                   0x81, 0x40, 0x8D, 0xFE, 0xC6, 0xFE, 0xC7, 0x40, 0xC8, 0xFE}),
      (Units{0xE000, 0xE03F, 0xE310, 0xE311, 0xEEB7, 0xEEB8, 0xF6B0, 0xF70E, 0xF70F, 0xF848}));
}

TEST(DecodeDoubleByte, UnmatchedPairs) {
  // The trail byte 7F is a "?" pair in 936 only; elsewhere the lead gives the default unit and
  // the trail byte is decoded afresh.
  for (int32_t cp : {936, 949, 950}) {
    EXPECT_EQ(decode(cp, {0x81, 0x30}), (Units{0x003F, 0x0030})) << cp;
  }
  EXPECT_EQ(decode(949, {0xA1, 0x7F}), (Units{0x003F, 0x007F}));
  // A trail byte that is itself a lead byte starts the next pair.
  EXPECT_EQ(decode(932, {0x81, 0x20, 0x82, 0xA0}), (Units{0x30FB, 0x0020, 0x3042}));
}

TEST(DecodeDoubleByte, LeadByteAtTheEndGivesAZeroUnit) {
  for (int32_t cp : {932, 936, 949, 950}) {
    EXPECT_EQ(decode(cp, {0x41, 0x81}), (Units{0x0041, 0x0000})) << cp;
    EXPECT_EQ(decode(cp, {0x81}), Units{0x0000}) << cp;
  }
}

TEST(DecodeUtf8, WellFormed) {
  EXPECT_EQ(decode(65001, {0x41, 0xC3, 0xA9}), (Units{0x0041, 0x00E9}));
  EXPECT_EQ(decode(65001, {0xE2, 0x82, 0xAC}), Units{0x20AC});
  EXPECT_EQ(decode(65001, {0xED, 0xA0, 0x80}), Units{0xD800});
  EXPECT_EQ(decode(65001, {0xEF, 0xBF, 0xBF}), Units{0xFFFF});
}

TEST(DecodeUtf8, FourByteCharactersBecomeSurrogatePairs) {
  EXPECT_EQ(decode(65001, {0xF0, 0x9F, 0x98, 0x80}), (Units{0xD83D, 0xDE00}));
  EXPECT_EQ(decode(65001, {0xF0, 0x90, 0x80, 0x80}), (Units{0xD800, 0xDC00}));
  EXPECT_EQ(decode(65001, {0xF4, 0x8F, 0xBF, 0xBF}), (Units{0xDBFF, 0xDFFF}));
  // Other long forms keep the low 16 bits of their value.
  EXPECT_EQ(decode(65001, {0xF0, 0x82, 0x82, 0xAC}), Units{0x20AC});        // overlong
  EXPECT_EQ(decode(65001, {0xF4, 0x90, 0x80, 0x81}), Units{0x0001});        // above U+10FFFF
  EXPECT_EQ(decode(65001, {0xF7, 0xBF, 0xBF, 0xBF}), Units{0xFFFF});        // lead F5-F7
  EXPECT_EQ(decode(65001, {0xF8, 0x88, 0x80, 0x80, 0x80}), Units{0x0000});  // five bytes
  EXPECT_EQ(decode(65001, {0xFC, 0x80, 0x80, 0x81, 0x82, 0x83}), Units{0x1083});
}

TEST(DecodeUtf8, MalformedSequences) {
  EXPECT_EQ(decode(65001, {0xC3, 0x41}), Units{0x0041});  // the cut sequence is lost
  EXPECT_EQ(decode(65001, {0x80, 0x41}), Units{0x0041});
  EXPECT_EQ(decode(65001, {0xBF, 0x80, 0x41}), Units{0x0041});
  EXPECT_EQ(decode(65001, {0xFE, 0xFF, 0x41}), Units{0x0041});
  EXPECT_EQ(decode(65001, {0xC1, 0x81}), Units{0x0041});
  EXPECT_EQ(decode(65001, {0xC0, 0x80}), Units{0x0000});
  // A start byte inside a sequence takes its place; a dropped one ends the sequence.
  EXPECT_EQ(decode(65001, {0xE2, 0x82, 0xC3, 0xA9}), Units{0x00E9});
  EXPECT_EQ(decode(65001, {0xF0, 0x9F, 0xE2, 0x82, 0xAC}), Units{0x20AC});
  EXPECT_EQ(decode(65001, {0xE2, 0xFE, 0x82, 0x41}), Units{0x0041});
  EXPECT_EQ(decode(65001, {0xE2, 0x82, 0xF0, 0x9F, 0x98, 0x80}), (Units{0xD83D, 0xDE00}));
}

TEST(DecodeUtf8, CutAtTheEndGivesOneZeroUnit) {
  EXPECT_EQ(decode(65001, {0x41, 0xE2, 0x82}), (Units{0x0041, 0x0000}));
  EXPECT_EQ(decode(65001, {0xF0, 0x9F, 0x98}), Units{0x0000});
  EXPECT_EQ(decode(65001, {0xC3}), Units{0x0000});
}

// Random byte strings over every supported code page: the count-only mode gives the writing
// mode's count, and the output never outgrows one unit per byte plus one (checked by the exact
// buffer in decode()).
TEST(DecodeText, CountOnlyAgreesOnRandomInput) {
  std::mt19937 random(12345);
  for (int32_t cp : supportedCodePages()) {
    for (int round = 0; round < 40; ++round) {
      Bytes bytes(1 + random() % 64);
      for (uint8_t& b : bytes) {
        b = static_cast<uint8_t>(random() % 5 == 0 ? 0x20 + random() % 0x60
                                                   : 0x80 + random() % 0x80);
      }
      decode(cp, bytes);
    }
  }
}

// A text of double-byte characters cut into two chunks at every position decodes, with the
// carried lead byte moved to the next chunk, to the same units as the whole.
TEST(DecodeChunk, CarriesALeadByteIntoTheNextChunk) {
  const std::vector<std::pair<int32_t, Bytes>> texts = {
      {932, {0x82, 0xA0, 0x41, 0x81, 0x40, 0xB1, 0x88, 0x9F, 0x81, 0x7F, 0x85}},
      {936, {0xC4, 0xE3, 0xBA, 0xC3, 0x20, 0x81, 0x7F, 0xAA, 0xA1, 0x80}},
      {949, {0xB0, 0xA1, 0x41, 0xA1, 0x40, 0xC9, 0xA1, 0xB0, 0xA1}},
      {950, {0xA4, 0x40, 0xA4, 0xA4, 0x41, 0xC6, 0xA1, 0xA4, 0x40}},
  };
  for (const auto& [cp, text] : texts) {
    const Units whole = decode(cp, text);
    for (size_t cut = 1; cut < text.size(); ++cut) {
      Bytes first(text.begin(), text.begin() + cut);
      first.push_back(0);
      uint16_t out[64];
      size_t carry = 7;
      const int32_t n1 = decodeChunk(cp, first.data(), cut, out, &carry);
      ASSERT_GE(n1, 1);
      Units units(out, out + n1 - 1);
      Bytes second(text.begin() + cut - carry, text.end());
      second.push_back(0);
      size_t lastCarry = 7;
      const int32_t n2 = decodeChunk(cp, second.data(), second.size() - 1, out, &lastCarry);
      EXPECT_EQ(lastCarry, 0u);
      units.insert(units.end(), out, out + n2 - 1);
      EXPECT_EQ(units, whole) << cp << " cut " << cut;
      size_t countCarry = 7;
      EXPECT_EQ(decodeChunk(cp, first.data(), cut, nullptr, &countCarry), n1);
      EXPECT_EQ(countCarry, carry);
    }
  }
}

TEST(DecodeChunk, OnlyAFinalLeadByteIsCarried) {
  uint16_t out[8];
  size_t carry = 7;
  const uint8_t lead[] = {0x82, 0};
  EXPECT_EQ(decodeChunk(932, lead, 1, out, &carry), 1);  // nothing but the zero unit
  EXPECT_EQ(carry, 1u);
  EXPECT_EQ(out[0], 0);
  const uint8_t early[] = {0x82, 0, 0x82, 0};  // a lead byte before a zero byte is not carried
  EXPECT_EQ(decodeChunk(932, early, 3, out, &carry), 3);
  EXPECT_EQ(carry, 1u);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(decodeChunk(932, lead, 1, out, nullptr), 2);  // the plain rule
  for (int32_t cp : {65001, 1251, 0}) {
    EXPECT_EQ(decodeChunk(cp, lead, 1, out, &carry), decodeText(cp, lead, out));
    EXPECT_EQ(carry, 0u);
  }
}

// Units of a chunk of `length` bytes, checked against the count-only mode.
Units decodeWhole(int32_t codePage, const Bytes& bytes) {
  auto out = std::make_unique<uint16_t[]>(bytes.size() + 1);
  const int32_t written = decodeChunk(codePage, bytes.data(), bytes.size(), out.get(), nullptr);
  EXPECT_EQ(decodeChunk(codePage, bytes.data(), bytes.size(), nullptr, nullptr), written);
  if (written < 1) return {};
  return Units(out.get(), out.get() + written - 1);
}

// A zero byte in a chunk is a control character: it decodes to the zero unit and the text goes
// on after it. Between two texts that end on a whole character, it is one unit between their
// units; inside a character it cuts that character short.
TEST(DecodeChunk, ZeroBytesAreUnitsLikeAnyOther) {
  std::mt19937 random(2024);
  for (int32_t cp : supportedCodePages()) {
    if (cp == kCodePageUtf16) continue;  // its units are taken as they stand, never decoded
    for (int round = 0; round < 20; ++round) {
      Bytes first(random() % 40), second(random() % 40);
      for (Bytes* part : {&first, &second}) {
        for (uint8_t& b : *part)
          b = static_cast<uint8_t>(random() % 4 == 0 ? random() % 0x80 : random() % 0x100);
      }
      first.push_back('a');
      Bytes joined = first;
      joined.push_back(0);
      joined.insert(joined.end(), second.begin(), second.end());
      Units expected = decodeWhole(cp, first);
      expected.push_back(0);
      const Units rest = decodeWhole(cp, second);
      expected.insert(expected.end(), rest.begin(), rest.end());
      EXPECT_EQ(decodeWhole(cp, joined), expected) << cp;
    }
  }
  EXPECT_EQ(decodeWhole(65001, {0xD0, 0, 0xB4, 'x'}), (Units{0, 'x'}));
  EXPECT_EQ(decodeWhole(932, {0x82, 0, 'x'}), (Units{0x30FB, 0, 'x'}));
  EXPECT_EQ(decodeWhole(1251, {0, 0xE4, 0}), (Units{0, 0x0434, 0}));
}

TEST(CodePages, Families) {
  int single = 0, dbcs = 0;
  for (int32_t cp : supportedCodePages()) {
    EXPECT_TRUE(isSupportedCodePage(cp));
    single += isSingleByteCodePage(cp);
    dbcs += isDoubleByteCodePage(cp);
  }
  EXPECT_EQ(supportedCodePages().size(), 35u);  // with 1200 and 65001
  EXPECT_EQ(single, 29);
  EXPECT_EQ(dbcs, 4);
  for (int32_t cp : {0, 1, -1251, 20932, 54936})
    EXPECT_FALSE(isSupportedCodePage(cp)) << cp;
}

}  // namespace
}  // namespace zorvak
