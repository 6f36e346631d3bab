// Headword keys, folding and the index groups.

#include "format/headword_key.h"

#include <gtest/gtest.h>

#include <string>

#include "compiler/index_groups.h"
#include "compiler/test_support.h"

namespace zorvak::testing {
namespace {

struct Folded {
  uint32_t key;
  std::u16string folded;
};

Folded fold(const std::u16string& headword) {
  static const HeadwordFolder folder(SubstitutionTable::standard());
  uint16_t buffer[kTextBufferUnits];
  size_t length = 99;
  const uint32_t key = folder.headwordKey(unitData(headword), buffer, &length);
  EXPECT_EQ(buffer[length], 0);
  return Folded{key, std::u16string(buffer, buffer + length)};
}

TEST(HeadwordKey, KeysOfTheTable) {
  struct Case {
    std::u16string headword;
    uint32_t key;
  };
  const Case cases[] = {
      {u"cat", 0x00430041},    {u"Cat", 0x00430041},      {u"a", 0x00410000},
      {u"ёж", 0x04150416},     {u"Ёж", 0x04150416},       {u"ежик", 0x04150416},
      {u"x-ray", 0x00580021},  {u"a b", 0x00410020},      {u"a  b", 0x00410020},
      {u"1st", 0x00310053},    {u"'tis", 0x00210054},     {u"e\u0301t", 0x00450054},
      {u"ßa", 0x00DF0041},     {u"(a)", 0x00280041},      {u"«a»", 0x00AB0041},
      {u"$5", 0x00240035},     {u"©x", 0x00A60058},       {u"µm", 0x039C004D},
      {u"\u0301", 0x00000000}, {u"a \u0301", 0x00410020}, {u"a  ", 0x00410000},
      {u"- a", 0x00210020},    {u"дом", 0x0414041E},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fold(c.headword).key, c.key) << std::string(c.headword.begin(), c.headword.end());
  }
}

TEST(HeadwordKey, FoldedText) {
  EXPECT_EQ(fold(u"x-ray").folded, u"X!RAY");
  EXPECT_EQ(fold(u"«a»").folded, u"\u00ABA\u00BB");
  EXPECT_EQ(fold(u"ёлка").folded, u"ЕЛКА");
  // A run of separators is one blank; none at either end.
  EXPECT_EQ(fold(u"\u3000a \u00A0 b ").folded, u"A B");
  EXPECT_EQ(fold(u"e\u0301t").folded, u"ET");
  // Symbols: Sc and Sk stay, Sm and So become one unit each; Pc, Pe, Ps, Pi, Pf.
  EXPECT_EQ(fold(u"$^+©_)(‹›").folded, u"$^+\u00A6_)(\u00AB\u00BB");
  // Controls, format characters and private use vanish.
  EXPECT_EQ(fold(u"a\u200Db\uE000c").folded, u"ABC");
}

TEST(IndexGroups, EachGroupKnowsWhereItsEntriesLie) {
  IndexGroups groups;
  groups.registerEntry(7, 0);
  groups.registerEntry(9, 10);
  groups.registerEntry(7, 24);
  groups.registerEntry(7, 30);
  groups.registerEntry(9, kNone, 0, 12);
  groups.registerEntry(9, kNone, 12, 8);
  groups.registerEntry(8, kNone);
  groups.closeSource(44);
  ASSERT_EQ(groups.size(), 3u);
  EXPECT_EQ(groups.mainEntries(), 4u);
  EXPECT_EQ(groups.alternativeEntries(), 3u);
  auto extent = [](const GroupExtent& e) { return std::vector<uint64_t>{e.bytes, e.first, e.end}; };
  // A source entry ends where the next one starts, the last where the spool's entries end.
  EXPECT_EQ(groups[0].entryCount, 3u);
  EXPECT_EQ(extent(groups[0].source), (std::vector<uint64_t>{30, 0, 44}));
  EXPECT_EQ(groups[0].alternatives.first, kNone);
  EXPECT_EQ(groups[1].entryCount, 3u);
  EXPECT_EQ(extent(groups[1].source), (std::vector<uint64_t>{14, 10, 24}));
  EXPECT_EQ(extent(groups[1].alternatives), (std::vector<uint64_t>{20, 0, 20}));
  // A group met only through alternative headwords has no source entry.
  EXPECT_EQ(groups[2].source.first, kNone);
  EXPECT_EQ(groups.groupOf(9), 1u);
  EXPECT_EQ(groups.groupOf(5), IndexGroups::kNoGroup);
}

TEST(IndexGroups, SortIsByUnsignedKey) {
  IndexGroups groups;
  for (uint32_t key : {0x00610000u, 0x80000000u, 0x00410042u, 0x04150416u})
    groups.registerEntry(key, kNone);
  groups.sortGroups();
  std::vector<uint32_t> keys;
  for (size_t i = 0; i < groups.size(); ++i)
    keys.push_back(groups[i].key);
  EXPECT_EQ(keys, (std::vector<uint32_t>{0x00410042, 0x00610000, 0x04150416, 0x80000000}));
  EXPECT_EQ(groups.groupOf(0x04150416), 2u);
}

}  // namespace
}  // namespace zorvak::testing
