#ifndef ZORVAK_FORMAT_LAYOUT_H_
#define ZORVAK_FORMAT_LAYOUT_H_

// The layout of a compiled dictionary, shared by the compiler and the decompressor:
//
//   header (48 bytes) | substitution table (4 bytes an item) | article data (article blocks,
//   each one zlib stream) | group table (16 bytes a group, sorted by key) | section data
//   (one zlib stream a group, listing the group's entries)
//
// All integers are little-endian and unsigned; text lengths and positions count UTF-16 units;
// a u64 with all bits set means none. The regions follow one another without gaps.
//
// Header, at offset 0:
//   offset  width    field
//        0  8 bytes  magic "ZorvakNL", no terminator
//        8  u32      group count: the number of group records
//       12  u32      code page of the article text: 1200 UTF-16LE, 65001 UTF-8; never 0
//       16  u32      text flag: 1 as written; readers accept 0 and 1
//       20  u32      entry count: the sum of the group records' entry counts
//       24  u64      article data offset: 48 + 4 x the number of substitution items
//       32  u64      group table offset: article data offset + the size of all article blocks
//       40  u64      section data offset: group table offset + 16 x group count
// Readers require article data offset <= group table offset <= section data offset.
//
// Substitution item, from offset 48 up to the article data offset:
//   offset  width  field
//        0  u16    from: the folded unit to replace
//        2  u16    to: the unit that replaces it
//
// Group record, in the group table; keys ascend and are unique:
//   offset  width  field
//        0  u32    key: the headword key of the group's entries
//        4  u32    entry count: entries in the group's section
//        8  u64    section offset: from the section data offset; the first is 0, and each
//                  section ends where the next begins, the last at the end of the file
//
// Entry, in an inflated group section, 20 + 4 x L bytes:
//   offset  width    field
//        0  u32      headword length L, 1 to 1023
//        4  u64      article block: offset of the block from the article data offset; none
//                    for an empty article
//       12  u32      article start: units before the article in the inflated block
//       16  u32      article length in units
//       20  L units  headword
//   20 + 2L L units  folded-headword slot: the folded headword, then, when it is shorter than
//                    L, a zero unit and the headword's own remaining units

#include <cstddef>
#include <cstdint>

namespace zorvak {

// The value of a 64-bit position or offset that means "none".
inline constexpr uint64_t kNone = ~uint64_t{0};

// Marks that structure the text spool and the alternative headwords file.
inline constexpr uint16_t kEntryMark = 0x0001;
inline constexpr uint16_t kArticleMark = 0x0002;
inline constexpr uint16_t kReferenceMark = 0x0008;

// A headword, lemma or form holds at most this many units; longer text is cut.
inline constexpr size_t kMaxTextUnits = 1023;

inline constexpr char kMagic[8] = {'Z', 'o', 'r', 'v', 'a', 'k', 'N', 'L'};
inline constexpr size_t kHeaderSize = 48;
inline constexpr size_t kSubstitutionItemSize = 4;
inline constexpr size_t kGroupRecordSize = 16;
inline constexpr size_t kEntryHeaderSize = 20;
// A block is closed at the first entry end after it has taken in more than this many units.
inline constexpr uint32_t kBlockUnitLimit = 8192;
// The text flag of every file the compiler writes; readers accept 0 and 1.
inline constexpr uint32_t kTextFlag = 1;
inline constexpr uint32_t kMaxTextFlag = 1;

// The fixed 48-byte record at the start of a compiled dictionary.
struct Header {
  uint32_t groupCount = 0;
  uint32_t codePage = 0;
  uint32_t textFlag = kTextFlag;
  uint32_t entryCount = 0;
  uint64_t articleDataOffset = 0;  // file offset of the first article block
  uint64_t groupTableOffset = 0;   // file offset of the first group record
  uint64_t sectionDataOffset = 0;  // file offset of the first group section
};

// Writes the header's 48 bytes, magic first.
void encodeHeader(const Header& header, uint8_t* dst);
// Reads the header's fields from 48 bytes; false when the magic is not "ZorvakNL".
bool decodeHeader(const uint8_t* src, Header* header);
// The checks a reader makes on a header before it reads on: the magic (in decodeHeader), a
// text flag of 0 or 1, and the three offsets in ascending order.
bool headerIsValid(const Header& header);

// One item of the substitution table: folding replaces `from` by `to`.
struct SubstitutionItem {
  uint16_t from;
  uint16_t to;
};
void encodeSubstitutionItem(const SubstitutionItem& item, uint8_t* dst);
SubstitutionItem decodeSubstitutionItem(const uint8_t* src);

// One record of the group table.
struct GroupRecord {
  uint32_t key = 0;
  uint32_t entryCount = 0;
  uint64_t sectionOffset = 0;  // from the section data offset
};
void encodeGroupRecord(const GroupRecord& record, uint8_t* dst);
GroupRecord decodeGroupRecord(const uint8_t* src);

// The 20-byte header of an entry in an inflated group section; the headword (L units) and the
// folded-headword slot (L units) follow it.
struct EntryHeader {
  uint32_t headwordLength = 0;
  uint64_t articleBlock = kNone;  // from the article data offset; none for an empty article
  uint32_t articleStart = 0;      // units before the article in the inflated block
  uint32_t articleLength = 0;     // units
};
void encodeEntryHeader(const EntryHeader& entry, uint8_t* dst);
EntryHeader decodeEntryHeader(const uint8_t* src);

// zlib settings of every article block and group section.
inline constexpr int kDeflateLevel = -1;  // the default level: 15-bit window, memory level 8

}  // namespace zorvak

#endif  // ZORVAK_FORMAT_LAYOUT_H_
