#ifndef ZORVAK_TESTS_COMPILED_EDIT_H_
#define ZORVAK_TESTS_COMPILED_EDIT_H_

// Takes a compiled dictionary apart and puts it together again, so that a test can damage one
// part of a real file (swap groups or entries, change a headword or an article location) and
// keep every other rule.

#include <string>
#include <vector>

#include "format/coding.h"
#include "format/layout.h"
#include "reader/test_dictionary.h"
#include "tests/verify.h"

namespace zorvak::testing {

struct CompiledParts {
  Header header;
  std::string substitution;  // the bytes from 48 to the article data
  std::string articleData;   // the article blocks as stored
  std::vector<CompiledGroup> groups;
};

inline CompiledParts readParts(const std::string& bytes) {
  CompiledDictionary dictionary;
  verifyCompiled(bytes, &dictionary);
  CompiledParts parts;
  parts.header = dictionary.header;
  parts.substitution = bytes.substr(kHeaderSize, parts.header.articleDataOffset - kHeaderSize);
  parts.articleData = bytes.substr(parts.header.articleDataOffset,
                                   parts.header.groupTableOffset - parts.header.articleDataOffset);
  parts.groups = dictionary.groups;
  return parts;
}

// The file of `parts`, with the header's counts and offsets and the records' entry counts and
// section offsets taken from the content; each section deflated anew from its entries.
inline std::string assemble(const CompiledParts& parts) {
  std::string table;
  std::string sections;
  Header header = parts.header;
  header.entryCount = 0;
  for (const CompiledGroup& group : parts.groups) {
    std::string text;
    for (const CompiledEntry& entry : group.entries) {
      uint8_t head[kEntryHeaderSize];
      EntryHeader stored = entry.header;
      stored.headwordLength = static_cast<uint32_t>(entry.headword.size());
      encodeEntryHeader(stored, head);
      text.append(reinterpret_cast<const char*>(head), sizeof(head));
      text += utf16(entry.headword) + utf16(entry.slot);
    }
    const GroupRecord record{group.record.key, static_cast<uint32_t>(group.entries.size()),
                             sections.size()};
    uint8_t bytes[kGroupRecordSize];
    encodeGroupRecord(record, bytes);
    table.append(reinterpret_cast<const char*>(bytes), sizeof(bytes));
    sections += deflateBytes(text);
    header.entryCount += record.entryCount;
  }
  header.groupCount = static_cast<uint32_t>(parts.groups.size());
  header.articleDataOffset = kHeaderSize + parts.substitution.size();
  header.groupTableOffset = header.articleDataOffset + parts.articleData.size();
  header.sectionDataOffset = header.groupTableOffset + table.size();
  uint8_t head[kHeaderSize];
  encodeHeader(header, head);
  return std::string(reinterpret_cast<const char*>(head), sizeof(head)) + parts.substitution +
         parts.articleData + table + sections;
}

inline void patch32(std::string& bytes, uint64_t offset, uint32_t value) {
  encodeFixed32(reinterpret_cast<uint8_t*>(bytes.data() + offset), value);
}
inline void patch64(std::string& bytes, uint64_t offset, uint64_t value) {
  encodeFixed64(reinterpret_cast<uint8_t*>(bytes.data() + offset), value);
}

}  // namespace zorvak::testing

#endif  // ZORVAK_TESTS_COMPILED_EDIT_H_
