#include "format/layout.h"

#include <cstring>

#include "format/coding.h"

namespace zorvak {

void encodeHeader(const Header& header, uint8_t* dst) {
  std::memcpy(dst, kMagic, sizeof(kMagic));
  encodeFixed32(dst + 8, header.groupCount);
  encodeFixed32(dst + 12, header.codePage);
  encodeFixed32(dst + 16, header.textFlag);
  encodeFixed32(dst + 20, header.entryCount);
  encodeFixed64(dst + 24, header.articleDataOffset);
  encodeFixed64(dst + 32, header.groupTableOffset);
  encodeFixed64(dst + 40, header.sectionDataOffset);
}

bool decodeHeader(const uint8_t* src, Header* header) {
  if (std::memcmp(src, kMagic, sizeof(kMagic)) != 0) return false;
  header->groupCount = decodeFixed32(src + 8);
  header->codePage = decodeFixed32(src + 12);
  header->textFlag = decodeFixed32(src + 16);
  header->entryCount = decodeFixed32(src + 20);
  header->articleDataOffset = decodeFixed64(src + 24);
  header->groupTableOffset = decodeFixed64(src + 32);
  header->sectionDataOffset = decodeFixed64(src + 40);
  return true;
}

bool headerIsValid(const Header& header) {
  return header.textFlag <= kMaxTextFlag && header.articleDataOffset <= header.groupTableOffset &&
         header.groupTableOffset <= header.sectionDataOffset;
}

void encodeSubstitutionItem(const SubstitutionItem& item, uint8_t* dst) {
  encodeFixed16(dst, item.from);
  encodeFixed16(dst + 2, item.to);
}

SubstitutionItem decodeSubstitutionItem(const uint8_t* src) {
  return SubstitutionItem{decodeFixed16(src), decodeFixed16(src + 2)};
}

void encodeGroupRecord(const GroupRecord& record, uint8_t* dst) {
  encodeFixed32(dst, record.key);
  encodeFixed32(dst + 4, record.entryCount);
  encodeFixed64(dst + 8, record.sectionOffset);
}

GroupRecord decodeGroupRecord(const uint8_t* src) {
  return GroupRecord{decodeFixed32(src), decodeFixed32(src + 4), decodeFixed64(src + 8)};
}

void encodeEntryHeader(const EntryHeader& entry, uint8_t* dst) {
  encodeFixed32(dst, entry.headwordLength);
  encodeFixed64(dst + 4, entry.articleBlock);
  encodeFixed32(dst + 12, entry.articleStart);
  encodeFixed32(dst + 16, entry.articleLength);
}

EntryHeader decodeEntryHeader(const uint8_t* src) {
  return EntryHeader{decodeFixed32(src), decodeFixed64(src + 4), decodeFixed32(src + 12),
                     decodeFixed32(src + 16)};
}

}  // namespace zorvak
