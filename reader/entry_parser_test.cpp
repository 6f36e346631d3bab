#include "reader/entry_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reader/test_dictionary.h"

namespace zorvak::testing {
namespace {

// Feeds a section in pieces of `piece` bytes and lists the entries completed, as
// "headword@block/start/length".
std::vector<std::string> parse(const Bytes& section, size_t piece) {
  EntryParser parser;
  parser.reset();
  std::vector<std::string> entries;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(section.data());
  for (size_t at = 0; at < section.size();) {
    const size_t count = std::min(piece, section.size() - at);
    bool complete = false;
    const size_t taken = parser.take(bytes + at, count, &complete);
    at += taken;
    if (!complete) continue;
    std::string headword;
    for (const uint16_t* unit = parser.headword(); *unit != 0; ++unit)
      headword += static_cast<char>(*unit);
    EXPECT_EQ(headword.size(), parser.entry().headwordLength);
    entries.push_back(headword + "@" + std::to_string(parser.entry().articleBlock) + "/" +
                      std::to_string(parser.entry().articleStart) + "/" +
                      std::to_string(parser.entry().articleLength));
  }
  if (!parser.idle()) entries.push_back("unfinished");
  return entries;
}

TEST(EntryParser, UnitsSplitBetweenPiecesGiveTheSameEntries) {
  const std::u16string longest(1023, u'w');
  const Bytes section = sectionText(
      {{u"a", 0x1122334455667788, 0x01020304, 0x0A0B0C0D}, {u"bcd"}, {longest, 5, 6, 7}}, {});
  const std::vector<std::string> want = {
      "a@" + std::to_string(0x1122334455667788) + "/" + std::to_string(0x01020304) + "/" +
          std::to_string(0x0A0B0C0D),
      "bcd@" + std::to_string(kNone) + "/0/0", std::string(1023, 'w') + "@5/6/7"};
  for (size_t piece : {1, 2, 3, 7, 64, 100000})
    EXPECT_EQ(parse(section, piece), want) << piece;
}

TEST(EntryParser, HeadwordLengthsOutsideOneTo1023NeverComplete) {
  for (uint32_t stored : {0u, 1024u, 0x10001u}) {
    const Bytes section = sectionText({{u"x", 1, 0, 1, stored}, {u"y", 1, 0, 1}}, {});
    EXPECT_EQ(parse(section + Bytes(5000, 'z'), 3), std::vector<std::string>{"unfinished"})
        << stored;
  }
}

}  // namespace
}  // namespace zorvak::testing
