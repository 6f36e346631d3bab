// Compile mode as a user runs it: the compiled file, byte for byte where the rules fix it, and
// checked against the format's invariants by the verifier.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/verify.h"
#include "text/decode.h"

namespace zorvak::testing {
namespace {

// Compiles `source` as dict.txt with `arguments` after the name; the run must succeed and
// leave only the source and the compiled file. Returns the checked compiled dictionary.
CompiledDictionary compile(ScratchFolder& folder, const std::string& source,
                           std::vector<std::string> arguments, std::string* output = nullptr) {
  folder.write("dict.txt", source);
  arguments.insert(arguments.begin(), "dict.txt");
  RunResult result = folder.run(arguments);
  EXPECT_EQ(result.status, 0) << result.output;
  EXPECT_EQ(folder.list(), (std::vector<std::string>{"dict.txt", "dict.txt.zorvak"}));
  if (output != nullptr) *output = result.output;
  CompiledDictionary dictionary;
  const std::vector<std::string> problems =
      verifyCompiledFile(folder.file("dict.txt.zorvak"), &dictionary);
  EXPECT_TRUE(problems.empty()) << problems.front();
  folder.write("dict.txt", "");
  return dictionary;
}

std::string utf8(const std::u16string& units) {
  std::string out;
  for (char16_t c : units) {
    const uint16_t u = c;
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | u >> 6);
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | u >> 12);
      out += static_cast<char>(0x80 | (u >> 6 & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

std::u16string decoded(int32_t codePage, const std::string& bytes) {
  std::vector<uint16_t> out(bytes.size() + 1);
  const int32_t n =
      decodeText(codePage, reinterpret_cast<const uint8_t*>(bytes.c_str()), out.data());
  return std::u16string(out.begin(), out.begin() + (n > 0 ? n - 1 : 0));
}

TEST(Compile, OneEntryFromSourceToRecord) {
  ScratchFolder folder;
  std::string output;
  const CompiledDictionary d = compile(folder, "\xE4\xEE\xEC  house\n", {"1251"}, &output);
  // Read lines with the 13 bytes handed over (11 and the line end), then one scan line per
  // group and the closing line, whose bloks count holds the section but not the last block.
  EXPECT_EQ(output,
            "read 00000001-00000000               13\r"
            "read 00000001-00000000               13\r\n"
            "scan 00000000-00000000          414041e\r"
            "scan 00000001-00000000        1 bloks...\r\n");
  EXPECT_EQ(d.header.groupCount, 1u);
  EXPECT_EQ(d.header.codePage, 1251u);
  EXPECT_EQ(d.header.textFlag, 1u);
  EXPECT_EQ(d.header.entryCount, 1u);
  EXPECT_EQ(d.header.articleDataOffset, 52u);
  ASSERT_EQ(d.substitutions.size(), 1u);
  EXPECT_EQ(d.substitutions[0].from, 0x0401);
  EXPECT_EQ(d.substitutions[0].to, 0x0415);
  ASSERT_EQ(d.groups.size(), 1u);
  EXPECT_EQ(d.groups[0].record.key, 0x0414041Eu);
  ASSERT_EQ(d.groups[0].entries.size(), 1u);
  const CompiledEntry& entry = d.groups[0].entries[0];
  EXPECT_EQ(entry.header.headwordLength, 3u);
  EXPECT_EQ(entry.header.articleBlock, 0u);
  EXPECT_EQ(entry.header.articleStart, 0u);
  EXPECT_EQ(entry.header.articleLength, 5u);
  EXPECT_EQ(entry.headword, u"дом");
  EXPECT_EQ(entry.slot, u"ДОМ");
  EXPECT_EQ(d.articleBytes(entry.header), "house");
  ASSERT_EQ(d.blocks.size(), 1u);
  EXPECT_EQ(d.blocks[0].text, "house");
}

TEST(Compile, EmptyDictionary) {
  ScratchFolder folder;
  for (const char* codePage : {"1252", "1200"}) {
    const CompiledDictionary d = compile(folder, "", {codePage});
    EXPECT_EQ(d.header.groupCount, 0u);
    EXPECT_EQ(d.header.entryCount, 0u);
    EXPECT_EQ(d.header.groupTableOffset, d.header.sectionDataOffset);
    EXPECT_EQ(d.header.sectionDataOffset, d.fileSize);
    ASSERT_EQ(d.blocks.size(), 1u);
    // With 1200 the one block holds the added zero unit as two bytes; otherwise nothing.
    EXPECT_EQ(d.blocks[0].text, std::string(codePage == std::string("1200") ? 2 : 0, '\0'));
    EXPECT_EQ(d.header.groupTableOffset, 52 + d.blocks[0].size);
  }
}

TEST(Compile, EntryLayoutAndFoldedSlot) {
  ScratchFolder folder;
  const std::string longHeadword(1100, 'h');
  const CompiledDictionary d =
      compile(folder, "x-ray  a\ne\xCC\x81t  b\n" + longHeadword + "  c\nempty  \n", {"65001"});
  const CompiledEntry* xray = d.find(u"x-ray");
  ASSERT_NE(xray, nullptr);
  // As long as its headword: the slot is the folded headword alone.
  EXPECT_EQ(xray->slot, u"X!RAY");
  const CompiledEntry* accented = d.find(u"e\u0301t");
  ASSERT_NE(accented, nullptr);
  // Shorter: a zero unit follows, then the headword's own units.
  EXPECT_EQ(accented->slot, std::u16string(u"ET\0", 3));
  const CompiledEntry* cut = d.find(std::u16string(1023, u'h'));
  ASSERT_NE(cut, nullptr);
  EXPECT_EQ(cut->header.headwordLength, 1023u);
  EXPECT_EQ(d.articleBytes(cut->header), "c");
  const CompiledEntry* empty = d.find(u"empty");
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->header.articleBlock, kNone);
  EXPECT_EQ(empty->header.articleStart, 0u);
  EXPECT_EQ(empty->header.articleLength, 0u);
}

TEST(Compile, EqualFoldedHeadwordsKeepTheirScanOrder) {
  ScratchFolder folder;
  // Source entries in source order, then alternative headwords in the order they were made.
  const CompiledDictionary d =
      compile(folder, "Cat  1\nbig cat  2\ncat  3\nca  4\nCAT  5\n", {"1252", "1"});
  ASSERT_EQ(d.groups.size(), 2u);
  std::vector<std::string> articles;
  for (const CompiledEntry& entry : d.groups[1].entries)
    articles.push_back(d.articleBytes(entry.header));
  EXPECT_EQ(d.groups[1].record.key, 0x00430041u);
  EXPECT_EQ(articles, (std::vector<std::string>{"4", "1", "3", "5", "\bbig cat"}));
}

// The article of entry i: one of more than a megabyte in the middle, short ones elsewhere.
std::string articleOf(int i) {
  if (i == 9000) return std::string(600000, 'k');
  char article[64];
  std::snprintf(article, sizeof article, "article %d of the dictionary, text %x", i,
                i * 2654435761u);
  return article;
}

TEST(Compile, EveryArticleIsFoundWhereverItsEntriesStand) {
  // Most entries share one key, so their group's entries fill megabytes of the spool and are
  // read back in several pieces, one entry even across pieces; entries of other groups stand
  // between the first of them.
  std::string source;
  const int count = 24000;
  for (int i = 0; i < count; ++i) {
    source += i % 7 == 0 && i < 4000 ? static_cast<char>('a' + i % 26) : 'q';
    source.append("u").append(std::to_string(i)).append("  ").append(articleOf(i)).append("\n");
  }
  ScratchFolder folder;
  const CompiledDictionary d = compile(folder, source, {"1252"});
  EXPECT_EQ(d.header.entryCount, static_cast<uint32_t>(count));
  EXPECT_GT(d.blocks.size(), 100u);
  int checked = 0;
  for (const CompiledGroup& group : d.groups) {
    for (const CompiledEntry& entry : group.entries) {
      const int i = std::stoi(std::string(entry.headword.begin() + 2, entry.headword.end()));
      EXPECT_EQ(d.articleBytes(entry.header), articleOf(i)) << i;
      ++checked;
    }
  }
  EXPECT_EQ(checked, count);
}

TEST(Compile, EntryLeftWithoutItsArticleIsNotIndexed) {
  ScratchFolder folder;
  // The last headword never meets its two blanks, so its entry stands in the spool without
  // being registered; it has the key of the entry before it.
  const CompiledDictionary d = compile(folder, "ab  x\nab", {"1252"});
  EXPECT_EQ(d.header.entryCount, 1u);
  ASSERT_EQ(d.groups.size(), 1u);
  ASSERT_EQ(d.groups[0].entries.size(), 1u);
  EXPECT_EQ(d.articleBytes(d.groups[0].entries[0].header), "x");
}

TEST(Compile, FailedWriteLeavesNothingBehind) {
  ScratchFolder folder;
  std::string source;
  for (int i = 0; i < 200; ++i)
    source += "headword" + std::to_string(i) + "  some article text\n";
  folder.write("dict.txt", source);
  folder.write("dict.txt.zorvak", "older");
  RunOptions options;
  options.fileSizeLimit = 4096;
  RunResult result = folder.run({"dict.txt", "1252"}, options);
  EXPECT_EQ(result.status, 1);
  EXPECT_TRUE(result.output.ends_with("error write tmp file!")) << result.output;
  EXPECT_EQ(folder.list(), (std::vector<std::string>{"dict.txt", "dict.txt.zorvak"}));
  EXPECT_EQ(folder.read("dict.txt.zorvak"), "older");
}

// A dictionary in a double-byte code page: kana, kanji, hangul, simplified and traditional
// hanzi, ASCII trail bytes, a character split by the first chunk boundary, an article longer
// than one block.
struct DoubleByteCase {
  const char* codePage;
  std::string lines;      // entries in the code page
  std::string character;  // one double-byte character
};

class DoubleByteSource : public ::testing::TestWithParam<DoubleByteCase> {};

TEST_P(DoubleByteSource, CompilesToTheFileOfItsUtf8Form) {
  const DoubleByteCase& c = GetParam();
  const int32_t codePage = std::stoi(c.codePage);
  std::string source = "ascii  plain text\n";
  for (int i = 0; source.size() < 32700; ++i)
    source.append("pad").append(std::to_string(i)).append("  filler line\n");
  // The headword's first lead byte is the last byte of the first chunk.
  source.append(1, 'x').append(32767 - source.size() - 4, 'y').append("  z\n");
  source += c.character + c.character + "  split\n";
  source += c.lines;
  source += "long  ";
  for (int i = 0; i < 9000; ++i)
    source += c.character;
  source += "\n";
  ASSERT_EQ(static_cast<uint8_t>(source[32767]), static_cast<uint8_t>(c.character[0]));

  ScratchFolder folder;
  folder.write("dbcs.txt", source);
  const std::u16string units = decoded(codePage, source);
  folder.write("utf8.txt", utf8(units));
  EXPECT_EQ(folder.run({"dbcs.txt", c.codePage}).status, 0);
  EXPECT_EQ(folder.run({"utf8.txt", "65001"}).status, 0);
  const std::string compiled = folder.read("dbcs.txt.zorvak");
  EXPECT_EQ(compiled, folder.read("utf8.txt.zorvak"));

  CompiledDictionary d;
  const std::vector<std::string> problems = verifyCompiled(compiled, &d);
  EXPECT_TRUE(problems.empty()) << problems.front();
  EXPECT_EQ(d.header.codePage, 65001u);
  const std::u16string character = decoded(codePage, c.character);
  const CompiledEntry* split = d.find(character + character);
  ASSERT_NE(split, nullptr);
  const CompiledEntry* longEntry = d.find(u"long");
  ASSERT_NE(longEntry, nullptr);
  EXPECT_EQ(longEntry->header.articleLength, 9000u);
  std::string text;
  for (int i = 0; i < 9000; ++i)
    text += utf8(character);
  EXPECT_EQ(d.articleBytes(longEntry->header), text);

  EXPECT_EQ(folder.run({"dbcs.txt.zorvak", "0"}).status, 0);
  EXPECT_EQ(folder.run({"utf8.txt.zorvak", "0"}).status, 0);
  EXPECT_EQ(folder.read("dbcs.txt.zorvak.txt"), folder.read("utf8.txt.zorvak.txt"));
  EXPECT_NE(folder.read("dbcs.txt.zorvak.txt").find(utf8(character)), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, DoubleByteSource,
    ::testing::Values(
        DoubleByteCase{"932",
                       "\x93\xFA\x96{\x8C\xEA  \x82\xC9\x82\xD9\x82\xF1\x82\xB2\x81"
                       "A\x83j\x83z\x83\x93\x83S\x81"
                       "B\x8A\xBF\x8E\x9A\x82\xC6\x89\xBC\x96\xBC\n"
                       "\xB6\xC0\xB6\xC5  \x94\xBC\x8Ap\x82\xCC\x83J\x83^\x83J\x83i\n",
                       "\x93\xFA"},
        DoubleByteCase{
            "936",
            "\xD6\xD0\xCE\xC4  \xBC\xF2\xCC\xE5\xD6\xD0\xCE\xC4\xB5\xC4\xD7\xD6\xB7\xFB\n"
            "\xB1\xB1\xBE\xA9  \xD6\xD0\xBB\xAA\xC8\xCB\xC3\xF1\xB9\xB2\xBA\xCD\n",
            "\xD6\xD0"},
        DoubleByteCase{"949",
                       "\xC7\xD1\xB1\xB9\xBE\xEE  \xC7\xD1\xB1\xDB\xB7\xCE \xBE\xB4 "
                       "\xB9\xAE\xC0\xE5\xC0\xD4\xB4\xCF\xB4\xD9\n",
                       "\xC7\xD1"},
        DoubleByteCase{"950",
                       "\xA4\xA4\xA4\xE5  \xC1"
                       "c\xC5\xE9\xA4\xA4\xA4\xE5\xA6r\xA4\xB8\n"
                       "\xBBO\xA5_  \xBBO\xC6W\xAA\xBA\xAB\xB0\xA5\xAB\n",
                       "\xA4\xA4"}),
    [](const ::testing::TestParamInfo<DoubleByteCase>& info) {
      return std::string("cp") + info.param.codePage;
    });

}  // namespace
}  // namespace zorvak::testing
