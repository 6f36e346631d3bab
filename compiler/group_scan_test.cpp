// The group scan, the entry order and the compiler's phases around it.

#include "compiler/group_scan.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "compiler/compiler.h"
#include "compiler/entry_list.h"
#include "compiler/test_support.h"
#include "format/coding.h"

namespace zorvak::testing {
namespace {

std::string inflateOne(const std::string& bytes, int* result) {
  z_stream s{};
  EXPECT_EQ(inflateInit(&s), Z_OK);
  s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  s.avail_in = static_cast<uInt>(bytes.size());
  char buffer[65536];
  s.next_out = reinterpret_cast<Bytef*>(buffer);
  s.avail_out = sizeof(buffer);
  *result = inflate(&s, Z_FINISH);
  std::string out(buffer, sizeof(buffer) - s.avail_out);
  inflateEnd(&s);
  return out;
}

std::u16string foldedOf(const std::u16string& headword) {
  static const HeadwordFolder folder(SubstitutionTable::standard());
  uint16_t buffer[kTextBufferUnits];
  size_t length = 0;
  folder.headwordKey(unitData(headword), buffer, &length);
  return std::u16string(buffer, buffer + length);
}

TEST(EntryList, OrderIsByFoldedHeadwordAndStable) {
  EntryList list;
  const std::u16string headwords[] = {u"cats", u"Cat", u"cat", u"ab", u"a", u"CAT", u"b-c", u"bc"};
  uint32_t n = 0;
  for (const std::u16string& h : headwords) {
    const std::u16string f = foldedOf(h);
    list.add(unitData(h), h.size(), unitData(f), f.size(), kNone, 0, n++);
  }
  list.sort();
  std::vector<uint32_t> order;
  for (const EntryRecord& r : list.records())
    order.push_back(r.articleLength);
  // A prefix sorts first; "!" (a folded hyphen) sorts before letters; equal folded headwords
  // keep the order in which they were found.
  EXPECT_EQ(order, (std::vector<uint32_t>{4, 3, 6, 7, 1, 2, 5, 0}));
}

TEST(GroupScanner, GroupWithoutEntriesGetsACompleteEmptySection) {
  ScratchFile spool, alternatives, output, sections, groupTable;
  const std::u16string text = units("|a~x|");
  ASSERT_TRUE(spool.file.write(text.data(), text.size() * 2));
  ASSERT_TRUE(alternatives.file.write(units("|").data(), 2));
  IndexGroups groups;
  // Registered under a key that the entry in the spool does not have.
  groups.registerEntry(0x00420000, 0);
  groups.closeSource(8);
  groups.sortGroups();

  HeadwordFolder folder(SubstitutionTable::standard());
  BufferedWriter outputWriter(output.file, 4096, "error write out file!");
  BufferedWriter sectionWriter(sections.file, 4096, "error write sec file!");
  BufferedWriter groupTableWriter(groupTable.file, 4096, "error write dat file!");
  EncoderState encoder;
  encoderReset(encoder);
  uint32_t finishedStreams = 0;
  CompressedOutput compressed(0, Compression::kDefault, outputWriter, sectionWriter,
                              groupTableWriter);
  ArticleStream articles(compressed, 1252, encoder, finishedStreams);
  SectionStream sectionStream(compressed, finishedStreams);
  GroupScanner scanner(spool.file, alternatives.file, groups, folder, articles, sectionStream);
  struct : ScanProgress {
    void scanningGroup(uint32_t, uint32_t, uint32_t) override {}
    void scanFinished(uint32_t, uint32_t, uint32_t) override {}
  } progress;
  ASSERT_TRUE(scanner.scanGroups(progress).ok());
  ASSERT_TRUE(compressed.finish().ok());
  ASSERT_TRUE(sectionWriter.flush().ok());
  ASSERT_TRUE(groupTableWriter.flush().ok());
  EXPECT_EQ(scanner.sourceEntriesFound(), 0u);
  EXPECT_EQ(finishedStreams, 1u);
  EXPECT_EQ(groupTable.bytes().size(), 16u);
  int result = 0;
  EXPECT_EQ(inflateOne(sections.bytes(), &result), "");
  EXPECT_EQ(result, Z_STREAM_END);
  encoderRelease(encoder);
}

// The six files of a compile run, under /tmp.
struct ScratchRun {
  ScratchFile input, spool, sections, groupTable, alternatives, output;
  CompileFiles files() {
    CompileFiles f;
    f.input = std::move(input.file);
    f.spool = std::move(spool.file);
    f.sections = std::move(sections.file);
    f.groupTable = std::move(groupTable.file);
    f.alternatives = std::move(alternatives.file);
    f.output = std::move(output.file);
    return f;
  }
};

std::string readAll(File& file) {
  std::string bytes(static_cast<size_t>(file.size()), '\0');
  EXPECT_EQ(file.readAt(0, bytes.data(), bytes.size()), static_cast<int64_t>(bytes.size()));
  return bytes;
}

TEST(DictionaryCompiler, HeaderIsWrittenTwiceDifferingOnlyInItsOffsets) {
  ScratchRun run;
  CompileFiles files = run.files();
  WordForms wordForms(1251);
  wordForms.reset();
  DictionaryCompiler compiler(1251, 0, wordForms, files);
  std::string source = "\xE4\xEE\xEC  house\n";
  size_t carry = 0;
  ASSERT_TRUE(
      compiler.consumeSourceChunk(reinterpret_cast<uint8_t*>(source.data()), source.size(), &carry)
          .ok());
  EXPECT_EQ(compiler.mainEntries(), 1u);
  ASSERT_TRUE(compiler.prepareCompiledDictionary().ok());
  // The spool holds the entry and the end mark; the alternative headwords file its end mark.
  EXPECT_EQ(readAll(files.spool),
            std::string("\1\0\x34\x04\x3E\x04\x3C\x04\2\0h\0o\0u\0s\0e\0\1\0", 22));
  EXPECT_EQ(readAll(files.alternatives), std::string("\1\0", 2));
  const std::string before = readAll(files.output);
  ASSERT_EQ(before.size(), 52u);
  EXPECT_EQ(before.substr(48), "\x01\x04\x15\x04");

  struct : ScanProgress {
    void scanningGroup(uint32_t, uint32_t, uint32_t) override {}
    void scanFinished(uint32_t, uint32_t, uint32_t) override {}
  } progress;
  ASSERT_TRUE(compiler.scanGroups(progress).ok());
  ASSERT_TRUE(compiler.assembleCompiledDictionary().ok());
  const std::string after = readAll(files.output);
  EXPECT_EQ(after.substr(0, 24), before.substr(0, 24));
  EXPECT_EQ(before.substr(24, 24), std::string(24, '\0'));
  const uint8_t* header = reinterpret_cast<const uint8_t*>(after.data());
  EXPECT_EQ(decodeFixed64(header + 24), 52u);
  EXPECT_EQ(decodeFixed64(header + 40), decodeFixed64(header + 32) + 16);
  EXPECT_EQ(after.substr(48, 4), before.substr(48, 4));
}

// A source of 3000 entries in a few hundred groups: headwords of one or two words, some
// beginning with a hyphen, articles from empty to a block long; sorted by headword, sorted
// with some neighbours swapped (so that stretches read directly reach into each other), or
// shuffled.
enum class Order { kSorted, kNearlySorted, kShuffled };

std::string makeSource(Order order) {
  std::mt19937 random(9);
  std::vector<std::string> lines;
  for (int i = 0; i < 3000; ++i) {
    std::string headword = random() % 10 == 0 ? "-" : "";
    headword += static_cast<char>('a' + random() % 6);
    headword += static_cast<char>('a' + random() % 26);
    headword += std::to_string(random() % 50);
    if (random() % 4 == 0) headword.append(" w").append(std::to_string(random() % 9));
    std::string line = headword;
    line.append("  ");
    const int words = random() % 40 == 0 ? 2500 : random() % 12;
    for (int w = 0; w < words; ++w)
      line.append(w > 0 ? " " : "").append(std::to_string(random()));
    line.append("\n");
    lines.push_back(line);
  }
  if (order == Order::kShuffled) {
    std::shuffle(lines.begin(), lines.end(), random);
  } else {
    std::sort(lines.begin(), lines.end());
  }
  if (order == Order::kNearlySorted) {
    for (size_t i = 0; i + 3 < lines.size(); i += 7)
      std::swap(lines[i], lines[i + 1 + random() % 3]);
  }
  std::string source;
  for (const std::string& line : lines)
    source += line;
  return source;
}

// The compiled file and the scan's progress, compiled with the all-words flag.
std::string compileWith(const std::string& source, ScanLimits limits, size_t workers) {
  ScratchRun run;
  CompileFiles files = run.files();
  WordForms wordForms(1252);
  wordForms.reset();
  DictionaryCompiler compiler(1252, 1, wordForms, files, workers, Compression::kDefault, limits);
  for (size_t at = 0; at < source.size(); at += 4096) {
    std::string chunk = source.substr(at, 4096);
    size_t carry = 0;
    EXPECT_TRUE(
        compiler.consumeSourceChunk(reinterpret_cast<uint8_t*>(chunk.data()), chunk.size(), &carry)
            .ok());
  }
  EXPECT_TRUE(compiler.prepareCompiledDictionary().ok());
  struct : ScanProgress {
    void scanningGroup(uint32_t key, uint32_t source, uint32_t alternatives) override {
      lines += std::to_string(key) + " " + std::to_string(source) + " " +
               std::to_string(alternatives) + "\n";
    }
    void scanFinished(uint32_t, uint32_t, uint32_t streams) override {
      lines += std::to_string(streams) + "\n";
    }
    std::string lines;
  } progress;
  EXPECT_TRUE(compiler.scanGroups(progress).ok());
  EXPECT_TRUE(compiler.assembleCompiledDictionary().ok());
  EXPECT_GT(compiler.alternativeEntries(), 0u);
  return progress.lines + readAll(files.output);
}

// Partitions of a few entries, groups read entry by entry and sorted in runs of one entry give
// the file of a scan that holds everything at once, whether the source is sorted (its
// partitions are read where they stand) or not (they are copied out first, in one pass or in
// two halves), and whatever the scan gives back of its files once read.
TEST(GroupScanner, AnyScanLimitsGiveTheSameFile) {
  for (Order order : {Order::kSorted, Order::kNearlySorted, Order::kShuffled}) {
    const std::string source = makeSource(order);
    const std::string expected = compileWith(source, ScanLimits{}, 0);
    for (const ScanLimits& limits :
         {ScanLimits{2000, 20, size_t{1} << 20}, ScanLimits{1, 1, 1, 2, 4096},
          ScanLimits{3000, 1000, 2000, 100}}) {
      EXPECT_TRUE(compileWith(source, limits, 2) == expected)
          << "source order " << static_cast<int>(order) << ", partitions of "
          << limits.partitionBytes << " bytes";
    }
  }
}

}  // namespace
}  // namespace zorvak::testing
