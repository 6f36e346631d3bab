#include "compiler/chunk_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace zorvak {
namespace {

// A scratch file holding given bytes, removed at the end of the test.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& bytes) {
    char pattern[] = "/tmp/zorvak_chunk_XXXXXX";
    int fd = mkstemp(pattern);
    name_ = pattern;
    EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    ::close(fd);
  }
  ~ScratchFile() { unlink(name_.c_str()); }
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

struct ReadResult {
  Status status;
  std::vector<std::string> chunks;
  uint64_t total = 0;
  // What the reader reported: "chunk N" after each chunk, "end N" at the end.
  std::vector<std::string> progress;
};

// Records what the reader reports.
class RecordedProgress : public ReadProgress {
 public:
  explicit RecordedProgress(std::vector<std::string>& calls) : calls_(calls) {}
  void chunkRead(uint64_t total) override { calls_.push_back("chunk " + std::to_string(total)); }
  void readFinished(uint64_t total) override { calls_.push_back("end " + std::to_string(total)); }

 private:
  std::vector<std::string>& calls_;
};

ReadResult readAll(const std::string& bytes, int32_t codePage, size_t carryWhenFull = 0) {
  ScratchFile scratch(bytes);
  File file = File::openForReading(scratch.name());
  ReadResult result;
  ReadPhase phase;
  phase.codePage = codePage;
  phase.consume = [&](uint8_t* chunk, size_t size, size_t* carry) {
    EXPECT_EQ(chunk[size], 0) << "a zero byte follows every chunk";
    result.chunks.emplace_back(reinterpret_cast<char*>(chunk), size);
    *carry = size == kChunkSize ? carryWhenFull : 0;
    return Status::Ok();
  };
  RecordedProgress progress(result.progress);
  result.status = readChunks(file, phase, progress, &result.total);
  return result;
}

TEST(ChunkReader, ShortFileGetsItsLineEnd) {
  ReadResult result = readAll(std::string(10, 'a'), 1251);
  ASSERT_TRUE(result.status.ok());
  ASSERT_EQ(result.chunks.size(), 1u);
  EXPECT_EQ(result.chunks[0], std::string(10, 'a') + "\n ");
  EXPECT_EQ(result.total, 12u);
  EXPECT_EQ(result.progress, (std::vector<std::string>{"chunk 12", "end 12"}));
}

TEST(ChunkReader, Utf16LineEndIsTwoUnits) {
  ReadResult result = readAll(std::string(10, 'a'), 1200);
  ASSERT_EQ(result.chunks.size(), 1u);
  EXPECT_EQ(result.chunks[0].size(), 14u);
  EXPECT_EQ(result.chunks[0].substr(10), std::string("\n\0 \0", 4));
}

TEST(ChunkReader, EmptyFileHandsNothing) {
  ReadResult result = readAll("", 1251);
  EXPECT_TRUE(result.chunks.empty());
  EXPECT_EQ(result.total, 0u);
  EXPECT_EQ(result.progress, (std::vector<std::string>{"end 0"}));
}

TEST(ChunkReader, ExactMultipleStillClosesTheLastLine) {
  ReadResult result = readAll(std::string(2 * kChunkSize, 'x'), 1252);
  ASSERT_EQ(result.chunks.size(), 3u);
  EXPECT_EQ(result.chunks[0].size(), kChunkSize);
  EXPECT_EQ(result.chunks[1].size(), kChunkSize);
  EXPECT_EQ(result.chunks[2], "\n ");
  EXPECT_EQ(result.total, 2 * kChunkSize + 2);
  EXPECT_EQ(result.progress,
            (std::vector<std::string>{"chunk 32768", "chunk 65536", "chunk 65538", "end 65538"}))
      << "the line end after a last full chunk gets a progress line of its own";
}

TEST(ChunkReader, ByteOrderMarksBecomeBlanksOnTheFirstReadOnly) {
  ReadResult utf8 = readAll(
      "\xEF\xBB\xBF"
      "a  b",
      65001);
  EXPECT_EQ(utf8.chunks[0], "   a  b\n ");
  ReadResult utf16 = readAll(std::string("\xFF\xFE"
                                         "a\0",
                                         4),
                             1200);
  EXPECT_EQ(utf16.chunks[0].substr(0, 4), std::string(" \0a\0", 4));
  // Code page 1252 keeps the bytes as they are.
  ReadResult other = readAll("\xEF\xBB\xBF", 1252);
  EXPECT_EQ(other.chunks[0], "\xEF\xBB\xBF\n ");
}

TEST(ChunkReader, Utf8ChunkTakesTheRestOfItsCharacter) {
  // The 32768th byte leads a two-byte sequence: the chunk takes one more byte.
  std::string bytes(kChunkSize - 1, 'a');
  bytes += "\xC3\xA9tail";
  ReadResult result = readAll(bytes, 65001);
  ASSERT_EQ(result.chunks.size(), 2u);
  EXPECT_EQ(result.chunks[0].size(), kChunkSize + 1);
  EXPECT_EQ(result.chunks[1], "tail\n ");
  EXPECT_EQ(result.total, bytes.size() + 2);
}

TEST(ChunkReader, Utf8ChunkEndingOnAContinuationTakesTheNextCharacterToo) {
  std::string bytes(kChunkSize - 2, 'a');
  bytes +=
      "\xC3\xA9\xE2\x82\xAC"
      "z";
  ReadResult result = readAll(bytes, 65001);
  EXPECT_EQ(result.chunks[0].size(), kChunkSize + 3);
  EXPECT_EQ(result.chunks[1], "z\n ");
}

TEST(ChunkReader, Utf8FourByteLeadTakesThreeMoreBytes) {
  std::string bytes(kChunkSize - 1, 'a');
  bytes +=
      "\xF0\x9F\x98\x80"
      "z";
  ReadResult result = readAll(bytes, 65001);
  EXPECT_EQ(result.chunks[0].size(), kChunkSize + 3);
  EXPECT_EQ(result.chunks[1], "z\n ");
}

TEST(ChunkReader, EndlessContinuationBytesAreRejected) {
  auto withContinuations = [](size_t count) {
    return std::string(kChunkSize - 1, 'a') + std::string(count, '\x80') + "a";
  };
  EXPECT_TRUE(readAll(withContinuations(22), 65001).status.ok())
      << "the last byte and 21 continuation bytes after it";
  ReadResult result = readAll(withContinuations(23), 65001);
  EXPECT_FALSE(result.status.ok());
  EXPECT_STREQ(result.status.message(), "error utf8!");
}

TEST(ChunkReader, CarriedLeadByteOpensTheNextChunk) {
  std::string bytes(kChunkSize - 1, 'a');
  bytes += "\x82\xA0zz";
  ReadResult result = readAll(bytes, 932, 1);
  ASSERT_EQ(result.chunks.size(), 2u);
  EXPECT_EQ(result.chunks[1], "\x82\xA0zz\n ");
  EXPECT_EQ(result.total, bytes.size() + 2) << "the carried byte counts once";
}

}  // namespace
}  // namespace zorvak
