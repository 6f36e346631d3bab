#include "compiler/entry_list.h"

#include <algorithm>

#include "text/char_table.h"

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

bool EntryList::compareEntries(const EntryRecord& a, const EntryRecord& b) const {
  const uint16_t* fa = folded(a);
  const uint16_t* fb = folded(b);
  for (size_t i = 0;; ++i) {
    const uint16_t ua = i < a.foldedLength ? fa[i] : 0;
    const uint16_t ub = i < b.foldedLength ? fb[i] : 0;
    if (ua == 0 && ub == 0) return false;
    if (ua == ub) continue;
    const uint16_t ma = foldUnit(ua);
    const uint16_t mb = foldUnit(ub);
    if (ma != mb) return ma < mb;
  }
}

void EntryList::sort() {
  std::stable_sort(
      records_.begin(), records_.end(),
      [this](const EntryRecord& a, const EntryRecord& b) { return compareEntries(a, b); });
}

}  // namespace zorvak
