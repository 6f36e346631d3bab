#ifndef ZORVAK_FORMAT_HEADWORD_KEY_H_
#define ZORVAK_FORMAT_HEADWORD_KEY_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "format/layout.h"
#include "text/char_table.h"

namespace zorvak {

// Buffers for a headword or its folded form hold this many units, the terminating zero
// included.
inline constexpr size_t kTextBufferUnits = kMaxTextUnits + 1;

// The substitution table: folding replaces a letter or digit equal to an item's `from` by its
// `to` (the first matching item wins). Stored in the compiled dictionary after the header.
struct SubstitutionTable {
  std::vector<SubstitutionItem> items;

  // The table of every compiled dictionary: Cyrillic IO is filed as IE.
  static SubstitutionTable standard() { return SubstitutionTable{{{0x0401, 0x0415}}}; }
};

// Folds headwords and computes their keys. Folding makes a headword independent of letter
// case, of the substitution table's variant letters, of punctuation details and of combining
// marks: lower-case letters become their upper-case partner, punctuation and some symbols
// become one fixed unit per kind, a run of separators inside the headword becomes one blank,
// and controls, marks and unassigned units are dropped. The key is the first two folded units.
class HeadwordFolder {
 public:
  explicit HeadwordFolder(const SubstitutionTable& table);

  // Folds the zero-terminated `headword` into `folded` (room for as many units as the headword
  // has, plus a zero unit), zero-terminated, and returns the headword key: the first folded
  // unit in the high half, the second in the low half, 0 for units not there. The folded
  // length goes to *foldedLength when it is asked for.
  uint32_t headwordKey(const uint16_t* headword, uint16_t* folded,
                       size_t* foldedLength = nullptr) const;

  // The key of a folded headword of `length` units.
  static uint32_t keyOf(const uint16_t* folded, size_t length) {
    const uint32_t first = length > 0 ? folded[0] : 0;
    const uint32_t second = length > 1 ? folded[1] : 0;
    return first << 16 | second;
  }

 private:
  // What folding does with a unit: a unit to append (substitution already applied), or one of
  // the two actions below.
  static constexpr uint32_t kDrop = 0x10000;
  static constexpr uint32_t kSeparator = 0x20000;

  // The actions of the standard table, worked out once for the process.
  static const uint32_t* standardActions();
  // Fills `action` (0x10000 entries) with the actions for `table`.
  static void fillActions(const SubstitutionTable& table, uint32_t* action);

  // The table of a folder whose substitution table is not the standard one; empty otherwise.
  std::unique_ptr<uint32_t[]> own_;
  // One action per unit: own_, or the process's table for the standard substitutions.
  const uint32_t* action_;
};

// The entry comparator: orders folded headwords unit by unit, the end of one counting as a zero
// unit, with units that differ only as a lower-case letter and its partner counting as equal.
// Negative when `a` sorts before `b`, 0 when they compare equal, positive after. The entries of
// every group section stand in this order, and a reader finds an entry by it.
inline int compareFolded(const uint16_t* a, size_t aLength, const uint16_t* b, size_t bLength) {
  for (size_t i = 0;; ++i) {
    const uint16_t ua = i < aLength ? a[i] : 0;
    const uint16_t ub = i < bLength ? b[i] : 0;
    if (ua == 0 && ub == 0) return 0;
    if (ua == ub) continue;
    const uint16_t ma = foldUnit(ua);
    const uint16_t mb = foldUnit(ub);
    if (ma != mb) return ma < mb ? -1 : 1;
  }
}

}  // namespace zorvak

#endif  // ZORVAK_FORMAT_HEADWORD_KEY_H_
