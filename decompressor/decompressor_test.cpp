#include "decompressor/decompressor.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "reader/test_dictionary.h"

namespace zorvak::testing {
namespace {

// What one decompress of a file made in memory gave.
struct Outcome {
  std::string message;     // empty on success
  bool keepOutput = true;  // the text replaces an existing one
  Bytes text;
  std::string console;  // the counters reported, in the lines the driver makes of them
};

class RecordedProgress : public DecompressProgress {
 public:
  void groupWritten(uint32_t key, uint32_t mainEntries, uint32_t alternativeEntries) override {
    char line[64];
    std::snprintf(line, sizeof(line), "read %08x %08u-%08u\r", key, mainEntries,
                  alternativeEntries);
    lines += line;
  }
  void decompressFinished() override {}

  std::string lines;
};

Outcome decompress(const Bytes& file) {
  char folder[] = "/tmp/zorvak-decompress-XXXXXX";
  EXPECT_NE(mkdtemp(folder), nullptr);
  const std::string inputName = std::string(folder) + "/d.zorvak";
  std::ofstream(inputName, std::ios::binary) << file;
  File input = File::openForReading(inputName);
  File output = File::createUnnamed(inputName + ".txt");
  RecordedProgress progress;

  std::unique_ptr<DictionaryReader> reader;
  Status status = DictionaryReader::open(input, &reader);
  // A file rejected at opening never gets its text written.
  const bool opened = status.ok();
  if (opened) status = decompressDictionary(*reader, output, progress);
  reader.reset();
  input.close();
  Bytes text(static_cast<size_t>(std::max<int64_t>(output.size(), 0)), '\0');
  text.resize(
      static_cast<size_t>(std::max<int64_t>(output.readAt(0, text.data(), text.size()), 0)));
  Outcome outcome{status.message(), opened && decompressedTextIsKept(status), text, progress.lines};
  std::remove(inputName.c_str());
  rmdir(folder);
  return outcome;
}

// A dictionary of one group whose entries all use block 0.
TestDictionary oneBlock(uint32_t codePage, const Bytes& block, std::vector<TestEntry> entries) {
  TestDictionary dictionary(codePage);
  dictionary.blocks = {block};
  dictionary.groups = {{0x0414041E, std::move(entries)}};
  return dictionary;
}

TEST(Decompress, NoGroupsGiveAnEmptyTextAndNoProgressLine) {
  TestDictionary dictionary(1251);
  dictionary.blocks = {""};
  Outcome outcome = decompress(dictionary.build());
  EXPECT_EQ(outcome.message, "");
  EXPECT_TRUE(outcome.keepOutput);
  EXPECT_EQ(outcome.text, "");
  EXPECT_EQ(outcome.console, "");
}

TEST(Decompress, SingleByteEntryIsWrittenInTheHeadersCodePage) {
  Outcome outcome = decompress(oneBlock(1251, "xhousey", {{u"дом", 0, 1, 5}}).build());
  EXPECT_EQ(outcome.message, "");
  EXPECT_EQ(outcome.text, "\xE4\xEE\xEC  house\r\n");
  EXPECT_EQ(outcome.console, "read 0414041e 00000001-00000000\r");
}

TEST(Decompress, Utf16EntryIsWrittenAsUnits) {
  Outcome outcome =
      decompress(oneBlock(1200, utf16(u"xhouse") + Bytes(2, '\0'), {{u"дом", 0, 1, 5}}).build());
  EXPECT_EQ(outcome.text, utf16(u"дом  house\r\n"));
}

TEST(Decompress, EmptyArticleGivesHeadwordAndSeparatorOnly) {
  for (uint32_t codePage : {1252u, 1200u}) {
    Outcome outcome = decompress(oneBlock(codePage, "", {{u"ab"}}).build());
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(outcome.text, codePage == 1200 ? utf16(u"ab  \r\n") : "ab  \r\n");
  }
}

TEST(Decompress, Utf8CountsUnitsByLeadBytesAndJoinsSurrogatePairs) {
  // Units of the block: "é" "€" "x" then the pair of U+1F600 as two sequences, then "!", then a
  // lone high surrogate and "y".
  const Bytes block =
      "\xC3\xA9\xE2\x82\xAC"
      "x"
      "\xED\xA0\xBD\xED\xB8\x80"
      "!"
      "\xED\xA0\xBD"
      "y";
  Outcome outcome = decompress(
      oneBlock(65001, block, {{u"\u20AC", 0, 1, 2}, {u"\U0001F600", 0, 3, 3}, {u"\xD83D", 0, 6, 2}})
          .build());
  EXPECT_EQ(outcome.message, "");
  EXPECT_EQ(outcome.text,
            "\xE2\x82\xAC  \xE2\x82\xAC"
            "x\r\n"
            "\xF0\x9F\x98\x80  \xF0\x9F\x98\x80!\r\n"
            "\xED\xA0\xBD  \xED\xA0\xBDy\r\n");
}

TEST(Decompress, CodePageWithoutEncoderWritesQuestionMarksAndCopiesArticles) {
  Outcome outcome = decompress(oneBlock(932, "\x82\xA0\x41", {{u"\u3042A", 0, 0, 3}}).build());
  EXPECT_EQ(outcome.text, "??  \x82\xA0\x41\r\n");
}

TEST(Decompress, StoredLineBreaksBecomeBlankAndTab) {
  Outcome bytes = decompress(oneBlock(1252, "a\nb\rc", {{u"h", 0, 0, 5}}).build());
  EXPECT_EQ(bytes.text, "h  a b\tc\r\n");
  Outcome units = decompress(oneBlock(1200, utf16(u"a\nb\rc\u0A0D"), {{u"h", 0, 0, 6}}).build());
  EXPECT_EQ(units.text, utf16(u"h  a b\tc\u0A0D\r\n"));
}

TEST(Decompress, AlternativeHeadwordIsCountedInTheSecondNumber) {
  Outcome outcome = decompress(oneBlock(1252,
                                        "house\x08"
                                        "dom",
                                        {{u"dom", 0, 0, 5}, {u"haus", 0, 5, 4}})
                                   .build());
  EXPECT_EQ(outcome.text,
            "dom  house\r\nhaus  \x08"
            "dom\r\n");
  EXPECT_EQ(outcome.console, "read 0414041e 00000001-00000001\r");
}

TEST(Decompress, ArticlesAtTheEndOfBlocksAndOfInflateOutputsAreWhole) {
  // An article ending at byte 32768 of a block, followed by more text; one that is the last
  // text of a block of exactly 32768 bytes; and one that runs far past the head a block keeps,
  // to the end of its block.
  Bytes longer(32768 + 10, 'a');
  longer[32767] = 'E';
  Bytes exact(32768, 'b');
  exact[32767] = 'F';
  Bytes huge(3 << 20, 'c');
  huge.back() = 'G';
  TestDictionary dictionary(1252);
  dictionary.blocks = {longer, exact, "tail", huge};
  const uint32_t from = kBlockUnitLimit;
  dictionary.groups = {{1,
                        {{u"x", 0, from, 32768 - from},
                         {u"y", 1, from, 32768 - from},
                         {u"z", 2, 2, 2},
                         {u"w", 3, 1, (3 << 20) - 1}}}};
  Outcome outcome = decompress(dictionary.build());
  EXPECT_EQ(outcome.message, "");
  EXPECT_EQ(outcome.text, "x  " + Bytes(32767 - from, 'a') + "E\r\ny  " + Bytes(32767 - from, 'b') +
                              "F\r\nz  il\r\nw  " + Bytes((3 << 20) - 2, 'c') + "G\r\n");
}

TEST(Decompress, TextFlagZeroAndOneAreReadAlikeAndTwoIsRejected) {
  for (uint32_t flag : {0u, 1u, 2u}) {
    TestDictionary dictionary = oneBlock(1252, "x", {{u"h", 0, 0, 1}});
    dictionary.header.textFlag = flag;
    Outcome outcome = decompress(dictionary.build());
    if (flag <= 1) {
      EXPECT_EQ(outcome.text, "h  x\r\n");
      EXPECT_EQ(outcome.message, "");
    } else {
      EXPECT_EQ(outcome.message, "error file!");
      EXPECT_FALSE(outcome.keepOutput);
      EXPECT_EQ(outcome.console, "");
    }
  }
}

TEST(Decompress, HeaderChecksRejectTheFileBeforeAnythingIsWritten) {
  const Bytes good = oneBlock(1252, "x", {{u"h", 0, 0, 1}}).build();
  Bytes badMagic = good;
  badMagic[0] = 'z';
  TestDictionary disordered = oneBlock(1252, "x", {{u"h", 0, 0, 1}});
  disordered.header.groupCount = 1;
  disordered.header.articleDataOffset = 100;
  disordered.header.groupTableOffset = 99;
  disordered.header.sectionDataOffset = 200;
  for (const Bytes& file : {good.substr(0, 47), badMagic, disordered.build(true)}) {
    Outcome outcome = decompress(file);
    EXPECT_EQ(outcome.message, "error file!");
    EXPECT_FALSE(outcome.keepOutput);
    EXPECT_EQ(outcome.text, "");
  }
}

TEST(Decompress, GroupCountBeyondTheTableStopsAfterTheGroupsThatAreThere) {
  TestDictionary dictionary = oneBlock(1252, "x", {{u"h", 0, 0, 1}});
  Bytes file = dictionary.build();
  file[8] = 7;  // group count 7, one record present; the section bytes are read as records
  file.resize(file.size() - 1);
  Outcome outcome = decompress(file);
  EXPECT_EQ(outcome.message, "error file!");
  EXPECT_EQ(outcome.text.substr(0, 6), "h  x\r\n");
}

TEST(Decompress, TruncatedSectionDataKeepsEntriesBeforeTheCut) {
  TestDictionary dictionary(1252);
  dictionary.blocks = {"onetwothree"};
  dictionary.groups = {{1, {{u"a", 0, 0, 3}}}, {2, {{u"b", 0, 3, 3}, {u"c", 0, 6, 5}}}};
  Bytes file = dictionary.build();
  file.resize(file.size() - 3);  // inside the adler trailer of the last section
  Outcome outcome = decompress(file);
  EXPECT_EQ(outcome.message, "error file!");
  EXPECT_TRUE(outcome.keepOutput);
  EXPECT_EQ(outcome.text, "a  one\r\nb  two\r\nc  three\r\n");
  EXPECT_EQ(outcome.console, "read 00000001 00000001-00000000\rread 00000002 00000003-00000000\r");
}

TEST(Decompress, DamagedEntriesAreSalvagedAndReported) {
  // A headword length of 0 swallows the rest of its section; the next group is still read.
  TestDictionary zero(1252);
  zero.blocks = {"xy"};
  zero.groups = {{1, {{u"a", 0, 0, 1}, {u"b", 0, 0, 1, 0}, {u"c", 0, 0, 1}}},
                 {2, {{u"d", 0, 1, 1}}}};
  Outcome swallowed = decompress(zero.build());
  EXPECT_EQ(swallowed.message, "error file!");
  EXPECT_EQ(swallowed.text, "a  x\r\nd  y\r\n");

  // An article that runs past the end of its block, and one in a block that is not a zlib
  // stream, lose their text but keep their line.
  TestDictionary cut(1252);
  cut.blocks = {"abc"};
  cut.groups = {{1, {{u"a", 0, 1, 2}, {u"b", 0, 2, 5}, {u"c", 1000, 0, 1}}}};
  Bytes file = cut.build();
  Outcome lost = decompress(file);
  EXPECT_EQ(lost.message, "error file!");
  EXPECT_TRUE(lost.keepOutput);
  EXPECT_EQ(lost.text, "a  bc\r\nb  \r\nc  \r\n");
}

TEST(Decompress, HostileNumbersLoseOnlyTheirOwnText) {
  // Article locations that lie outside the file, wrap around, or overflow a 32-bit sum.
  TestDictionary dictionary(65001);
  dictionary.blocks = {"abc"};
  dictionary.groups = {{1,
                        {{u"a", kNone, 0, 1},
                         {u"b", 0, 0xFFFFFFFF, 0xFFFFFFFF},
                         {u"c", 0, 1, 0xFFFFFFFF},
                         {u"d", uint64_t{1} << 63, 0, 1},
                         {u"e", 0, 2, 1}}}};
  // A second group whose record puts its section far past the end of the file: it is read where
  // the first one ends.
  dictionary.groups.push_back({2, {{u"f"}}, ~uint64_t{0} - 5});
  Bytes file = dictionary.build();
  Outcome outcome = decompress(file);
  EXPECT_EQ(outcome.message, "error file!");
  EXPECT_TRUE(outcome.keepOutput);
  EXPECT_EQ(outcome.text, "a  \r\nb  \r\nc  \r\nd  \r\ne  c\r\nf  \r\n");
  EXPECT_EQ(outcome.console, "read 00000001 00000005-00000000\rread 00000002 00000006-00000000\r");
}

}  // namespace
}  // namespace zorvak::testing
