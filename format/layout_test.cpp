#include "format/layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <tuple>
#include <vector>

namespace zorvak {
namespace {

using Bytes = std::vector<uint8_t>;

// Every field holds bytes of its own (the field's number in the high nibble, its byte's place
// in the low one), so a field written at the wrong offset, in the wrong width or in the wrong
// byte order shows in the bytes.
const Header kHeader{0x14131211u,         0x24232221u,         0x34333231u,        0x44434241u,
                     0x5857565554535251u, 0x6867666564636261u, 0x7877767574737271u};
const Bytes kHeaderBytes = {
    'Z',  'o',  'r',  'v',  'a',  'k',  'N',  'L',   // magic
    0x11, 0x12, 0x13, 0x14,                          // group count
    0x21, 0x22, 0x23, 0x24,                          // code page
    0x31, 0x32, 0x33, 0x34,                          // text flag
    0x41, 0x42, 0x43, 0x44,                          // entry count
    0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58,  // article data offset
    0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68,  // group table offset
    0x71, 0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78,  // section data offset
};

auto fields(const Header& h) {
  return std::tuple{h.groupCount,        h.codePage,         h.textFlag,         h.entryCount,
                    h.articleDataOffset, h.groupTableOffset, h.sectionDataOffset};
}
auto fields(const SubstitutionItem& item) {
  return std::tuple{item.from, item.to};
}
auto fields(const GroupRecord& r) {
  return std::tuple{r.key, r.entryCount, r.sectionOffset};
}
auto fields(const EntryHeader& e) {
  return std::tuple{e.headwordLength, e.articleBlock, e.articleStart, e.articleLength};
}

TEST(Header, ByteMap) {
  ASSERT_EQ(kHeaderBytes.size(), kHeaderSize);
  Bytes bytes(kHeaderSize, 0xEE);
  encodeHeader(kHeader, bytes.data());
  EXPECT_EQ(bytes, kHeaderBytes);

  Header decoded;
  ASSERT_TRUE(decodeHeader(kHeaderBytes.data(), &decoded));
  EXPECT_EQ(fields(decoded), fields(kHeader));
}

TEST(Header, AnyOtherMagicIsRejected) {
  for (size_t i = 0; i < sizeof(kMagic); ++i) {
    Bytes bytes = kHeaderBytes;
    bytes[i] ^= 0x20;  // "zorvakNL", "ZOrvakNL", ...: the magic is compared with its case
    Header decoded;
    EXPECT_FALSE(decodeHeader(bytes.data(), &decoded)) << "byte " << i;
  }
}

TEST(SubstitutionItem, ByteMap) {
  // The compiler's one item, folding the Cyrillic IO to IE.
  const Bytes expected = {0x01, 0x04, 0x15, 0x04};
  Bytes bytes(kSubstitutionItemSize, 0xEE);
  encodeSubstitutionItem(SubstitutionItem{0x0401, 0x0415}, bytes.data());
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(fields(decodeSubstitutionItem(expected.data())), std::tuple(0x0401, 0x0415));
}

TEST(GroupRecord, ByteMap) {
  const GroupRecord record{0x14131211u, 0x24232221u, 0x3837363534333231u};
  const Bytes expected = {0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x23, 0x24,
                          0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38};
  Bytes bytes(kGroupRecordSize, 0xEE);
  encodeGroupRecord(record, bytes.data());
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(fields(decodeGroupRecord(expected.data())), fields(record));
}

TEST(EntryHeader, ByteMap) {
  const EntryHeader entry{0x14131211u, 0x2827262524232221u, 0x34333231u, 0x44434241u};
  const Bytes expected = {0x11, 0x12, 0x13, 0x14, 0x21, 0x22, 0x23, 0x24, 0x25, 0x26,
                          0x27, 0x28, 0x31, 0x32, 0x33, 0x34, 0x41, 0x42, 0x43, 0x44};
  Bytes bytes(kEntryHeaderSize, 0xEE);
  encodeEntryHeader(entry, bytes.data());
  EXPECT_EQ(bytes, expected);
  EXPECT_EQ(fields(decodeEntryHeader(expected.data())), fields(entry));
}

struct HeaderCase {
  const char* name;
  uint32_t textFlag;
  uint64_t articleDataOffset;
  uint64_t groupTableOffset;
  uint64_t sectionDataOffset;
  bool valid;
};

void PrintTo(const HeaderCase& c, std::ostream* os) {
  *os << c.name;
}

class HeaderValidity : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(HeaderValidity, TextFlagAndOffsetOrder) {
  const HeaderCase& c = GetParam();
  Header header;
  header.codePage = 1251;
  header.textFlag = c.textFlag;
  header.articleDataOffset = c.articleDataOffset;
  header.groupTableOffset = c.groupTableOffset;
  header.sectionDataOffset = c.sectionDataOffset;
  EXPECT_EQ(headerIsValid(header), c.valid);
}

constexpr uint64_t k4G = uint64_t{1} << 32;

INSTANTIATE_TEST_SUITE_P(
    Layout, HeaderValidity,
    ::testing::Values(HeaderCase{"CompilerFile", kTextFlag, 52, 1000, 2000, true},
                      HeaderCase{"TextFlagZero", 0, 52, 1000, 2000, true},
                      HeaderCase{"TextFlagTwo", 2, 52, 1000, 2000, false},
                      HeaderCase{"TextFlagHighBit", 0x80000001u, 52, 1000, 2000, false},
                      // An empty dictionary: no group records, no sections.
                      HeaderCase{"EqualOffsets", 1, 52, 52, 52, true},
                      HeaderCase{"ArticleDataAfterGroupTable", 1, 1001, 1000, 2000, false},
                      HeaderCase{"GroupTableAfterSectionData", 1, 52, 2001, 2000, false},
                      // Compared in 64 bits: each is out of order only above 4 GiB.
                      HeaderCase{"ArticleDataAbove4G", 1, k4G + 52, 1000, k4G + 2000, false},
                      HeaderCase{"GroupTableAbove4G", 1, 52, k4G + 1000, 2000, false},
                      HeaderCase{"LargeFile", 1, 52, k4G + 1000, k4G + 2000, true}),
    [](const ::testing::TestParamInfo<HeaderCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zorvak
