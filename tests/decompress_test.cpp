// Decompress mode run as a user runs it: round trips through the text in every code page
// family, and damaged compiled dictionaries.

#include <gtest/gtest.h>

#include <cstdio>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "tests/harness.h"

namespace zorvak::testing {
namespace {

// A code page family: its number and how it writes the units the test uses.
struct Family {
  const char* codePage;
  const char* recompileCodePage;  // the header's code page, which the text comes back in
  std::u16string letters;         // headword letters the page can hold
};

void PrintTo(const Family& family, std::ostream* out) {
  *out << family.codePage;
}

std::u16string range(char16_t first, char16_t last) {
  std::u16string units;
  for (char16_t u = first; u <= last; ++u)
    units += u;
  return units;
}

void appendBytes(std::string& out, std::initializer_list<uint32_t> bytes) {
  for (uint32_t byte : bytes)
    out.push_back(static_cast<char>(byte));
}

void appendUtf8(std::string& out, uint32_t value) {
  if (value < 0x80) {
    appendBytes(out, {value});
  } else if (value < 0x800) {
    appendBytes(out, {0xC0 | value >> 6, 0x80 | (value & 0x3F)});
  } else if (value < 0x10000) {
    appendBytes(out, {0xE0 | value >> 12, 0x80 | (value >> 6 & 0x3F), 0x80 | (value & 0x3F)});
  } else {
    appendBytes(out, {0xF0 | value >> 18, 0x80 | (value >> 12 & 0x3F), 0x80 | (value >> 6 & 0x3F),
                      0x80 | (value & 0x3F)});
  }
}

// The source bytes of `text` in the family's code page. Only units the test puts in the text
// are handled: ASCII, and per page its own letters.
std::string encodeSource(const std::u16string& text, const std::string& codePage) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    if (codePage == "1200") {
      appendBytes(out, {u & 0xFFu, uint32_t{u} >> 8});
    } else if (u < 0x80) {
      appendBytes(out, {u});
    } else if (codePage == "1251") {
      appendBytes(out, {0xC0u + (u - 0x0410u)});  // А..я
    } else if (codePage == "1252") {
      appendBytes(out, {u});  // à..ÿ
    } else if (codePage == "932") {
      appendBytes(out, {0x82, 0x9Fu + (u - 0x3041u)});  // ぁ..ん
    } else if (u >= 0xD800 && u < 0xDC00) {
      appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (text[++i] - 0xDC00));
    } else {
      appendUtf8(out, u);
    }
  }
  return out;
}

// A character of `letters` at random: one unit, or a surrogate pair as a whole.
std::u16string pick(const std::u16string& letters, std::mt19937& random) {
  size_t at = random() % letters.size();
  if (letters[at] >= 0xDC00 && letters[at] < 0xE000) --at;
  return letters.substr(at, letters[at] >= 0xD800 && letters[at] < 0xDC00 ? 2 : 1);
}

// A source dictionary of `count` entries with unique headwords: words of the family's letters
// (and its symbols), some with a blank inside, articles with tabs and, now and then, one long
// enough to fill a block by itself.
std::u16string makeSource(const Family& family, int count, unsigned seed) {
  std::mt19937 random(seed);
  std::u16string text;
  for (int i = 0; i < count; ++i) {
    // A Latin letter first: a headword that begins otherwise would also give an alternative
    // headword, whose reference mark the text cannot carry back.
    std::u16string headword(1, static_cast<char16_t>(u'a' + random() % 26));
    for (int n = random() % 6; n > 0; --n)
      headword += pick(family.letters, random);
    if (random() % 5 == 0) headword += u' ';
    for (char c : std::to_string(i))
      headword += static_cast<char16_t>(u'a' + (c - '0'));
    std::u16string article;
    const int words = random() % 50 == 0 ? 3000 : random() % 12;
    for (int w = 0; w < words; ++w) {
      if (w > 0) article += random() % 7 == 0 ? u'\t' : u' ';
      for (int n = 1 + random() % 8; n > 0; --n)
        article += random() % 3 == 0 ? std::u16string(1, u'a' + random() % 26)
                                     : pick(family.letters, random);
    }
    text += headword + u"  " + article + u"\n";
  }
  return text;
}

class RoundTrip : public ::testing::TestWithParam<Family> {};

// Compile, decompress, compile the text again: the second dictionary holds the same groups
// with the same entries and articles as the first, so it decompresses to the same text with
// the same progress lines (each names its group's key and counts the entries so far).
TEST_P(RoundTrip, TextCompilesBackToTheSameDictionary) {
  const Family& family = GetParam();
  ScratchFolder folder;
  folder.write("a.txt", encodeSource(makeSource(family, 1500, 7), family.codePage));
  ASSERT_EQ(folder.run({"a.txt", family.codePage}).status, 0);
  RunResult first = folder.run({"a.txt.zorvak", "0"});
  ASSERT_EQ(first.status, 0) << first.output;
  const std::string text = folder.read("a.txt.zorvak.txt");
  const std::string lineEnd =
      family.codePage == std::string("1200") ? std::string("\r\0\n\0", 4) : std::string("\r\n");
  size_t lines = 0;
  for (size_t at = text.find(lineEnd); at != std::string::npos; at = text.find(lineEnd, at + 1))
    ++lines;
  EXPECT_EQ(lines, 1500u);
  ASSERT_GE(first.output.size(), 18u);
  EXPECT_EQ(first.output.substr(first.output.size() - 18), "00001500-00000000\r")
      << "the last group's line counts every entry";

  if (family.recompileCodePage == std::string("65001")) {
    // Valid UTF-8: a character beyond the first plane is one four-byte sequence, never a pair
    // of three-byte surrogate sequences.
    for (size_t at = text.find('\xED'); at != std::string::npos; at = text.find('\xED', at + 1)) {
      ASSERT_LT(static_cast<uint8_t>(text[at + 1]), 0xA0) << "surrogate at byte " << at;
    }
    if (family.codePage == std::string("65001")) {
      EXPECT_NE(text.find("\xF0\x9F\x98\x80"), std::string::npos);
    }
  }

  folder.write("b.txt", text);
  ASSERT_EQ(folder.run({"b.txt", family.recompileCodePage}).status, 0);
  EXPECT_EQ(folder.read("b.txt.zorvak").substr(12, 4), folder.read("a.txt.zorvak").substr(12, 4))
      << "code page in the header";
  RunResult second = folder.run({"b.txt.zorvak", "0"});
  EXPECT_EQ(second.output, first.output);
  EXPECT_EQ(folder.read("b.txt.zorvak.txt"), text);
}

// With word forms and the all-words flag, the compiled file, the text written back and every
// progress line are the same whatever the number of threads that compress or inflate.
TEST_P(RoundTrip, EveryThreadCountGivesTheSameFileAndText) {
  const Family& family = GetParam();
  ScratchFolder folder;
  const std::u16string source = makeSource(family, 3000, 11);
  // Word forms of every tenth headword's first word: forms that do not begin with it.
  std::u16string forms;
  size_t line = 0;
  for (size_t at = 0; at < source.size(); at = source.find(u'\n', at) + 1, ++line) {
    if (line % 10 != 0) continue;
    const std::u16string lemma = source.substr(at, source.find_first_of(u"  ", at) - at);
    forms += lemma + u": q" + lemma + u", zz" + lemma + u"\n";
  }
  folder.write("a.txt", encodeSource(source, family.codePage));
  folder.write("f.txt", encodeSource(forms, family.codePage));
  std::string expected, expectedOutput;
  for (const char* threads : {"1", "2", "8"}) {
    RunResult result = folder.run({"--threads", threads, "a.txt", family.codePage, "1", "f.txt"});
    ASSERT_EQ(result.status, 0) << result.output;
    if (expected.empty()) {
      expected = folder.read("a.txt.zorvak");
      expectedOutput = result.output;
      // The scan's closing line counts the alternative headwords it found.
      const size_t scan = result.output.rfind("scan ");
      ASSERT_NE(scan, std::string::npos);
      EXPECT_NE(result.output.substr(scan + 14, 8), "00000000");
      continue;
    }
    EXPECT_EQ(folder.read("a.txt.zorvak"), expected) << threads << " threads";
    EXPECT_EQ(result.output, expectedOutput) << threads << " threads";
  }
  std::string text, textOutput;
  for (const char* threads : {"1", "2", "8"}) {
    RunResult result = folder.run({"--threads", threads, "a.txt.zorvak", "0"});
    ASSERT_EQ(result.status, 0) << result.output;
    if (text.empty()) {
      text = folder.read("a.txt.zorvak.txt");
      textOutput = result.output;
      continue;
    }
    EXPECT_EQ(folder.read("a.txt.zorvak.txt"), text) << threads << " threads";
    EXPECT_EQ(result.output, textOutput) << threads << " threads";
  }
}

// The smallest file is smaller and is written back as the same text with the same progress.
TEST_P(RoundTrip, SmallestFileReadsLikeTheStandardOne) {
  const Family& family = GetParam();
  ScratchFolder folder;
  const std::string source = encodeSource(makeSource(family, 1500, 5), family.codePage);
  folder.write("a.txt", source);
  folder.write("b.txt", source);
  ASSERT_EQ(folder.run({"a.txt", family.codePage}).status, 0);
  ASSERT_EQ(folder.run({"--smallest", "b.txt", family.codePage}).status, 0);
  EXPECT_LT(folder.read("b.txt.zorvak").size(), folder.read("a.txt.zorvak").size());
  const RunResult standard = folder.run({"a.txt.zorvak", "0"});
  const RunResult smallest = folder.run({"b.txt.zorvak", "0"});
  ASSERT_EQ(smallest.status, 0) << smallest.output;
  EXPECT_EQ(smallest.output, standard.output);
  EXPECT_EQ(folder.read("b.txt.zorvak.txt"), folder.read("a.txt.zorvak.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, RoundTrip,
    ::testing::Values(Family{"1251", "1251", range(u'\u0430', u'\u044F') + u"\u0410\u0416"},
                      Family{"1252", "1252", range(u'\u00E0', u'\u00FF') + u"xyz"},
                      Family{"932", "65001", range(u'\u3041', u'\u3093')},
                      Family{"65001", "65001", u"e\u00E9\u20AC\u6F22\xD83D\xDE00\xD800\xDC00"},
                      Family{"1200", "1200", u"e\u00E9\u20AC\u6F22\xD83D\xDE00"}),
    [](const ::testing::TestParamInfo<Family>& info) {
      return std::string("cp") + info.param.codePage;
    });

// A compiled dictionary of a few article blocks and a few dozen groups, its bytes.
std::string compiledSample(const ScratchFolder& folder) {
  const Family family{"65001", "65001", u"bcdfge\u00E9\u20AC\u6F22\xD83D\xDE00"};
  folder.write("s.txt", encodeSource(makeSource(family, 400, 3), "65001"));
  EXPECT_EQ(folder.run({"s.txt", "65001"}).status, 0);
  return folder.read("s.txt.zorvak");
}

// What a damaged file may give: the exit status 0 or 1 and nothing but progress lines before
// "error file!"; the text is in place exactly when the header was taken (a group was read).
// With `threads`, the same status, lines and text with one thread and with that many.
void expectSalvaged(const ScratchFolder& folder, const std::string& what, bool mustFail,
                    const char* threads = nullptr) {
  RunResult result = folder.run({"d.zorvak", "0"});
  if (threads != nullptr) {
    const auto text = [&] {
      return folder.exists("d.zorvak.txt") ? folder.read("d.zorvak.txt") : "";
    };
    const std::string first = text();
    for (const char* count : {"1", threads}) {
      std::remove(folder.file("d.zorvak.txt").c_str());
      const RunResult other = folder.run({"--threads", count, "d.zorvak", "0"});
      EXPECT_EQ(other.status, result.status) << what << ", " << count << " threads";
      EXPECT_EQ(other.output, result.output) << what << ", " << count << " threads";
      EXPECT_EQ(text(), first) << what << ", " << count << " threads";
    }
  }
  ASSERT_TRUE(result.status == 0 || result.status == 1) << what << " status " << result.status;
  if (mustFail) {
    EXPECT_EQ(result.status, 1) << what;
  }
  std::string progress = result.output.substr(std::string("decompress\r\n").size());
  if (result.status == 1) {
    ASSERT_GE(progress.size(), 11u) << what;
    EXPECT_EQ(progress.substr(progress.size() - 11), "error file!") << what;
    progress.resize(progress.size() - 11);
  }
  EXPECT_EQ(progress.size() % 32, 0u) << what << ": " << progress;
  for (size_t at = 0; at < progress.size(); at += 32)
    EXPECT_EQ(progress.substr(at, 5) + progress.substr(at + 31, 1), "read \r") << what;
  EXPECT_EQ(folder.exists("d.zorvak.txt"), result.status == 0 || !progress.empty()) << what;
}

TEST(DamagedDictionary, EveryTruncationIsSalvagedAndReported) {
  ScratchFolder folder;
  const std::string sound = compiledSample(folder);
  for (size_t cut = 0; cut < sound.size(); cut += 1 + sound.size() / 97) {
    folder.write("d.zorvak", sound.substr(0, cut));
    std::remove(folder.file("d.zorvak.txt").c_str());
    expectSalvaged(folder, std::string("cut at ").append(std::to_string(cut)), true);
  }
}

TEST(DamagedDictionary, FlippedBytesNeverCrashTheDecompressor) {
  ScratchFolder folder;
  const std::string sound = compiledSample(folder);
  std::mt19937 random(11);
  for (int round = 0; round < 150; ++round) {
    std::string damaged = sound;
    std::string what = "flipped";
    for (int flips = 1 + random() % 3; flips > 0; --flips) {
      // Mostly the header and group table, where one bit moves everything, then anywhere.
      const size_t at = random() % 2 == 0 ? random() % std::min<size_t>(200, damaged.size())
                                          : random() % damaged.size();
      damaged[at] = static_cast<char>(damaged[at] ^ (1 << random() % 8));
      what.append(1, ' ').append(std::to_string(at));
    }
    folder.write("d.zorvak", damaged);
    std::remove(folder.file("d.zorvak.txt").c_str());
    expectSalvaged(folder, what, false, "8");
  }
}

TEST(DamagedDictionary, FailedWriteOfTheTextLeavesTheOldOne) {
  ScratchFolder folder;
  folder.write("d.zorvak", compiledSample(folder));
  folder.write("d.zorvak.txt", "earlier text");
  RunOptions options;
  options.fileSizeLimit = 20000;
  RunResult result = folder.run({"d.zorvak", "0"}, options);
  EXPECT_EQ(result.status, 1);
  EXPECT_EQ(result.output.substr(result.output.size() - 21), "error write out file!");
  EXPECT_EQ(folder.read("d.zorvak.txt"), "earlier text");
}

}  // namespace
}  // namespace zorvak::testing
