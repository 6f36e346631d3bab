// Word forms and alternative headwords, run as a user runs them.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "tests/harness.h"

namespace zorvak::testing {
namespace {

std::string formLine(unsigned offered, unsigned stored, unsigned long long total) {
  char line[64];
  std::snprintf(line, sizeof line, "form %08u-%08u %16llu\r\n", offered, stored, total);
  return line;
}

// The word forms phase ends with its closing progress line; the run then stops at the missing
// input, so only the word forms file is read.
std::string wordFormsPhase(const ScratchFolder& folder, const char* codePage) {
  RunResult result = folder.run({"missing.txt", codePage, "0", "forms.txt"});
  EXPECT_EQ(result.status, 1);
  const size_t end = result.output.rfind("\r\n");
  const size_t start = result.output.rfind('\r', end - 1);
  return end == std::string::npos ? result.output
                                  : result.output.substr(start + 1, end + 1 - start);
}

TEST(WordFormsPhase, LastLineIsStoredWhateverTheFileLength) {
  ScratchFolder folder;
  // Lines of 8 bytes fill 32768 exactly; the last one lacks its line feed.
  std::string forms;
  unsigned lines = 0;
  for (; forms.size() < 32768; ++lines) {
    char line[16];
    std::snprintf(line, sizeof line, "%03x:g%02x\n", lines, lines & 0xFF);
    forms += line;
  }
  forms.pop_back();
  forms += 'z';
  ASSERT_EQ(forms.size(), 32768u);
  folder.write("forms.txt", forms);
  EXPECT_EQ(wordFormsPhase(folder, "1252"), formLine(lines, lines, 32770));
  folder.write("forms.txt", forms.substr(0, 32767));
  EXPECT_EQ(wordFormsPhase(folder, "1252"), formLine(lines, lines, 32769));
}

TEST(WordFormsPhase, DoubleByteCharacterAcrossTheChunkBoundaryDecodesWhole) {
  ScratchFolder folder;
  // The second form repeats the first, but its lead byte C4 is the 32768th byte of the file:
  // only when the pair decodes whole is it found to be a duplicate.
  std::string forms(32768 - 6, '\n');
  forms += "x:\xC4\xE3,\xC4\xE3\n";
  folder.write("forms.txt", forms);
  EXPECT_EQ(wordFormsPhase(folder, "936"), formLine(2, 1, forms.size() + 2));
}

// Text in one of the code page families the test runs in: a single-byte page (units below 0x100
// as one byte each), UTF-8, UTF-16LE or the double-byte 936 (where only u-umlaut is not ASCII).
std::string encode(const std::u16string& text, const std::string& codePage) {
  std::string bytes;
  for (char16_t u : text) {
    if (codePage == "1200") {
      bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
    } else if (codePage == "936" && u == u'\u00FC') {
      bytes += "\xA8\xB9";
    } else if (codePage == "65001" && u >= 0x80) {
      bytes += {static_cast<char>(0xC0 | u >> 6), static_cast<char>(0x80 | (u & 0x3F))};
    } else {
      bytes += static_cast<char>(u);
    }
  }
  return bytes;
}

class CompileWithAlternatives : public ::testing::TestWithParam<std::string> {};

// Word forms and the all-words flag together: every alternative line shows the reference mark
// and its target, and lands in the group of its own key, sorted among the group's entries.
TEST_P(CompileWithAlternatives, DecompressedTextShowsEveryAlternative) {
  const std::string codePage = GetParam();
  ScratchFolder folder;
  folder.write("d.txt", encode(u"go  to move\n"
                               u"run  to move fast\n"
                               u"rank  position\n"
                               u"run  to move fast\n"
                               u"take off  to remove\n"
                               u"-ing  suffix\n"
                               u"Hut  hat\n",
                               codePage));
  folder.write("f.txt", encode(u"go:went,gone\nrun:ran\nhut:h\u00FCte,hutes\n", codePage));
  RunResult compiled = folder.run({"d.txt", codePage, "1", "f.txt"});
  ASSERT_EQ(compiled.status, 0) << compiled.output;
  EXPECT_NE(compiled.output.find("form 00000005-00000003"), std::string::npos);
  EXPECT_NE(compiled.output.find("read 00000007-00000006"), std::string::npos);
  EXPECT_NE(compiled.output.find("scan 00000007-00000006"), std::string::npos);
  ASSERT_EQ(folder.run({"d.txt.zorvak", "0"}).status, 0);

  // Groups in key order: "!I", "GO", "HU", "H\u00DC" (only an alternative), "IN", "OF", "RA"
  // (alternatives sort before the source entry they precede), "RU", "TA", "WE".
  EXPECT_EQ(folder.read("d.txt.zorvak.txt"), encode(u"-ing  suffix\r\n"
                                                    u"go  to move\r\n"
                                                    u"Hut  hat\r\n"
                                                    u"h\u00FCte  \bHut\r\n"
                                                    u"ing  \b-ing\r\n"
                                                    u"off  \btake off\r\n"
                                                    u"ran  \brun\r\n"
                                                    u"ran  \brun\r\n"
                                                    u"rank  position\r\n"
                                                    u"run  to move fast\r\n"
                                                    u"run  to move fast\r\n"
                                                    u"take off  to remove\r\n"
                                                    u"went  \bgo\r\n",
                                                    codePage == "936" ? "65001" : codePage));
}

INSTANTIATE_TEST_SUITE_P(CodePages, CompileWithAlternatives,
                         ::testing::Values("1252", "65001", "1200", "936"));

TEST(CompileWithAlternatives, FailedWriteOfTheAlternativesIsReported) {
  ScratchFolder folder;
  // Few short entries, but each headword has many forms and every record repeats the long
  // headword: the alternative headwords outgrow the file size limit long before the spool.
  std::string source;
  std::string forms;
  for (int i = 0; i < 100; ++i) {
    std::string headword = "w";
    headword += std::to_string(1000 + i) + std::string(200, 'x');
    source += headword + "  a\n";
    forms += headword + ":";
    for (int f = 0; f < 50; ++f)
      forms += 'f' + std::to_string(f) + ',';
    forms += "\n";
  }
  folder.write("d.txt", source);
  folder.write("f.txt", forms);
  RunOptions options;
  options.fileSizeLimit = 500000;
  RunResult result = folder.run({"d.txt", "1252", "0", "f.txt"}, options);
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.output.find("error write add file!"), std::string::npos) << result.output;
  EXPECT_EQ(folder.list(), (std::vector<std::string>{"d.txt", "f.txt"}));
}

}  // namespace
}  // namespace zorvak::testing
