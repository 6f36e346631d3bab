#include "text/encode.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "text/codepage.h"
#include "text/decode.h"

namespace zorvak {
namespace {

using Units = std::vector<uint16_t>;
using Bytes = std::vector<uint8_t>;

// Owns an encoder state for one test, as the driver does for one run.
class EncoderTest : public ::testing::Test {
 protected:
  void SetUp() override { encoderReset(state_); }
  void TearDown() override { encoderRelease(state_); }

  // Encodes units (a zero unit is appended), checks the zero byte after the result and that
  // nothing beyond it was touched, and returns the bytes before it.
  Bytes encode(int32_t codePage, Units units) {
    const size_t capacity = units.size() * 3 + 1;
    units.push_back(0);
    Bytes out(capacity + 1, 0xEE);
    const int32_t n = encodeText(state_, codePage, units.data(), out.data());
    EXPECT_GE(n, 0);
    if (n < 0 || static_cast<size_t>(n) >= capacity) return {};
    EXPECT_EQ(out[n], 0);
    EXPECT_EQ(out[n + 1], 0xEE);
    return Bytes(out.begin(), out.begin() + n);
  }

  EncoderState state_;
};

TEST_F(EncoderTest, SingleByteExamples) {
  EXPECT_EQ(encode(1251, {0x0410, 0x0451, 0x20AC, 0x4E00}), (Bytes{0xC0, 0xB8, 0x88, 0x3F}));
  EXPECT_EQ(encode(1251, {0x0410, 0x4E00}).size(), 2u);
  EXPECT_EQ(encode(1252, {0x0081, 0x0100, 0x0041}), (Bytes{0x81, 0x3F, 0x41}));
  // Every upper-half byte of 20127 decodes below 128, so those units take the upper bytes.
  EXPECT_EQ(encode(20127, {0x0041, 0x003F, 0x0080, 0x00E9}), (Bytes{0xC1, 0xBF, 0x3F, 0x3F}));
}

TEST_F(EncoderTest, Utf8EncodesEachUnitOnItsOwn) {
  EXPECT_EQ(encode(65001, {0x0041, 0x00E9, 0x20AC}), (Bytes{0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}));
  EXPECT_EQ(encode(65001, {0xD83D, 0xDE00}), (Bytes{0xED, 0xA0, 0xBD, 0xED, 0xB8, 0x80}));
  EXPECT_EQ(encode(65001, {0x07FF, 0x0800, 0xFFFF}),
            (Bytes{0xDF, 0xBF, 0xE0, 0xA0, 0x80, 0xEF, 0xBF, 0xBF}));
}

TEST_F(EncoderTest, Utf8RoundTripsThroughTheDecoder) {
  std::mt19937 random(7);
  Units units(3000);
  for (uint16_t& u : units) {
    do
      u = static_cast<uint16_t>(random() >> (random() % 3 * 5));
    while (u == 0);
  }
  Bytes bytes = encode(65001, units);
  size_t leads = 0;
  for (uint8_t b : bytes)
    leads += (b & 0xC0) != 0x80;
  EXPECT_EQ(leads, units.size());  // one lead byte per unit
  bytes.push_back(0);
  Units decoded(bytes.size());
  const int32_t n = decodeText(65001, bytes.data(), decoded.data());
  ASSERT_GE(n, 1);
  decoded.resize(n - 1);
  EXPECT_EQ(decoded, units);
}

TEST_F(EncoderTest, PagesWithoutAnEncoderGiveQuestionMarks) {
  for (int32_t cp : {932, 936, 949, 950, 1200, 0, 12345}) {
    EXPECT_EQ(encode(cp, {0x3042, 0x0041}), (Bytes{0x3F, 0x3F})) << cp;
  }
  EXPECT_EQ(state_.reverseTable, nullptr);
}

TEST_F(EncoderTest, NullAndEmpty) {
  uint8_t out[2] = {0xEE, 0xEE};
  const uint16_t empty[] = {0};
  for (int32_t cp : {1251, 65001, 932}) {
    EXPECT_EQ(encodeText(state_, cp, nullptr, out), -1);
    EXPECT_EQ(encodeText(state_, cp, empty, out), 0);
  }
  EXPECT_EQ(out[0], 0xEE);  // nothing at all is written
}

TEST_F(EncoderTest, EncodeUnitsStopsAtCountOrZero) {
  const uint16_t units[] = {0x0410, 0x0411, 0, 0x0412};
  uint8_t out[8] = {};
  EXPECT_EQ(encodeUnits(state_, 1251, units, 1, out), 1);
  EXPECT_EQ(out[0], 0xC0);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(encodeUnits(state_, 1251, units, 4, out), 2);
  EXPECT_EQ(encodeUnits(state_, 65001, units, 4, out), 4);
  EXPECT_EQ(encodeUnits(state_, 936, units, 4, out), 2);
  EXPECT_EQ(encodeUnits(state_, 1251, units, 0, out), 0);
}

// For every single-byte page, each byte maps back to itself through the reverse table unless a
// later byte decodes to the same unit (the later one wins).
TEST_F(EncoderTest, EveryByteMapsBackThroughTheReverseTable) {
  for (const SbcsPage& page : kSbcsPages) {
    for (unsigned b = 1; b <= 0xFF; ++b) {
      const uint16_t unit = b < 0x80 ? static_cast<uint16_t>(b) : page.toUnicode[b - 0x80];
      unsigned expected = b;
      for (unsigned later = std::max(b + 1, 0x80u); later <= 0xFF; ++later) {
        if (page.toUnicode[later - 0x80] == unit) expected = later;
      }
      if (unit == 0) continue;  // a zero unit ends the string
      EXPECT_EQ(encode(page.codePage, {unit}), Bytes{static_cast<uint8_t>(expected)})
          << page.codePage << " byte " << std::hex << b;
    }
  }
}

TEST_F(EncoderTest, ReverseTableIsRebuiltOnlyWhenTheCodePageChanges) {
  encode(1251, {0x0410});
  uint8_t* table = state_.reverseTable;
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(state_.codePage, 1251);
  encode(1252, {0x00C0});
  EXPECT_EQ(state_.reverseTable, table);  // rebuilt in place
  EXPECT_EQ(state_.codePage, 1252);
  EXPECT_EQ(encode(1252, {0x0410}), Bytes{0x3F});
  // A third call for the same page re-uses the table as it stands.
  table[0x0410] = 0x21;
  EXPECT_EQ(encode(1252, {0x0410}), Bytes{0x21});
  // Other families leave the state alone.
  encode(65001, {0x0410});
  encode(932, {0x0410});
  EXPECT_EQ(state_.codePage, 1252);
  EXPECT_EQ(encode(1251, {0x0410}), Bytes{0xC0});
}

TEST(EncoderState, ResetDoesNotFreeAndReleaseFrees) {
  EncoderState state;
  ASSERT_TRUE(buildReverseTable(state, 866));
  EXPECT_EQ(state.reverseTable[0x0410], 0x80);
  EXPECT_FALSE(buildReverseTable(state, 65001));  // not a single-byte page
  uint8_t* table = state.reverseTable;
  encoderReset(state);
  EXPECT_EQ(state.reverseTable, nullptr);
  std::free(table);
  ASSERT_TRUE(buildReverseTable(state, 866));
  encoderRelease(state);
  EXPECT_EQ(state.reverseTable, nullptr);
  EXPECT_EQ(state.codePage, 0);
}

}  // namespace
}  // namespace zorvak
