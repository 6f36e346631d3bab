#ifndef ZORVAK_COMPILER_ENTRY_LIST_H_
#define ZORVAK_COMPILER_ENTRY_LIST_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "format/layout.h"

namespace zorvak {

// One entry found by the group scan: its headword, folded headword and article location.
struct EntryRecord {
  uint64_t text = 0;          // index of the headword in the list's text; the folded one follows
  uint32_t length = 0;        // headword units, 1 to 1023
  uint32_t foldedLength = 0;  // folded units, at most `length`
  uint64_t articleBlock = kNone;
  uint32_t articleStart = 0;
  uint32_t articleLength = 0;
};

// An entry as a group section lists it, wherever it is held.
struct SectionEntry {
  const uint16_t* headword = nullptr;
  const uint16_t* folded = nullptr;
  uint32_t length = 0;
  uint32_t foldedLength = 0;
  uint64_t articleBlock = kNone;
  uint32_t articleStart = 0;
  uint32_t articleLength = 0;
};

// True when `a` sorts before `b`: by folded headword, unit by unit, the end of one counting as
// a zero unit, and units that differ only as a lower-case letter and its partner counting as
// equal.
bool compareSectionEntries(const SectionEntry& a, const SectionEntry& b);

// The entries of one group, in the order they were found and then in index order.
class EntryList {
 public:
  void clear() {
    records_.clear();
    text_.clear();
  }
  void add(const uint16_t* headword, size_t length, const uint16_t* folded, size_t foldedLength,
           uint64_t articleBlock, uint32_t articleStart, uint32_t articleLength);

  // True when `a` sorts before `b`, by compareSectionEntries.
  bool compareEntries(const EntryRecord& a, const EntryRecord& b) const {
    return compareSectionEntries(view(a), view(b));
  }

  // Orders the entries by compareEntries; entries that compare equal keep their order.
  void sort();

  const std::vector<EntryRecord>& records() const { return records_; }
  const uint16_t* headword(const EntryRecord& r) const { return text_.data() + r.text; }
  const uint16_t* folded(const EntryRecord& r) const { return text_.data() + r.text + r.length; }
  SectionEntry view(const EntryRecord& r) const {
    return SectionEntry{headword(r),    folded(r),      r.length,       r.foldedLength,
                        r.articleBlock, r.articleStart, r.articleLength};
  }
  // The bytes that the entries take.
  size_t bytes() const { return records_.size() * sizeof(EntryRecord) + text_.size() * 2; }

 private:
  std::vector<EntryRecord> records_;
  std::vector<uint16_t> text_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_ENTRY_LIST_H_
