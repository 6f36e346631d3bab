// Character property table: the Unicode 5.1.0 general category and case partner of every
// UTF-16 code unit. Every decision about a character (letter, digit, blank, punctuation, its
// upper- or lower-case partner) goes through this one constant table, never through a locale or
// a platform character function, so keys and orderings are the same on every machine.

#ifndef ZORVAK_TEXT_CHAR_TABLE_H_
#define ZORVAK_TEXT_CHAR_TABLE_H_

#include <array>
#include <cstdint>

namespace zorvak {

// Classes: one group bit (high byte) combined with one member bit naming the general category
// within the group. Unassigned units have class 0.
inline constexpr uint16_t kClassNone = 0x0000;  // Cn
inline constexpr uint16_t kClassCc = 0x0101;
inline constexpr uint16_t kClassCf = 0x0102;
inline constexpr uint16_t kClassCo = 0x0108;
inline constexpr uint16_t kClassCs = 0x0110;
inline constexpr uint16_t kClassLl = 0x0202;
inline constexpr uint16_t kClassLm = 0x0204;
inline constexpr uint16_t kClassLo = 0x0208;
inline constexpr uint16_t kClassLt = 0x0210;
inline constexpr uint16_t kClassLu = 0x0220;
inline constexpr uint16_t kClassMc = 0x0401;
inline constexpr uint16_t kClassMe = 0x0402;
inline constexpr uint16_t kClassMn = 0x0404;
inline constexpr uint16_t kClassNd = 0x0801;
inline constexpr uint16_t kClassNl = 0x0802;
inline constexpr uint16_t kClassNo = 0x0804;
inline constexpr uint16_t kClassPc = 0x1001;
inline constexpr uint16_t kClassPd = 0x1002;
inline constexpr uint16_t kClassPe = 0x1004;
inline constexpr uint16_t kClassPf = 0x1008;
inline constexpr uint16_t kClassPi = 0x1010;
inline constexpr uint16_t kClassPo = 0x1020;
inline constexpr uint16_t kClassPs = 0x1040;
inline constexpr uint16_t kClassSc = 0x2001;
inline constexpr uint16_t kClassSk = 0x2002;
inline constexpr uint16_t kClassSm = 0x2004;
inline constexpr uint16_t kClassSo = 0x2008;
inline constexpr uint16_t kClassZl = 0x4001;
inline constexpr uint16_t kClassZp = 0x4002;
inline constexpr uint16_t kClassZs = 0x4004;

// Groups: the high byte of a class.
inline constexpr uint8_t kGroupOther = 0x01;
inline constexpr uint8_t kGroupLetter = 0x02;
inline constexpr uint8_t kGroupMark = 0x04;
inline constexpr uint8_t kGroupNumber = 0x08;
inline constexpr uint8_t kGroupPunctuation = 0x10;
inline constexpr uint8_t kGroupSymbol = 0x20;
inline constexpr uint8_t kGroupSeparator = 0x40;

// The table itself: entry[unit] holds the class in its low 16 bits and the partner unit in its
// high 16 bits. Read-only data, 256 KB, indexed directly so a lookup is a single load.
extern const std::array<uint32_t, 65536> kCharTable;

// The raw entry of a unit.
inline uint32_t charEntry(uint16_t unit) {
  return kCharTable[unit];
}

// The class (low half of the entry) and group (high byte of the class) of a unit.
inline uint16_t charClass(uint16_t unit) {
  return static_cast<uint16_t>(kCharTable[unit]);
}
inline uint8_t classGroup(uint16_t cls) {
  return static_cast<uint8_t>(cls >> 8);
}

// Upper-case fold: a lower-case letter (the only class with both bits of 0x0202) becomes its
// partner; every other unit, title-case letters included, is returned unchanged.
inline uint16_t foldUnit(uint16_t unit) {
  const uint32_t entry = kCharTable[unit];
  return (entry & 0x0202) == 0x0202 ? static_cast<uint16_t>(entry >> 16) : unit;
}

// Lower-cases a zero-terminated string in place: each upper-case letter (the only class with
// both bits of 0x0220) is replaced by its partner. Returns s; a null string gives null.
uint16_t* lowerInPlace(uint16_t* s);

// A word character is a unit of the letter group (0x0201 to 0x0220, 0x0201 unused) or of the
// number group (Nd, Nl, No). Headword keys keep exactly these units as letters and digits.
inline bool isWordClass(uint16_t cls) {
  switch (cls) {
    case 0x0201:
    case kClassLl:
    case kClassLm:
    case kClassLo:
    case kClassLt:
    case kClassLu:
    case kClassNd:
    case kClassNl:
    case kClassNo:
      return true;
    default:
      return false;
  }
}
inline bool isWordChar(uint16_t unit) {
  return isWordClass(charClass(unit));
}

}  // namespace zorvak

#endif  // ZORVAK_TEXT_CHAR_TABLE_H_
