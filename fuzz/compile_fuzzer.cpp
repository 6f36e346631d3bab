// The compile path over a source dictionary and a word forms file in every code page, with and
// without the all-words flag. Input: a code page selector byte, a flags byte (bit 0 all words,
// bit 1 a word forms file), then the source, and after a separator line the word forms file.
// Every compile must succeed, leave nothing but its compiled dictionary, give a file that
// keeps every rule of the format (as the check and the tests' verifier see it), and decompress
// cleanly to one line per entry.

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run.h"
#include "fuzz/fuzz_support.h"
#include "platform/file.h"
#include "reader/dictionary_check.h"
#include "tests/harness.h"
#include "tests/verify.h"
#include "text/codepage.h"

namespace zorvak::fuzz {
namespace {

int32_t codePageFor(uint8_t selector) {
  const std::span<const int32_t> pages = supportedCodePages();
  return pages[selector % pages.size()];
}

// Prints the rules the check finds broken.
class Violations : public CheckListener {
 public:
  bool violation(const std::string& text) override {
    std::fprintf(stderr, "check: %s\n", text.c_str());
    ++count;
    return true;
  }
  uint64_t count = 0;
};

int run(const std::vector<std::string>& arguments) {
  std::FILE* console = std::fopen("/dev/null", "w");
  FUZZ_CHECK(console != nullptr);
  const int status = runProgram(arguments, console);
  std::fclose(console);
  return status;
}

}  // namespace
}  // namespace zorvak::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zorvak;
  using namespace zorvak::fuzz;
  if (size < 2) return 0;
  const int32_t codePage = codePageFor(data[0]);
  const bool allWords = (data[1] & 1) != 0;
  const bool withForms = (data[1] & 2) != 0;
  const Parts parts =
      splitInput(std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));

  clearScratchFolder();
  const std::string folder = scratchFolder();
  const std::string source = folder + "/d.txt";
  const std::string forms = folder + "/d.forms";
  writeFile(source, parts.first);
  std::vector<std::string> arguments = {source, std::to_string(codePage), allWords ? "1" : "0"};
  if (withForms) {
    writeFile(forms, parts.second);
    arguments.push_back(forms);
  }
  FUZZ_CHECK(run(arguments) == 0);
  std::vector<std::string> expected = {"d.txt", "d.txt.zorvak"};
  if (withForms) expected.insert(expected.begin(), "d.forms");
  FUZZ_CHECK(testing::listFolder(folder) == expected);

  testing::CompiledDictionary dictionary;
  const std::vector<std::string> problems =
      testing::verifyCompiledFile(source + ".zorvak", &dictionary);
  for (const std::string& problem : problems)
    std::fprintf(stderr, "compiled file: %s\n", problem.c_str());
  FUZZ_CHECK(problems.empty());
  {
    File compiled = File::openForReading(source + ".zorvak");
    Violations violations;
    CheckSummary summary;
    FUZZ_CHECK(checkDictionary(compiled, violations, &summary).ok());
    FUZZ_CHECK(violations.count == 0);
  }

  FUZZ_CHECK(run({source + ".zorvak", "0"}) == 0);
  const std::string text = readFile(source + ".zorvak.txt");
  // One line per entry, each closed by CR LF (as units with 1200, where only a match on a unit
  // boundary counts: the bytes of two neighbouring units can spell CR LF too).
  const bool units = dictionary.header.codePage == 1200;
  const std::string lineEnd = units ? std::string("\r\0\n\0", 4) : std::string("\r\n");
  size_t lines = 0;
  for (size_t at = text.find(lineEnd); at != std::string::npos; at = text.find(lineEnd, at + 1))
    if (!units || at % 2 == 0) ++lines;
  FUZZ_CHECK(lines == dictionary.header.entryCount);
  return 0;
}
