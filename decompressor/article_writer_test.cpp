#include "decompressor/article_writer.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

namespace zorvak {
namespace {

// What an article's stored text becomes in its line when it arrives in pieces of `piece` bytes
// (0: in one piece), and whether it is taken for an alternative headword's.
std::string written(int32_t codePage, const std::string& stored, size_t piece, bool* alternative) {
  char name[] = "/tmp/zorvak-article-XXXXXX";
  const int fd = mkstemp(name);
  EXPECT_GE(fd, 0);
  ::close(fd);
  File file = File::openOrCreate(name);
  {
    BufferedWriter output(file, 64, "error write out file!");
    ArticleWriter writer(output, codePage);
    writer.begin();
    const auto* bytes = reinterpret_cast<const uint8_t*>(stored.data());
    const size_t step = piece == 0 ? stored.size() : piece;
    for (size_t at = 0; at < stored.size(); at += step)
      EXPECT_TRUE(writer.take(bytes + at, std::min(step, stored.size() - at)).ok());
    writer.finish();
    *alternative = writer.alternative();
    EXPECT_TRUE(output.flush().ok());
  }
  file.close();
  std::ifstream in(name, std::ios::binary);
  std::string text(std::istreambuf_iterator<char>(in), {});
  std::remove(name);
  return text;
}

struct Case {
  int32_t codePage;
  std::string stored;
  std::string line;
  bool alternative;
};

class ArticleWriterTest : public ::testing::TestWithParam<Case> {};

TEST_P(ArticleWriterTest, PiecesOfAnySizeGiveTheTextOfTheWhole) {
  const Case& c = GetParam();
  for (size_t piece : {0, 1, 2, 3, 5, 7}) {
    bool alternative = !c.alternative;
    EXPECT_EQ(written(c.codePage, c.stored, piece, &alternative), c.line) << piece;
    EXPECT_EQ(alternative, c.alternative) << piece;
  }
}

INSTANTIATE_TEST_SUITE_P(
    CodePages, ArticleWriterTest,
    ::testing::Values(
        Case{1252, "a\nb\rc\x08", "a b\tc\x08", false},
        Case{1252, "\x08target", "\x08target", true},
        // UTF-16LE: line breaks as units only; an odd last byte is written as it stands.
        Case{1200, std::string("a\0\n\0\x0D\x0A\x0D\0z", 9), std::string("a\0 \0\x0D\x0A\t\0z", 9),
             false},
        Case{1200, std::string("\x08\0x\0", 4), std::string("\x08\0x\0", 4), true},
        Case{1200, std::string("\x08\x01", 2), std::string("\x08\x01", 2), false},
        // UTF-8: pairs joined across pieces, a lone surrogate and a cut pair at the end kept.
        Case{65001,
             "\xED\xA0\xBD\xED\xB8\x80\n\xED\xA0\xBDx\xED\xA0\x80\xED\xB0\x80"
             "\xED\xA0\xBD\xED\xB8",
             "\xF0\x9F\x98\x80 \xED\xA0\xBDx\xF0\x90\x80\x80\xED\xA0\xBD\xED\xB8", false},
        Case{65001, "\x08\xC3\xA9", "\x08\xC3\xA9", true}));

}  // namespace
}  // namespace zorvak
