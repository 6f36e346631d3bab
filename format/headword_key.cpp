#include "format/headword_key.h"

#include <algorithm>

#include "text/char_table.h"

namespace zorvak {
namespace {

// The folded unit of a unit whose class keeps a unit, before substitution; or -1 when the
// class drops it and -2 for a separator.
int32_t foldedByClass(uint16_t unit, bool* substituted) {
  *substituted = false;
  const uint16_t cls = charClass(unit);
  if (isWordClass(cls)) {
    // Letters and digits are kept, lower-case letters as their upper-case partner.
    *substituted = true;
    return foldUnit(unit);
  }
  switch (cls) {
    case kClassPc:
      return 0x005F;
    case kClassPd:
    case kClassPo:
      return 0x0021;
    case kClassPe:
      return 0x0029;
    case kClassPf:
      return 0x00BB;
    case kClassPi:
      return 0x00AB;
    case kClassPs:
      return 0x0028;
    case kClassSc:
    case kClassSk:
      return unit;
    case kClassSm:
      return 0x002B;
    case kClassSo:
      return 0x00A6;
    case kClassZl:
    case kClassZp:
    case kClassZs:
      return -2;
    default:
      return -1;
  }
}

bool isSeparator(uint16_t unit) {
  return (charClass(unit) & 0x4000) != 0;
}

}  // namespace

HeadwordFolder::HeadwordFolder(const SubstitutionTable& table)
    : action_(std::make_unique<uint32_t[]>(0x10000)) {
  // What folding does with each unit before any substitution, worked out once for the process
  // (it depends on nothing but the character classes); a unit that a substitution may replace
  // carries kSubstitutable.
  static const std::unique_ptr<uint32_t[]> base = [] {
    auto actions = std::make_unique<uint32_t[]>(0x10000);
    for (uint32_t u = 0; u < 0x10000; ++u) {
      bool substituted = false;
      const int32_t folded = foldedByClass(static_cast<uint16_t>(u), &substituted);
      if (folded == -1) {
        actions[u] = kDrop;
      } else if (folded == -2) {
        actions[u] = kSeparator;
      } else {
        actions[u] = static_cast<uint32_t>(folded) | (substituted ? kSubstitutable : 0);
      }
    }
    return actions;
  }();
  // The items ordered by their from-unit, the first of equal ones first, so that each unit's
  // substitute is found by a binary search however many items a file brings; only units that
  // some item names are looked up.
  std::vector<SubstitutionItem> items = table.items;
  std::stable_sort(
      items.begin(), items.end(),
      [](const SubstitutionItem& a, const SubstitutionItem& b) { return a.from < b.from; });
  std::vector<bool> named(0x10000, false);
  for (const SubstitutionItem& item : items)
    named[item.from] = true;
  for (uint32_t u = 0; u < 0x10000; ++u) {
    uint32_t action = base[u];
    if ((action & kSubstitutable) != 0) {
      action &= ~kSubstitutable;
      if (named[action]) {
        const auto item = std::lower_bound(
            items.begin(), items.end(), action,
            [](const SubstitutionItem& a, uint32_t from) { return a.from < from; });
        action = item->to;
      }
    }
    action_[u] = action;
  }
}

uint32_t HeadwordFolder::headwordKey(const uint16_t* headword, uint16_t* folded,
                                     size_t* foldedLength) const {
  size_t n = 0;
  for (const uint16_t* p = headword; *p != 0; ++p) {
    const uint32_t action = action_[*p];
    if (action < kDrop) {
      folded[n++] = static_cast<uint16_t>(action);
    } else if (action == kSeparator) {
      // One blank for a run of separators, and none at either end of the headword. A separator
      // followed only by dropped units still counts as inside.
      if (n > 0 && p[1] != 0 && !isSeparator(p[1])) folded[n++] = 0x0020;
    }
  }
  folded[n] = 0;
  if (foldedLength != nullptr) *foldedLength = n;
  return keyOf(folded, n);
}

}  // namespace zorvak
