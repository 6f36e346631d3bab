#include "text/char_table.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace zorvak {
namespace {

uint16_t partnerOf(uint16_t unit) {
  return static_cast<uint16_t>(charEntry(unit) >> 16);
}

TEST(CharTable, ClassCountsCoverEveryUnit) {
  const std::map<uint16_t, int> expected = {
      {0x0000, 3692}, {0x0101, 65},   {0x0102, 34},    {0x0108, 6400}, {0x0110, 2048},
      {0x0202, 1216}, {0x0204, 187},  {0x0208, 45301}, {0x0210, 31},   {0x0220, 937},
      {0x0401, 228},  {0x0402, 13},   {0x0404, 753},   {0x0801, 310},  {0x0802, 55},
      {0x0804, 265},  {0x1001, 10},   {0x1002, 20},    {0x1004, 71},   {0x1008, 10},
      {0x1010, 12},   {0x1020, 296},  {0x1040, 72},    {0x2001, 41},   {0x2002, 99},
      {0x2004, 935},  {0x2008, 2415}, {0x4001, 1},     {0x4002, 1},    {0x4004, 18},
  };
  std::map<uint16_t, int> counts;
  for (uint32_t u = 0; u < 0x10000; ++u)
    ++counts[charClass(static_cast<uint16_t>(u))];
  EXPECT_EQ(counts, expected);
}

TEST(CharTable, PartnerFollowsTheRuleOfEachClass) {
  // Classes whose partner is a fixed unit; U+00A0 is the one space that keeps itself.
  const std::map<uint16_t, uint16_t> fixed = {
      {kClassNone, 0},  {kClassMc, 0},    {kClassMe, 0},    {kClassMn, 0},    {kClassSk, 0},
      {kClassNd, 0x20}, {kClassNl, 0x20}, {kClassNo, 0x20}, {kClassZl, 0x20}, {kClassZp, 0x20},
      {kClassZs, 0x20}, {kClassPc, '.'},  {kClassPo, '.'},  {kClassPd, '-'},  {kClassPe, ')'},
      {kClassPf, ']'},  {kClassPi, '['},  {kClassPs, '('},
  };
  for (uint32_t u = 0; u < 0x10000; ++u) {
    const uint16_t cls = charClass(u);
    if (cls == kClassLl || cls == kClassLu) {
      // A case partner is a letter too (U+1F80's is the title-case U+1F88).
      EXPECT_EQ(classGroup(charClass(partnerOf(u))), kGroupLetter) << std::hex << u;
    } else if (fixed.contains(cls) && u != 0xA0) {
      EXPECT_EQ(partnerOf(u), fixed.at(cls)) << std::hex << u;
    } else {
      EXPECT_EQ(partnerOf(u), u) << std::hex << u;
    }
  }
}

TEST(CharTable, TellingEntries) {
  struct Entry {
    uint16_t unit, cls, partner;
  };
  const std::vector<Entry> entries = {
      {0x0000, 0x0101, 0x0000},
      {0x0009, 0x0101, 0x0009},
      {0x0020, 0x4004, 0x0020},
      {0x00A0, 0x4004, 0x00A0},
      {0x3000, 0x4004, 0x0020},
      {0x2028, 0x4001, 0x0020},
      {0x0041, 0x0220, 0x0061},
      {0x0061, 0x0202, 0x0041},
      {0x0401, 0x0220, 0x0451},
      {0x0451, 0x0202, 0x0401},
      {0xFF21, 0x0220, 0xFF41},
      {0x00DF, 0x0202, 0x00DF},
      {0x00FF, 0x0202, 0x0178},
      {0x00B5, 0x0202, 0x039C},
      {0x0131, 0x0202, 0x0049},
      {0x017F, 0x0202, 0x0053},
      {0x0130, 0x0220, 0x0069},
      {0x01C4, 0x0220, 0x01C6},
      {0x01C5, 0x0210, 0x01C5},
      {0x01C6, 0x0202, 0x01C4},
      {0x1F80, 0x0202, 0x1F88},
      {0x1F88, 0x0210, 0x1F88},
      {0x0030, 0x0801, 0x0020},
      {0x00B2, 0x0804, 0x0020},
      {0x2160, 0x0802, 0x0020},
      {0x0021, 0x1020, 0x002E},
      {0x005F, 0x1001, 0x002E},
      {0x005B, 0x1040, 0x0028},
      {0x005D, 0x1004, 0x0029},
      {0x00AB, 0x1010, 0x005B},
      {0x00BB, 0x1008, 0x005D},
      {0x0024, 0x2001, 0x0024},
      {0x002B, 0x2004, 0x002B},
      {0x005E, 0x2002, 0x0000},
      {0x0300, 0x0404, 0x0000},
      {0xD800, 0x0110, 0xD800},
      {0xE000, 0x0108, 0xE000},
      {0xFEFF, 0x0102, 0xFEFF},
      {0xFFFD, 0x2008, 0xFFFD},
      {0xFFFE, 0x0000, 0x0000},
      {0xFFFF, 0x0000, 0x0000},
      // Categories as they stood in Unicode 5.1.0.
      {0x00AA, 0x0202, 0x00AA},
      {0x00BA, 0x0202, 0x00BA},
      {0x10D0, 0x0208, 0x10D0},
      {0x10FA, 0x0208, 0x10FA},
      {0x13A0, 0x0208, 0x13A0},
      {0x13F4, 0x0208, 0x13F4},
      {0x180E, 0x4004, 0x0020},
  };
  for (const Entry& e : entries) {
    EXPECT_EQ(charEntry(e.unit), static_cast<uint32_t>(e.partner) << 16 | e.cls)
        << std::hex << e.unit;
  }
}

TEST(CharTable, LaterAdditionsAreUnassigned) {
  for (uint16_t u : {0x20B9, 0x0524, 0x20BA, 0xA78D}) {
    EXPECT_EQ(charEntry(u), 0u) << std::hex << u;
    EXPECT_EQ(foldUnit(u), u);
    uint16_t s[] = {u, 0};
    lowerInPlace(s);
    EXPECT_EQ(s[0], u);
  }
}

TEST(FoldUnit, FoldsLowerCaseLettersOnly) {
  EXPECT_EQ(foldUnit(0x0061), 0x0041);
  EXPECT_EQ(foldUnit(0x0041), 0x0041);
  EXPECT_EQ(foldUnit(0x00DF), 0x00DF);
  EXPECT_EQ(foldUnit(0x00B5), 0x039C);
  EXPECT_EQ(foldUnit(0x01C5), 0x01C5);  // title case stays
  EXPECT_EQ(foldUnit(0x1F80), 0x1F88);
  EXPECT_EQ(foldUnit(0x0030), 0x0030);
  EXPECT_EQ(foldUnit(0x0451), 0x0401);
  EXPECT_EQ(foldUnit(0x0020), 0x0020);  // a partner that is not a case partner is never used
  EXPECT_EQ(foldUnit(0xD83D), 0xD83D);
}

TEST(LowerInPlace, LowersUpperCaseLettersOnly) {
  uint16_t s[] = {0x0130, 0x2126, 0x1E9E, 0x01C4, 0x01C5, 0x0031, 0x0021, 0x20B9, 0, 0x0041};
  EXPECT_EQ(lowerInPlace(s), s);
  const std::vector<uint16_t> expected = {0x0069, 0x03C9, 0x00DF, 0x01C6, 0x01C5,
                                          0x0031, 0x0021, 0x20B9, 0,      0x0041};
  EXPECT_EQ(std::vector<uint16_t>(std::begin(s), std::end(s)), expected);
}

TEST(LowerInPlace, EmptyAndNull) {
  uint16_t empty[] = {0};
  EXPECT_EQ(lowerInPlace(empty), empty);
  EXPECT_EQ(empty[0], 0);
  EXPECT_EQ(lowerInPlace(nullptr), nullptr);
}

TEST(LowerInPlace, DoesNotUndoFolding) {
  uint16_t s[] = {foldUnit(0x0131), foldUnit(0x00B5), foldUnit(0x017F), 0};
  lowerInPlace(s);
  EXPECT_EQ(s[0], 0x0069);
  EXPECT_EQ(s[1], 0x03BC);
  EXPECT_EQ(s[2], 0x0073);
}

TEST(IsWordChar, LettersAndNumbersOnly) {
  for (uint16_t u : {0x0041, 0x0061, 0x02B0, 0x05D0, 0x01C5, 0x0030, 0x2160, 0x00B2, 0x4E00}) {
    EXPECT_TRUE(isWordChar(u)) << std::hex << u;
  }
  for (uint16_t u :
       {0x0020, 0x00A0, 0x0021, 0x005F, 0x0300, 0x0024, 0x005E, 0x0000, 0xD800, 0xE000, 0x20B9}) {
    EXPECT_FALSE(isWordChar(u)) << std::hex << u;
  }
}

}  // namespace
}  // namespace zorvak
