// The worked example of docs/format.md against the real compiled sample: every byte dump line
// ("file N: ...", "section G at N: ...", "block B units A-Z: ...") holds those bytes, and every
// command shown prints what the document says.

#include <gtest/gtest.h>

#include <cctype>
#include <sstream>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/tool_run.h"
#include "tests/verify.h"

namespace zorvak::testing {
namespace {

// Reads "PREFIX N: hex" (or with two or three numbers) from a line: the numbers before the
// colon and the hex after it. False when the line is not of that form.
bool dumpLine(const std::string& line, const std::string& pattern, std::vector<size_t>* numbers,
              std::string* hex) {
  // `pattern` holds "#" where a number stands, e.g. "section # at #".
  numbers->clear();
  size_t at = 0;
  for (size_t p = 0; p < pattern.size(); ++p) {
    if (pattern[p] != '#') {
      if (at >= line.size() || line[at] != pattern[p]) return false;
      ++at;
      continue;
    }
    const size_t start = at;
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])))
      ++at;
    if (at == start) return false;
    numbers->push_back(std::stoul(line.substr(start, at - start)));
  }
  if (line.compare(at, 2, ": ") != 0) return false;
  *hex = line.substr(at + 2);
  return hex->find_first_not_of("0123456789abcdef ") == std::string::npos;
}

std::string hexBytes(const std::string& hex) {
  std::string bytes;
  std::istringstream in(hex);
  std::string pair;
  while (in >> pair)
    bytes.push_back(static_cast<char>(std::stoi(pair, nullptr, 16)));
  return bytes;
}

TEST(FormatDocument, WorkedExampleMatchesTheCompiledSample) {
  ScratchFolder folder;
  const std::string root = ZORVAK_SOURCE_DIR;
  folder.write("sample.txt", readFile(root + "/examples/sample.txt"));
  folder.write("sample.forms.txt", readFile(root + "/examples/sample.forms.txt"));
  ASSERT_EQ(folder.run({"sample.txt", "65001", "0", "sample.forms.txt"}).status, 0);
  const std::string file = folder.read("sample.txt.zorvak");
  CompiledDictionary dictionary;
  ASSERT_TRUE(verifyCompiled(file, &dictionary).empty());

  std::istringstream document(readFile(root + "/docs/format.md"));
  const std::string sizeText = "gives a file of ";
  std::vector<size_t> n;
  std::string hex;
  int checked = 0;
  std::string line;
  std::vector<std::string> command;  // a "$ zorvak-lookup ..." line and the output after it
  std::string expected;
  auto runCommand = [&] {
    if (command.empty()) return;
    const ToolResult result = runTool(ZORVAK_LOOKUP_BINARY, command, folder.path());
    EXPECT_EQ(result.out, expected) << command.back();
    EXPECT_EQ(result.status, 0) << result.err;
    command.clear();
    expected.clear();
    ++checked;
  };
  while (std::getline(document, line)) {
    if (const size_t at = line.find(sizeText); at != std::string::npos) {
      EXPECT_EQ(std::stoul(line.substr(at + sizeText.size())), file.size());
    } else if (dumpLine(line, "file #", &n, &hex)) {
      const std::string bytes = hexBytes(hex);
      EXPECT_EQ(file.substr(n[0], bytes.size()), bytes) << line;
      ++checked;
    } else if (dumpLine(line, "section # at #", &n, &hex)) {
      const CompiledGroup& group = dictionary.groups.at(n[0]);
      std::string text;
      for (const CompiledEntry& entry : group.entries) {
        std::string head(kEntryHeaderSize, '\0');
        encodeEntryHeader(entry.header, reinterpret_cast<uint8_t*>(head.data()));
        text += head;
        for (char16_t unit : entry.headword + entry.slot) {
          text.push_back(static_cast<char>(unit & 0xFF));
          text.push_back(static_cast<char>(unit >> 8));
        }
      }
      const std::string bytes = hexBytes(hex);
      EXPECT_EQ(text.substr(n[1], bytes.size()), bytes) << line;
      ++checked;
    } else if (dumpLine(line, "block # units #-#", &n, &hex)) {
      const ArticleBlock& block = dictionary.blocks.at(n[0]);
      const size_t from = block.unitStarts.at(n[1]);
      const size_t to = block.unitStarts.at(n[2]);
      EXPECT_EQ(block.text.substr(from, to - from), hexBytes(hex)) << line;
      ++checked;
    } else if (line.rfind("$ zorvak-lookup ", 0) == 0) {
      std::istringstream words(line.substr(16));
      std::string word;
      while (words >> word)
        command.push_back(word);
    } else if (!command.empty() && line == "```") {
      runCommand();
    } else if (!command.empty()) {
      expected += line + "\n";
    }
  }
  EXPECT_GE(checked, 12);
}

}  // namespace
}  // namespace zorvak::testing
