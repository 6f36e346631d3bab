#include "compiler/entry_list.h"

#include <algorithm>

#include "format/headword_key.h"

namespace zorvak {

void EntryList::add(const uint16_t* headword, size_t length, const uint16_t* folded,
                    size_t foldedLength, uint64_t articleBlock, uint32_t articleStart,
                    uint32_t articleLength) {
  EntryRecord record;
  record.text = text_.size();
  record.length = static_cast<uint32_t>(length);
  record.foldedLength = static_cast<uint32_t>(foldedLength);
  record.articleBlock = articleBlock;
  record.articleStart = articleStart;
  record.articleLength = articleLength;
  text_.insert(text_.end(), headword, headword + length);
  text_.insert(text_.end(), folded, folded + foldedLength);
  records_.push_back(record);
}

bool compareSectionEntries(const SectionEntry& a, const SectionEntry& b) {
  return compareFolded(a.folded, a.foldedLength, b.folded, b.foldedLength) < 0;
}

void EntryList::sort() {
  std::stable_sort(
      records_.begin(), records_.end(),
      [this](const EntryRecord& a, const EntryRecord& b) { return compareEntries(a, b); });
}

}  // namespace zorvak
