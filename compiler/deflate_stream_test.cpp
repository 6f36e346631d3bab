// Streams whose output does not fit one output area still come out whole.

#include "compiler/deflate_stream.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "compiler/test_support.h"

namespace zorvak::testing {
namespace {

// Deflates `text` in pieces of 4096 bytes, the last with Z_FINISH, with the given output room.
std::string deflated(const std::string& text, size_t outputArea, int streams) {
  ScratchFile file;
  BufferedWriter writer(file.file, 1 << 16, "error write out file!");
  DeflateStream stream("error write out file!", outputArea);
  for (int s = 0; s < streams; ++s) {
    EXPECT_TRUE(stream.open().ok());
    uint64_t produced = 0;
    bool ended = false;
    for (size_t at = 0; at < text.size(); at += 4096) {
      const size_t size = std::min<size_t>(4096, text.size() - at);
      const int flush = at + size == text.size() ? Z_FINISH : Z_NO_FLUSH;
      EXPECT_TRUE(stream
                      .deflateInput(reinterpret_cast<const uint8_t*>(text.data()) + at, size, flush,
                                    writer, &produced, &ended)
                      .ok());
      EXPECT_EQ(ended, flush == Z_FINISH);
    }
    EXPECT_FALSE(stream.isOpen());
  }
  EXPECT_TRUE(writer.flush().ok());
  return file.bytes();
}

TEST(DeflateStream, SmallOutputAreaGivesTheSameStreams) {
  std::mt19937 random(5);
  std::string text;
  for (int i = 0; i < 200000; ++i)
    text += static_cast<char>(i % 3 == 0 ? random() : 'a' + i % 17);
  const std::string whole = deflated(text, DeflateStream::kOutputArea, 3);
  EXPECT_EQ(deflated(text, 7, 3), whole);
  EXPECT_EQ(deflated(text, 1000, 3), whole);
  // Three streams, each reset from the last, are three copies of the first.
  ASSERT_EQ(whole.size() % 3, 0u);
  EXPECT_EQ(whole.substr(0, whole.size() / 3) + whole.substr(0, whole.size() / 3) +
                whole.substr(0, whole.size() / 3),
            whole);
}

}  // namespace
}  // namespace zorvak::testing
