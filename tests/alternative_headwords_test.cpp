// Word forms and alternative headwords, run as a user runs them.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

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

}  // namespace
}  // namespace zorvak::testing
