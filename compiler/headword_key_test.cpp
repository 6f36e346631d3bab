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

TEST(IndexGroups, RegistrationCountsAndPositions) {
  IndexGroups groups;
  groups.registerEntry(0x00410000, 0);
  groups.registerEntry(0x00410000, 8);
  groups.registerEntry(0x00410000, kNone, 0);
  groups.registerEntry(0x00410000, 40);
  ASSERT_EQ(groups.size(), 1u);
  EXPECT_EQ(groups[0].entryCount, 4u);
  EXPECT_EQ(groups[0].firstPosition, 0u);
  EXPECT_EQ(groups[0].lastPosition, 40u);
  EXPECT_EQ(groups.mainEntries(), 3u);
  EXPECT_EQ(groups.alternativeEntries(), 1u);

  // A group first met through an alternative headword has no positions until a source entry.
  groups.registerEntry(0x00420000, kNone, 14);
  EXPECT_EQ(groups[1].firstPosition, kNone);
  EXPECT_EQ(groups[1].lastPosition, kNone);
  groups.registerEntry(0x00420000, 16);
  EXPECT_EQ(groups[1].firstPosition, 16u);
  EXPECT_EQ(groups[1].lastPosition, 16u);
}

TEST(IndexGroups, ChainsListEachGroupsEntriesInFileOrder) {
  IndexGroups groups;
  groups.registerEntry(7, 0);
  groups.registerEntry(9, 10);
  groups.registerEntry(7, 24);
  groups.registerEntry(7, 30);
  groups.registerEntry(9, kNone, 0);
  groups.registerEntry(9, kNone, 12);
  const EntryChains& source = groups.sourceChains();
  groups.sourceChains().setEnd(44);
  std::vector<std::pair<uint64_t, uint64_t>> extents;
  for (uint32_t e = groups[0].sourceEntries.first; e != EntryChains::kNoEntry; e = source.next(e))
    extents.push_back({source.begin(e), source.end(e)});
  EXPECT_EQ(extents, (std::vector<std::pair<uint64_t, uint64_t>>{{0, 10}, {24, 30}, {30, 44}}));
  EXPECT_EQ(groups[1].alternativeRecords.first, 0u);
  EXPECT_EQ(groups.alternativeChains().next(0), 1u);
  EXPECT_EQ(groups.alternativeChains().next(1), EntryChains::kNoEntry);
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
}

}  // namespace
}  // namespace zorvak::testing
