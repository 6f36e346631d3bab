// Hostile sources and word forms files, compiled as a user would compile them: random bytes in
// every code page, zero bytes, a compiled dictionary given as source, a line of tens of
// megabytes, headwords far over the text limit, a word forms file of one enormous line and a
// lemma with a million forms. Each compiles without a crash under a memory limit far below
// what holding such an input would cost, to a dictionary that passes the format's checks (and
// zorvak-check) and decompresses without a complaint.

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/harness.h"
#include "tests/tool_run.h"
#include "tests/verify.h"
#include "text/codepage.h"

namespace zorvak::testing {
namespace {

#ifdef __SANITIZE_ADDRESS__
// The sanitizers reserve more address space than any limit allows, and run several times
// slower: the huge inputs shrink to what still dwarfs every buffer of a run.
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The address space a compile or a decompress may take: a few times what a run needs for its
// buffers, far below what holding a hostile input whole would cost.
constexpr uint64_t kRunLimit = uint64_t{64} << 20;

RunOptions limitedTo(uint64_t bytes) {
  RunOptions options;
  if (!kSanitized) options.memoryLimit = bytes;
  return options;
}

// Compiles d.txt with `arguments` (the name first is added) within `compileLimit` bytes of
// address space, and decompresses the result within kRunLimit; both must succeed, and the
// compiled dictionary passes zorvak-check. Returns the
// checked dictionary; *text gets the text.
CompiledDictionary compileCleanly(const ScratchFolder& folder,
                                  const std::vector<std::string>& arguments,
                                  std::string* text = nullptr, uint64_t compileLimit = kRunLimit) {
  std::vector<std::string> compile = {"d.txt"};
  compile.insert(compile.end(), arguments.begin(), arguments.end());
  const RunResult compiled = folder.run(compile, limitedTo(compileLimit));
  const std::string what = "compile " + (arguments.empty() ? "" : arguments[0]);
  EXPECT_EQ(compiled.status, 0) << what << ": " << compiled.output.substr(0, 200);
  const RunResult decompressed = folder.run({"d.txt.zorvak", "0"}, limitedTo(kRunLimit));
  EXPECT_EQ(decompressed.status, 0) << what << ": " << decompressed.output.substr(0, 200);
  EXPECT_EQ(decompressed.output.find("error"), std::string::npos) << what;
  if (text != nullptr) *text = folder.read("d.txt.zorvak.txt");

  const ToolResult check = runTool(ZORVAK_CHECK_BINARY, {"d.txt.zorvak"}, folder.path());
  EXPECT_EQ(check.status, 0) << what << ": " << check.err.substr(0, 200);
  CompiledDictionary dictionary;
  const std::vector<std::string> problems =
      verifyCompiledFile(folder.file("d.txt.zorvak"), &dictionary);
  EXPECT_TRUE(problems.empty()) << what << ": " << problems.front();
  return dictionary;
}

// An ASCII text as units.
std::u16string units(const std::string& ascii) {
  std::u16string out;
  for (char c : ascii)
    out.push_back(static_cast<char16_t>(c));
  return out;
}

// Random bytes in which line ends, blanks, tabs, colons and commas come often enough to make
// entries, word forms and alternative headwords of the rest; for UTF-16 random units.
std::string randomText(size_t size, unsigned seed, bool utf16) {
  std::mt19937 random(seed);
  std::string bytes;
  while (bytes.size() < size) {
    const unsigned roll = random() % 64;
    const char special = roll == 0   ? '\n'
                         : roll < 3  ? ' '
                         : roll == 3 ? '\t'
                         : roll == 4 ? ':'
                                     : ',';
    if (roll < 6) {
      bytes.append(1, special);
      if (utf16) bytes.append(1, '\0');
    } else {
      bytes.append(1, static_cast<char>(random()));
      if (utf16) bytes.append(1, static_cast<char>(random()));
    }
  }
  return bytes;
}

class RandomBytes : public ::testing::TestWithParam<int32_t> {};

// A source and a word forms file of random bytes, across several chunks, with every word
// filed as an alternative headword too.
TEST_P(RandomBytes, CompileAndDecompressCleanly) {
  const int32_t codePage = GetParam();
  ScratchFolder folder;
  const bool utf16 = codePage == kCodePageUtf16;
  folder.write("d.txt", randomText(48000, static_cast<unsigned>(codePage), utf16));
  folder.write("forms.txt", randomText(12000, static_cast<unsigned>(codePage) + 1, utf16));
  const CompiledDictionary d = compileCleanly(folder, {std::to_string(codePage), "1", "forms.txt"});
  EXPECT_GT(d.header.entryCount, 100u) << codePage;
}

INSTANTIATE_TEST_SUITE_P(EveryCodePage, RandomBytes,
                         ::testing::ValuesIn(supportedCodePages().begin(),
                                             supportedCodePages().end()),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                           return "cp" + std::to_string(info.param);
                         });

// The bytes of an ASCII text in a code page family: as they stand, or as UTF-16LE.
std::string inCodePage(const std::string& ascii, bool utf16) {
  if (!utf16) return ascii;
  std::string out;
  for (char c : ascii)
    out.append(1, c).append(1, '\0');
  return out;
}

class ZeroBytes : public ::testing::TestWithParam<const char*> {};

// Zero bytes in every line of a source and a word forms file of several chunks are control
// characters: dropped like every other, they neither end a chunk's text nor lose a line.
TEST_P(ZeroBytes, AreDroppedLikeOtherControlCharacters) {
  const std::string codePage = GetParam();
  const bool utf16 = codePage == "1200";
  const std::string zero(utf16 ? 2 : 1, '\0');
  std::string source, forms;
  constexpr int kLines = 6000;
  for (int i = 0; i < kLines; ++i) {
    const std::string n = std::to_string(i);
    source += inCodePage("w" + n, utf16) + zero + inCodePage("x  art", utf16) + zero +
              inCodePage("icle " + n + "\n", utf16);
    if (i % 100 == 0)
      forms += inCodePage("w" + n + "x", utf16) + zero + inCodePage(": f" + n + "\n", utf16);
  }
  ScratchFolder folder;
  folder.write("d.txt", source);
  folder.write("forms.txt", forms);
  const CompiledDictionary d = compileCleanly(folder, {codePage, "0", "forms.txt"});
  EXPECT_EQ(d.header.entryCount, static_cast<uint32_t>(kLines + kLines / 100));
  for (int i : {0, 1234, kLines - 1}) {
    const std::string n = std::to_string(i);
    const CompiledEntry* entry = d.find(units("w" + n + "x"));
    ASSERT_NE(entry, nullptr) << codePage << " line " << i;
    EXPECT_EQ(d.articleBytes(entry->header), inCodePage("article " + n, utf16)) << codePage;
  }
  ASSERT_NE(d.find(u"f1200"), nullptr) << codePage;
}

INSTANTIATE_TEST_SUITE_P(Families, ZeroBytes, ::testing::Values("1252", "932", "65001", "1200"));

// Uniform random bytes, and a compiled dictionary given as its own source in each family.
TEST(BadInput, BinaryJunkAndACompiledDictionaryAsSource) {
  ScratchFolder folder;
  std::mt19937 random(7);
  std::string junk(1 << 20, '\0');
  for (char& c : junk)
    c = static_cast<char>(random());
  folder.write("d.txt", junk);
  compileCleanly(folder, {"1251", "1"});

  folder.write("d.txt", std::string(readFile(ZORVAK_SOURCE_DIR "/examples/sample.txt")));
  ASSERT_EQ(folder.run({"d.txt", "65001"}).status, 0);
  const std::string compiled = folder.read("d.txt.zorvak");
  for (const char* codePage : {"1252", "65001", "932", "1200"}) {
    folder.write("d.txt", compiled);
    compileCleanly(folder, {codePage, "1"});
  }
}

// One line of tens of megabytes: a headword of megabytes, cut to the text limit, and an
// article of all the rest, which is stored whole, in block after block.
TEST(BadInput, ALineOfTensOfMegabytes) {
  const size_t lineBytes = kSanitized ? 8 << 20 : 50 << 20;
  std::string source(lineBytes, 'a');
  const size_t headword = 2 << 20;
  source[headword] = ' ';
  source[headword + 1] = ' ';
  // Blanks inside the article, none at either end of it.
  for (size_t i = headword + 10; i < lineBytes - 10; i += 61)
    source[i] = ' ';
  source += "\nnext  entry\n";
  ScratchFolder folder;
  folder.write("d.txt", source);
  std::string().swap(source);
  std::string text;
  const CompiledDictionary d = compileCleanly(folder, {"1252"}, &text);
  EXPECT_EQ(d.header.entryCount, 2u);
  const CompiledEntry* huge = d.find(std::u16string(1023, u'a'));
  ASSERT_NE(huge, nullptr);
  EXPECT_EQ(huge->header.articleLength, lineBytes - headword - 2);
  EXPECT_EQ(text.size(), 1023 + 2 + (lineBytes - headword - 2) + 2 + 13);
}

// Headwords, lemmas and forms far over the text limit, in characters of every UTF-8 length,
// one surrogate pair astride the limit; every word of them also an alternative headword.
TEST(BadInput, HeadwordsOverTheTextLimit) {
  const std::string letters[] = {"a", "\xC3\xA9", "\xE4\xB8\xAD", "\xF0\x9F\x98\x80"};
  std::string source, forms;
  for (size_t units : {1023, 1024, 1025, 5000, 40000}) {
    for (const std::string& letter : letters) {
      const size_t perLetter = letter.size() == 4 ? 2 : 1;
      std::string word;
      for (size_t n = 0; n < units; n += perLetter)
        word += letter;
      source += "(" + word + " " + word + ")  article of " + std::to_string(units) + "\n";
      forms += word + ": " + word + "x, y" + word + "\n";
    }
  }
  // 1022 units, then a character of two units that the limit cuts in half.
  source += std::string(1022, 'b') + "\xF0\x9F\x98\x80  astride\n";
  ScratchFolder folder;
  folder.write("d.txt", source);
  folder.write("forms.txt", forms);
  const CompiledDictionary d = compileCleanly(folder, {"65001", "1", "forms.txt"});
  EXPECT_GT(d.header.entryCount, 21u);
  for (const CompiledGroup& group : d.groups) {
    for (const CompiledEntry& entry : group.entries)
      EXPECT_LE(entry.header.headwordLength, 1023u);
  }
}

// A word forms file of one enormous line, without a line end, and one line that gives a single
// lemma a million forms.
TEST(BadInput, WordFormsOfOneEnormousLine) {
  ScratchFolder folder;
  folder.write("d.txt", "lemma  the article\nother  text\n");
  folder.write("forms.txt", "lemma: " + std::string(kSanitized ? 4 << 20 : 30 << 20, 'x'));
  EXPECT_EQ(compileCleanly(folder, {"1252", "0", "forms.txt"}).header.entryCount, 3u);

  const int forms = kSanitized ? 100000 : 1000000;
  std::string line = "lemma:";
  for (int i = 0; i < forms; ++i)
    line += " f" + std::to_string(i) + ",";
  folder.write("forms.txt", line);
  std::string text;
  // The forms are kept, each as an entry of its own: memory grows with them.
  const CompiledDictionary d =
      compileCleanly(folder, {"1252", "0", "forms.txt"}, nullptr, uint64_t{192} << 20);
  EXPECT_EQ(d.header.entryCount, static_cast<uint32_t>(2 + forms));
  std::string lastForm = std::to_string(forms - 1);
  lastForm.insert(0, 1, 'f');
  const CompiledEntry* last = d.find(units(lastForm));
  ASSERT_NE(last, nullptr);
  EXPECT_EQ(d.articleBytes(last->header), "\blemma");
}

}  // namespace
}  // namespace zorvak::testing
