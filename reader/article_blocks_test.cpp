#include "reader/article_blocks.h"

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "reader/test_dictionary.h"
#include "text/codepage.h"

namespace zorvak::testing {
namespace {

// The plain way to cut an article out: inflate its block from the first byte for every
// article, counting units as the bytes come, in the same 4096-byte pieces and 32768-byte
// inflate calls. An article that does not begin in the block's head is not sought. The cache
// must give exactly what this gives.
// Gives whether the article is found, and its text in *storage.
bool referenceCut(const Bytes& file, uint64_t offset, int32_t codePage, uint32_t start,
                  uint32_t length, std::string* storage) {
  z_stream stream{};
  inflateInit(&stream);
  std::vector<uint8_t> out(32768);
  uint64_t next = offset;
  int64_t unit = -1;
  uint64_t byteInBlock = 0;
  const uint64_t end = uint64_t{start} + length;
  storage->clear();
  bool found = false;
  bool pastHead = false;
  for (;;) {
    if (stream.avail_in == 0) {
      const size_t got = next < file.size() ? std::min<size_t>(4096, file.size() - next) : 0;
      stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(file.data() + next));
      stream.avail_in = static_cast<uInt>(got);
      next += got;
    }
    stream.next_out = out.data();
    stream.avail_out = 32768;
    const int result = inflate(&stream, Z_SYNC_FLUSH);
    if (result != Z_OK && result != Z_STREAM_END) break;
    const size_t produced = 32768 - stream.avail_out;
    for (size_t i = 0; i < produced; ++i, ++byteInBlock) {
      const uint8_t byte = out[i];
      const bool starts = codePage == kCodePageUtf16  ? byteInBlock % 2 == 0
                          : codePage == kCodePageUtf8 ? (byte & 0xC0) != 0x80
                                                      : true;
      if (starts) ++unit;
      if (starts && unit == static_cast<int64_t>(start) &&
          byteInBlock >= InflatedBlock::kHeldBytes) {
        pastHead = true;
        break;
      }
      if (unit >= static_cast<int64_t>(end)) {
        found = true;
        break;
      }
      if (unit >= static_cast<int64_t>(start)) storage->push_back(static_cast<char>(byte));
    }
    if (found || pastHead) break;
    if (result == Z_STREAM_END) {
      found = unit + 1 == static_cast<int64_t>(end);
      break;
    }
  }
  inflateEnd(&stream);
  return found;
}

// Random text of a code page family: UTF-8 with one to three bytes a unit (and stray
// continuation bytes), mostly of one byte in its first third, so that units are not spread
// evenly over the bytes; UTF-16LE with an odd byte now and then, or single bytes.
Bytes randomBlock(std::mt19937& random, int32_t codePage, size_t size) {
  static const char* const kUtf8Pieces[] = {"a",    "\xC3\xA9", "\xE2\x82\xAC", "\xED\xA0\xBD",
                                            "\x80", "\n"};
  Bytes block;
  while (block.size() < size) {
    if (codePage == kCodePageUtf8) {
      const bool plain = block.size() < size / 3 && random() % 8 != 0;
      block += kUtf8Pieces[plain ? 0 : random() % 6];
    } else {
      block.push_back(static_cast<char>(random() % 256));
    }
  }
  if (codePage == kCodePageUtf16 && random() % 2 == 0) block.pop_back();
  return block;
}

// Units of an inflated block, counted as the format counts them.
uint32_t unitCount(const Bytes& block, int32_t codePage) {
  if (codePage == kCodePageUtf16) return static_cast<uint32_t>((block.size() + 1) / 2);
  if (codePage != kCodePageUtf8) return static_cast<uint32_t>(block.size());
  uint32_t units = 0;
  for (char byte : block)
    units += (byte & 0xC0) != 0x80;
  return units;
}

// Per code page, with and without the heads let go kept in a spill file.
class ArticleBlocksTest : public ::testing::TestWithParam<std::tuple<int32_t, bool>> {};

TEST_P(ArticleBlocksTest, CutsWhatInflatingEachArticleAfreshCuts) {
  const auto [codePage, spill] = GetParam();
  std::mt19937 random(codePage);
  // Blocks of a few units up to past two inflate outputs, a broken one, and one longer than
  // the head that a block keeps.
  TestDictionary dictionary(static_cast<uint32_t>(codePage));
  for (size_t size : {size_t{3}, size_t{100}, size_t{9000}, size_t{40000}, size_t{70000},
                      size_t{20}, InflatedBlock::kHeldBytes + 3000})
    dictionary.blocks.push_back(randomBlock(random, codePage, size));
  Bytes file = dictionary.build();
  std::vector<uint64_t> offsets;
  uint64_t offset = kHeaderSize + kSubstitutionItemSize;
  for (const Bytes& block : dictionary.blocks) {
    offsets.push_back(offset);
    offset += deflateBytes(block).size();
  }
  file[offsets[3] + 2000] ^= 0x55;  // block 3 breaks somewhere in its middle

  char name[] = "/tmp/zorvak-blocks-XXXXXX";
  const int fd = mkstemp(name);
  ASSERT_GE(fd, 0);
  close(fd);
  std::ofstream(name, std::ios::binary) << file;
  File input = File::openForReading(name);
  InputReader reader(input, file.size());
  // A budget below two blocks, so that blocks are let go and inflated again.
  ArticleBlocks blocks(reader, offsets[0], codePage, 50000);
  if (spill) blocks.spillBeside(name);
  const uint32_t headUnits =
      unitCount(dictionary.blocks.back().substr(0, InflatedBlock::kHeldBytes), codePage);

  std::string storage;
  for (int i = 0; i < 3000; ++i) {
    const size_t index = random() % offsets.size();
    const uint32_t start = static_cast<uint32_t>(random() % 75000);
    const uint32_t length = 1 + static_cast<uint32_t>(random() % 50);
    // Anywhere, near the block's start, around its end, or around the end of the long block's
    // head (an article that begins in the head and ends past it, or begins past it).
    const uint32_t units = unitCount(dictionary.blocks[index], codePage);
    const uint32_t aroundEnd = units + static_cast<uint32_t>(random() % 5) - 2 - length;
    const uint32_t aroundHead = headUnits + static_cast<uint32_t>(random() % 5) - 2 - length;
    const uint32_t at = i % 4 == 0   ? start
                        : i % 4 == 1 ? static_cast<uint32_t>(random() % 20)
                        : i % 4 == 2 ? (aroundEnd > units ? 0 : aroundEnd)
                                     : aroundHead;
    const size_t which = i % 4 == 3 ? offsets.size() - 1 : index;
    // Blocks let go early are inflated again when they are wanted after all.
    if (i % 97 == 0) blocks.forgetBefore(offsets[random() % offsets.size()] - offsets[0]);
    // A hint, for any block and unit, never touches what is let go and changes nothing.
    blocks.prefetch(offsets[random() % offsets.size()] - offsets[0], at);
    TextSink got;
    bool found = false;
    ASSERT_TRUE(blocks.fetch(offsets[which] - offsets[0], at, length, got, &found).ok());
    const bool want = referenceCut(file, offsets[which], codePage, at, length, &storage);
    ASSERT_EQ(found, want) << "block " << which << " start " << at << " length " << length;
    if (want) {
      ASSERT_EQ(got.text, storage) << "block " << which << " start " << at << " length " << length;
    }
  }
  if (spill) {
    EXPECT_GT(blocks.spilledHeads(), 0u);
  } else {
    EXPECT_GT(blocks.inflations(), offsets.size());
  }
  input.close();
  std::remove(name);
}

INSTANTIATE_TEST_SUITE_P(CodePages, ArticleBlocksTest,
                         ::testing::Combine(::testing::Values(1252, 1200, 65001),
                                            ::testing::Bool()));

// A file holding one deflated block right after the header and substitution item.
class OneBlockFile {
 public:
  explicit OneBlockFile(const Bytes& text) {
    const int fd = mkstemp(name_);
    EXPECT_GE(fd, 0);
    close(fd);
    const Bytes file = Bytes(kHeaderSize + kSubstitutionItemSize, '\0') + deflateBytes(text);
    std::ofstream(name_, std::ios::binary) << file;
    file_ = File::openForReading(name_);
    size_ = file.size();
  }
  ~OneBlockFile() {
    file_.close();
    std::remove(name_);
  }
  InputReader reader() { return InputReader(file_, size_); }

 private:
  char name_[32] = "/tmp/zorvak-block-XXXXXX";
  File file_;
  uint64_t size_ = 0;
};

// The article of `length` units from `start` of the file's block, or "(lost)".
std::string cut(ArticleBlocks& blocks, uint32_t start, uint32_t length) {
  TextSink sink;
  bool found = false;
  EXPECT_TRUE(blocks.fetch(0, start, length, sink, &found).ok());
  return found ? sink.text : "(lost)";
}

// An article that begins in its block's head and runs far past it reaches the sink as it is
// inflated: it is never held, and neither is the rest of the block.
TEST(ArticleBlocks, ArticleFarPastTheHeadIsStreamed) {
  Bytes text(40 << 20, 'a');
  text.replace(10, 3, "xyz");
  text.replace(30 << 20, 5, "HELLO");
  OneBlockFile file(text);
  InputReader reader = file.reader();
  ArticleBlocks blocks(reader, kHeaderSize + kSubstitutionItemSize, 1252);
  const std::string article = cut(blocks, 10, (30 << 20) - 5);
  EXPECT_EQ(article.size(), size_t{(30 << 20) - 5});
  EXPECT_EQ(article.substr(0, 3), "xyz");
  EXPECT_EQ(article.substr(article.size() - 5), "HELLO");
  EXPECT_LT(blocks.heldBytes(), InflatedBlock::kHeldBytes + 4096);
  EXPECT_EQ(cut(blocks, 10, 3), "xyz");
  EXPECT_EQ(blocks.inflations(), 2u);
}

// With UTF-8 a run of continuation bytes belongs to the unit before it: a unit that begins only
// past the head is not sought, so the block is not inflated again to look for it.
TEST(ArticleBlocks, UnitPastTheHeadIsNotSought) {
  for (const Bytes& lead : {Bytes(), Bytes("\xC3")}) {
    OneBlockFile file(lead + Bytes(32 << 20, '\x80') + "xyz");
    InputReader reader = file.reader();
    ArticleBlocks blocks(reader, kHeaderSize + kSubstitutionItemSize, 65001);
    EXPECT_EQ(cut(blocks, lead.empty() ? 1 : 2, 2), "(lost)");
    EXPECT_EQ(blocks.inflations(), 1u);
    EXPECT_LT(blocks.heldBytes(), 2 * InflatedBlock::kHeldBytes);
  }
}

}  // namespace
}  // namespace zorvak::testing
