// Code pages: which numbers are supported, and the constant byte-to-unit tables of the
// single-byte and double-byte pages that the decoder reads and the encoder inverts.

#ifndef ZORVAK_TEXT_CODEPAGE_H_
#define ZORVAK_TEXT_CODEPAGE_H_

#include <array>
#include <cstdint>
#include <span>

namespace zorvak {

inline constexpr int32_t kCodePageUtf16 = 1200;  // UTF-16LE, taken as units without decoding
inline constexpr int32_t kCodePageUtf8 = 65001;  // UTF-8

// A single-byte code page: bytes below 0x80 are the unit of the same value, the upper half
// comes from toUnicode.
struct SbcsPage {
  int32_t codePage;
  uint32_t firstByte;  // 0x80
  uint32_t lastByte;   // 0xFF
  uint16_t toUnicode[128];
};

// One record of a double-byte page: the trail bytes first..last of one lead byte.
//   head: bits 31-24 lead byte (0 ends the array), 23-16 first trail byte, 15-8 kind
//         (kDbcsLinear or kDbcsTable), 7-0 last trail byte;
//   value: for a linear record the unit of the first trail byte, for a table record the index
//          in the page's unit pool of the first trail byte's unit.
struct DbcsRange {
  uint32_t head;
  uint32_t value;

  uint32_t lead() const { return head >> 24; }
  uint32_t first() const { return (head >> 16) & 0xFF; }
  uint32_t kind() const { return (head >> 8) & 0xFF; }
  uint32_t last() const { return head & 0xFF; }
};
inline constexpr uint32_t kDbcsTable = 0;
inline constexpr uint32_t kDbcsLinear = 1;

// A double-byte code page. leads[b - 0x80] for a byte b >= 0x80: when its high half is not 0
// the byte is a character of its own with that unit; otherwise the byte is a lead byte and the
// low half is the index of the first range record to look at for it.
struct DbcsPage {
  int32_t codePage;
  uint16_t defaultUnit;  // written for a lead byte whose pair has no unit
  const uint32_t* leads;
  const DbcsRange* ranges;
  const uint16_t* pool;
};

extern const std::array<SbcsPage, 29> kSbcsPages;
extern const std::array<DbcsPage, 4> kDbcsPages;

// The page of a code page number, or null when it is not of that family.
const SbcsPage* findSbcsPage(int32_t codePage);
const DbcsPage* findDbcsPage(int32_t codePage);

bool isSingleByteCodePage(int32_t codePage);
bool isDoubleByteCodePage(int32_t codePage);
// The 29 single-byte pages, the 4 double-byte pages, 1200 and 65001.
bool isSupportedCodePage(int32_t codePage);
// Every supported code page number in ascending order, for listing them to the user.
std::span<const int32_t> supportedCodePages();

}  // namespace zorvak

#endif  // ZORVAK_TEXT_CODEPAGE_H_
