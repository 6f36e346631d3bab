// The article stream: when blocks close, what they hold, and where articles are placed.

#include "compiler/article_stream.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

#include "compiler/test_support.h"

namespace zorvak::testing {
namespace {

// The inflated streams of `bytes`, one after another.
std::vector<std::string> inflateAll(const std::string& bytes) {
  std::vector<std::string> streams;
  size_t at = 0;
  while (at < bytes.size()) {
    z_stream s{};
    EXPECT_EQ(inflateInit(&s), Z_OK);
    s.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + at));
    s.avail_in = static_cast<uInt>(bytes.size() - at);
    std::string out;
    int result = Z_OK;
    while (result == Z_OK) {
      char buffer[4096];
      s.next_out = reinterpret_cast<Bytef*>(buffer);
      s.avail_out = sizeof(buffer);
      result = inflate(&s, Z_NO_FLUSH);
      out.append(buffer, sizeof(buffer) - s.avail_out);
    }
    EXPECT_EQ(result, Z_STREAM_END);
    at = bytes.size() - s.avail_in;
    inflateEnd(&s);
    streams.push_back(out);
    if (result != Z_STREAM_END) break;
  }
  return streams;
}

// `count` units 'a' as UTF-16LE bytes.
std::string repeated(size_t count) {
  std::string bytes;
  for (size_t i = 0; i < count; ++i)
    bytes += std::string("a\0", 2);
  return bytes;
}

// The article data of a compile, written through a compressed output with `workers` threads.
struct ArticleData {
  explicit ArticleData(size_t workers = 0)
      : writer(file.file, 1 << 16, "error write out file!"),
        sectionWriter(sectionFile.file, 1 << 16, "error write sec file!"),
        groupTableWriter(groupTableFile.file, 1 << 16, "error write dat file!"),
        output(workers, Compression::kDefault, writer, sectionWriter, groupTableWriter) {}
  // Writes everything out and returns the article data.
  std::string bytes() {
    EXPECT_TRUE(output.finish().ok());
    EXPECT_TRUE(writer.flush().ok());
    return file.bytes();
  }
  ScratchFile file, sectionFile, groupTableFile;
  BufferedWriter writer, sectionWriter, groupTableWriter;
  CompressedOutput output;
};

class ArticleStreamTest : public ::testing::Test {
 protected:
  explicit ArticleStreamTest(int32_t codePage = 1200)
      : stream_(data_.output, codePage, encoder_, finishedStreams_) {
    encoderReset(encoder_);
  }
  ~ArticleStreamTest() override { encoderRelease(encoder_); }

  // Feeds one article of `count` units of `unit` and ends it; returns its location.
  std::pair<uint64_t, uint32_t> article(size_t count, uint16_t unit = 'a') {
    const std::u16string text(count, unit);
    uint64_t location = 0;
    uint32_t start = 0;
    EXPECT_TRUE(stream_.feedArticleUnits(unitData(text), count, &location, &start).ok());
    EXPECT_TRUE(stream_.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr).ok());
    return {location, start};
  }
  std::vector<std::string> finish() {
    EXPECT_TRUE(stream_.feedArticleUnit(0, ArticleStream::kFinal, nullptr, nullptr).ok());
    return inflateAll(data_.bytes());
  }

  ArticleData data_;
  EncoderState encoder_;
  uint32_t finishedStreams_ = 0;
  ArticleStream stream_;
};

TEST_F(ArticleStreamTest, EntryEndAt8192KeepsTheBlockAt8193ClosesIt) {
  EXPECT_EQ(article(8192), (std::pair<uint64_t, uint32_t>{0, 0}));
  EXPECT_EQ(finishedStreams_, 0u);
  EXPECT_EQ(article(1), (std::pair<uint64_t, uint32_t>{0, 8192}));
  EXPECT_EQ(finishedStreams_, 1u);
  // The next article opens a new block and starts at 0 in it.
  EXPECT_EQ(article(3), (std::pair<uint64_t, uint32_t>{1, 0}));
  const std::vector<std::string> blocks = finish();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], repeated(8193));
  EXPECT_EQ(blocks[1], repeated(3));
}

TEST_F(ArticleStreamTest, WholeBatchesGetAnAddedZeroUnit) {
  // 12288 units are three whole batches: nothing is pending when the block closes.
  article(12288);
  EXPECT_EQ(finishedStreams_, 1u);
  // The last entry closed a block, so the final flush writes one more holding just the zero.
  const std::vector<std::string> blocks = finish();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0], repeated(12288) + std::string(2, '\0'));
  EXPECT_EQ(blocks[1], std::string(2, '\0'));
}

TEST_F(ArticleStreamTest, BatchedFeedingWritesTheSameBytesAsUnitByUnit) {
  std::u16string text;
  for (int i = 0; i < 20000; ++i)
    text += static_cast<char16_t>(u'a' + i % 23);
  // Unit by unit, and compressed on two threads.
  ArticleData single(2);
  EncoderState encoder;
  encoderReset(encoder);
  uint32_t finishedStreams = 0;
  ArticleStream unitByUnit(single.output, 1200, encoder, finishedStreams);
  // Articles of growing length, fed one unit at a time and in one piece.
  size_t at = 0;
  for (size_t length = 1; at + length <= text.size(); at += length, length += 37) {
    for (size_t i = 0; i < length; ++i)
      ASSERT_TRUE(
          unitByUnit.feedArticleUnit(text[at + i], ArticleStream::kText, nullptr, nullptr).ok());
    ASSERT_TRUE(unitByUnit.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr).ok());
    ASSERT_TRUE(stream_.feedArticleUnits(unitData(text) + at, length, nullptr, nullptr).ok());
    ASSERT_TRUE(stream_.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr).ok());
  }
  ASSERT_TRUE(unitByUnit.feedArticleUnit(0, ArticleStream::kFinal, nullptr, nullptr).ok());
  finish();
  EXPECT_EQ(data_.file.bytes(), single.bytes());
  EXPECT_EQ(finishedStreams_, finishedStreams);
}

class SingleByteArticleStreamTest : public ArticleStreamTest {
 protected:
  SingleByteArticleStreamTest() : ArticleStreamTest(1251) {}
};

TEST_F(SingleByteArticleStreamTest, TextIsStoredInTheCodePageAndTheZeroUnitLeavesNoByte) {
  const std::u16string house = u"house дом";
  ASSERT_TRUE(stream_.feedArticleUnits(unitData(house), house.size(), nullptr, nullptr).ok());
  ASSERT_TRUE(stream_.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr).ok());
  article(12288 - house.size());
  const std::vector<std::string> blocks = finish();
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].substr(0, 9), "house \xE4\xEE\xEC");
  EXPECT_EQ(blocks[0].size(), 12288u);
  EXPECT_EQ(blocks[1], "");
}

TEST(Utf8ArticleStream, UnitsAreCountedNotBytes) {
  ArticleData data;
  EncoderState encoder;
  encoderReset(encoder);
  uint32_t finishedStreams = 0;
  ArticleStream stream(data.output, 65001, encoder, finishedStreams);
  // 4097 three-byte units pass the 8192-unit mark only with the second article.
  const std::u16string wide(4097, u'語');
  ASSERT_TRUE(stream.feedArticleUnits(unitData(wide), wide.size(), nullptr, nullptr).ok());
  ASSERT_TRUE(stream.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr).ok());
  EXPECT_EQ(finishedStreams, 0u);
  ASSERT_TRUE(stream.feedArticleUnits(unitData(wide), wide.size(), nullptr, nullptr).ok());
  ASSERT_TRUE(stream.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr).ok());
  EXPECT_EQ(finishedStreams, 1u);
  ASSERT_TRUE(stream.feedArticleUnit(0, ArticleStream::kFinal, nullptr, nullptr).ok());
  const std::vector<std::string> blocks = inflateAll(data.bytes());
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].size(), 8194u * 3);
}

}  // namespace
}  // namespace zorvak::testing
