#include "decompressor/line_text.h"

#include <gtest/gtest.h>

#include <string>

namespace zorvak {
namespace {

std::string join(std::string text) {
  uint8_t* bytes = reinterpret_cast<uint8_t*>(text.data());
  text.resize(joinSurrogatePairs(bytes, text.size(), bytes));
  return text;
}

TEST(LineText, SurrogatePairsStoredAsTwoSequencesBecomeOneCharacter) {
  // U+1F600 (D83D DE00), U+10000 (D800 DC00) and U+10FFFF (DBFF DFFF).
  EXPECT_EQ(join("a\xED\xA0\xBD\xED\xB8\x80z"), "a\xF0\x9F\x98\x80z");
  EXPECT_EQ(join("\xED\xA0\x80\xED\xB0\x80\xED\xAF\xBF\xED\xBF\xBF"),
            "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF");
}

TEST(LineText, LoneAndMisorderedSurrogatesStayAsStored) {
  for (const char* text : {"\xED\xA0\xBD",
                           "\xED\xA0\xBD"
                           "x",
                           "\xED\xB8\x80\xED\xA0\xBD", "\xED\xA0\xBD\xED\xA0\xBD",
                           "\xED\x9F\xBF\xED\xB8\x80", "\xED\xA0\xBD\xED\xB8", "\xED"}) {
    EXPECT_EQ(join(text), text);
  }
  EXPECT_EQ(join("\xED\xA0\xBD\xED\xA0\xBD\xED\xB8\x80"), "\xED\xA0\xBD\xF0\x9F\x98\x80");
}

TEST(LineText, LineBreaksBecomeBlankAndTab) {
  // Short texts and long ones, which are looked through differently.
  for (const size_t padding : {size_t{0}, size_t{100}}) {
    std::string bytes = "a\nb\r\n\rc" + std::string(padding, 'x') + "\n";
    replaceLineBreaks(reinterpret_cast<uint8_t*>(bytes.data()), bytes.size());
    EXPECT_EQ(bytes, "a b\t \tc" + std::string(padding, 'x') + " ");
  }
  // Only whole units 000A and 000D change; 0A0D and 0D0A are characters of their own.
  std::string units("\x0A\x00\x0D\x0A\x0A\x0D\x0D\x00\x0A", 9);
  replaceLineBreakUnits(reinterpret_cast<uint8_t*>(units.data()), units.size());
  EXPECT_EQ(units, std::string("\x20\x00\x0D\x0A\x0A\x0D\x09\x00\x0A", 9));
}

}  // namespace
}  // namespace zorvak
