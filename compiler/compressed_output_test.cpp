// Article blocks and group sections through the compressed output: the bytes do not depend on
// the number of threads, nor on whether a stream is held whole or deflated as it comes.

#include "compiler/compressed_output.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <tuple>

#include "compiler/article_stream.h"
#include "compiler/entry_list.h"
#include "compiler/section_stream.h"
#include "compiler/test_support.h"

namespace zorvak::testing {
namespace {

struct Written {
  std::string articleData, sections, groupTable;
  uint32_t finishedStreams = 0;
  bool operator==(const Written&) const = default;
};

// Groups of entries with articles of every size, a few of them past a block of their own,
// written with `workers` threads; streams longer than `streamingBytes` are deflated as they come,
// and the scan waits while more than `heldLimit` bytes beside the largest stream are held.
Written compile(size_t workers, size_t streamingBytes,
                size_t heldLimit = CompressedOutput::kHeldLimit) {
  ScratchFile articleFile, sectionFile, groupTableFile;
  BufferedWriter articleWriter(articleFile.file, 1 << 12, "error write out file!");
  BufferedWriter sectionWriter(sectionFile.file, 1 << 12, "error write sec file!");
  BufferedWriter groupTableWriter(groupTableFile.file, 1 << 12, "error write dat file!");
  CompressedOutput output(workers, Compression::kDefault, articleWriter, sectionWriter,
                          groupTableWriter, heldLimit);
  EncoderState encoder;
  encoderReset(encoder);
  Written written;
  ArticleStream articles(output, 65001, encoder, written.finishedStreams, streamingBytes);
  SectionStream sections(output, written.finishedStreams, streamingBytes);
  std::mt19937 random(3);
  std::u16string text;
  for (int i = 0; i < 60000; ++i)
    text += static_cast<char16_t>(random() % 5 == 0 ? u'\u0436' : u'a' + random() % 26);
  for (uint32_t group = 0; group < 40; ++group) {
    EntryList entries;
    const uint32_t count = group % 7 == 3 ? 0 : 1 + random() % 60;
    for (uint32_t e = 0; e < count; ++e) {
      std::u16string headword(2 + random() % 9, static_cast<char16_t>(u'a' + e % 26));
      headword[0] = u'w';
      const size_t length = random() % 20 == 0 ? 20000 : random() % 300;
      uint64_t block = kNone;
      uint32_t start = 0;
      const size_t from = random() % (text.size() - length);
      EXPECT_TRUE(articles.feedArticleUnits(unitData(text) + from, length, &block, &start).ok());
      if (length == 0) block = kNone;
      entries.add(unitData(headword), headword.size(), unitData(headword), headword.size(), block,
                  start, static_cast<uint32_t>(length));
      EXPECT_TRUE(articles.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr).ok());
    }
    EXPECT_TRUE(sections.writeGroupSection(0x00570000 + group, count, entries).ok());
  }
  EXPECT_TRUE(articles.feedArticleUnit(0, ArticleStream::kFinal, nullptr, nullptr).ok());
  EXPECT_TRUE(output.finish().ok());
  EXPECT_TRUE(articleWriter.flush().ok());
  EXPECT_TRUE(sectionWriter.flush().ok());
  EXPECT_TRUE(groupTableWriter.flush().ok());
  encoderRelease(encoder);
  written.articleData = articleFile.bytes();
  written.sections = sectionFile.bytes();
  written.groupTable = groupTableFile.bytes();
  return written;
}

class CompressedOutputTest : public ::testing::TestWithParam<std::tuple<size_t, size_t, size_t>> {};

TEST_P(CompressedOutputTest, SameBytesAsOneThreadHoldingEveryStream) {
  static const Written expected = compile(0, size_t{1} << 30);
  ASSERT_EQ(expected.groupTable.size(), 40u * 16);
  const auto [workers, streamingBytes, heldLimit] = GetParam();
  const Written written = compile(workers, streamingBytes, heldLimit);
  EXPECT_EQ(written.finishedStreams, expected.finishedStreams);
  EXPECT_TRUE(written.articleData == expected.articleData);
  EXPECT_TRUE(written.sections == expected.sections);
  EXPECT_TRUE(written.groupTable == expected.groupTable);
}

// Streamed: every block (all pass 2 KiB of text) and the sections longer than 2 KiB. Held
// past 3 KiB: most blocks and sections are larger than the limit on their own, so the scan goes
// on beside one of them and waits for the others.
INSTANTIATE_TEST_SUITE_P(ThreadsAndStreaming, CompressedOutputTest,
                         ::testing::Combine(::testing::Values(size_t{0}, size_t{1}, size_t{3}),
                                            ::testing::Values(size_t{1} << 30, size_t{1} << 11),
                                            ::testing::Values(CompressedOutput::kHeldLimit,
                                                              size_t{3} << 10)));

}  // namespace
}  // namespace zorvak::testing
