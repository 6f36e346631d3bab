#ifndef ZORVAK_DECOMPRESSOR_TEST_DICTIONARY_H_
#define ZORVAK_DECOMPRESSOR_TEST_DICTIONARY_H_

// Builds compiled dictionaries byte by byte for the decompressor's tests: a header, the one
// substitution item, article blocks deflated from given text, a group table and group sections
// deflated from given entries. Fields can be set to anything, so that damaged files can be made
// as easily as sound ones.

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "format/layout.h"
#include "reader/article_blocks.h"

namespace zorvak::testing {

using Bytes = std::string;

// Gathers an article's pieces into one string.
struct TextSink : ArticleSink {
  Status take(const uint8_t* bytes, size_t count) override {
    text.append(reinterpret_cast<const char*>(bytes), count);
    return Status::Ok();
  }
  std::string text;
};

// Deflates `text` into one complete zlib stream at the format's level.
inline Bytes deflateBytes(const Bytes& text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  Bytes out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size,
            reinterpret_cast<const Bytef*>(text.data()), static_cast<uLong>(text.size()),
            kDeflateLevel);
  out.resize(size);
  return out;
}

// UTF-16LE bytes of units.
inline Bytes utf16(const std::u16string& units) {
  Bytes out;
  for (char16_t unit : units) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

// One entry of a group section.
struct TestEntry {
  TestEntry(std::u16string headword, uint64_t block = kNone, uint32_t start = 0,
            uint32_t length = 0, std::optional<uint32_t> storedLength = {})
      : headword(std::move(headword)),
        block(block),
        start(start),
        length(length),
        storedLength(storedLength) {}

  std::u16string headword;
  // Index into the dictionary's blocks; kNone, or any number past the last block, is written
  // as it stands.
  uint64_t block = kNone;
  uint32_t start = 0;
  uint32_t length = 0;
  std::optional<uint32_t> storedLength;  // a headword length written instead of the real one
};

// The inflated bytes of a group section holding `entries`.
inline Bytes sectionText(const std::vector<TestEntry>& entries,
                         const std::vector<uint64_t>& offsets) {
  Bytes out;
  for (const TestEntry& entry : entries) {
    EntryHeader header;
    header.headwordLength =
        entry.storedLength.value_or(static_cast<uint32_t>(entry.headword.size()));
    header.articleBlock = entry.block < offsets.size() ? offsets[entry.block] : entry.block;
    header.articleStart = entry.start;
    header.articleLength = entry.length;
    uint8_t bytes[kEntryHeaderSize];
    encodeEntryHeader(header, bytes);
    out.append(reinterpret_cast<const char*>(bytes), kEntryHeaderSize);
    out += utf16(entry.headword);
    out += utf16(entry.headword);  // the folded slot is read and not used
  }
  return out;
}

// A compiled dictionary under construction.
struct TestDictionary {
  Header header;
  std::vector<Bytes> blocks;  // inflated text of each article block
  struct Group {
    uint32_t key = 0;
    std::vector<TestEntry> entries;
    std::optional<uint64_t> sectionOffset = {};  // written instead of the real one
  };
  std::vector<Group> groups;

  explicit TestDictionary(uint32_t codePage) { header.codePage = codePage; }

  // The whole file. The header's group count and offsets are those of the content unless
  // `keepHeader` asks for the header exactly as it stands.
  Bytes build(bool keepHeader = false) const {
    Bytes articleData;
    std::vector<uint64_t> offsets;
    for (const Bytes& block : blocks) {
      offsets.push_back(articleData.size());
      articleData += deflateBytes(block);
    }
    Bytes table;
    Bytes sections;
    uint32_t entryCount = 0;
    for (const Group& group : groups) {
      GroupRecord record{group.key, static_cast<uint32_t>(group.entries.size()),
                         group.sectionOffset.value_or(sections.size())};
      uint8_t bytes[kGroupRecordSize];
      encodeGroupRecord(record, bytes);
      table.append(reinterpret_cast<const char*>(bytes), kGroupRecordSize);
      sections += deflateBytes(sectionText(group.entries, offsets));
      entryCount += record.entryCount;
    }
    Header h = header;
    if (!keepHeader) {
      h.groupCount = static_cast<uint32_t>(groups.size());
      h.entryCount = entryCount;
      h.articleDataOffset = kHeaderSize + kSubstitutionItemSize;
      h.groupTableOffset = h.articleDataOffset + articleData.size();
      h.sectionDataOffset = h.groupTableOffset + table.size();
    }
    uint8_t head[kHeaderSize + kSubstitutionItemSize];
    encodeHeader(h, head);
    encodeSubstitutionItem(SubstitutionItem{0x0401, 0x0415}, head + kHeaderSize);
    return Bytes(reinterpret_cast<const char*>(head), sizeof(head)) + articleData + table +
           sections;
  }
};

}  // namespace zorvak::testing

#endif  // ZORVAK_DECOMPRESSOR_TEST_DICTIONARY_H_
