#include "format/headword_key.h"

#include <algorithm>
#include <cstring>

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

namespace {

// What folding does with each unit before any substitution, worked out once for the process (it
// depends on nothing but the character classes), and for each folded unit the units that fold
// to it and that a substitution applies to.
struct BaseFolding {
  std::unique_ptr<uint32_t[]> action = std::make_unique<uint32_t[]>(0x10000);
  std::vector<uint32_t> start = std::vector<uint32_t>(0x10001, 0);  // into `sources`
  std::vector<uint16_t> sources;

  BaseFolding(uint32_t drop, uint32_t separator) {
    std::vector<bool> substitutable(0x10000, false);
    for (uint32_t u = 0; u < 0x10000; ++u) {
      bool substituted = false;
      const int32_t folded = foldedByClass(static_cast<uint16_t>(u), &substituted);
      if (folded == -1) {
        action[u] = drop;
      } else if (folded == -2) {
        action[u] = separator;
      } else {
        action[u] = static_cast<uint32_t>(folded);
        if (substituted) {
          substitutable[u] = true;
          ++start[action[u] + 1];
        }
      }
    }
    for (uint32_t v = 0; v < 0x10000; ++v)
      start[v + 1] += start[v];
    sources.resize(start[0x10000]);
    std::vector<uint32_t> next(start.begin(), start.end() - 1);
    for (uint32_t u = 0; u < 0x10000; ++u) {
      if (substitutable[u]) sources[next[action[u]]++] = static_cast<uint16_t>(u);
    }
  }
};

const BaseFolding& baseFolding(uint32_t drop, uint32_t separator) {
  static const BaseFolding base(drop, separator);
  return base;
}

bool isStandard(const SubstitutionTable& table) {
  const SubstitutionTable standard = SubstitutionTable::standard();
  return std::equal(table.items.begin(), table.items.end(), standard.items.begin(),
                    standard.items.end(), [](const SubstitutionItem& a, const SubstitutionItem& b) {
                      return a.from == b.from && a.to == b.to;
                    });
}

}  // namespace

void HeadwordFolder::fillActions(const SubstitutionTable& table, uint32_t* action) {
  const BaseFolding& base = baseFolding(kDrop, kSeparator);
  std::memcpy(action, base.action.get(), 0x10000 * sizeof(uint32_t));
  // The items ordered by their from-unit; of equal ones the first holds.
  std::vector<SubstitutionItem> items = table.items;
  std::stable_sort(
      items.begin(), items.end(),
      [](const SubstitutionItem& a, const SubstitutionItem& b) { return a.from < b.from; });
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0 && items[i].from == items[i - 1].from) continue;
    for (uint32_t k = base.start[items[i].from]; k < base.start[items[i].from + 1u]; ++k)
      action[base.sources[k]] = items[i].to;
  }
}

const uint32_t* HeadwordFolder::standardActions() {
  static const std::unique_ptr<uint32_t[]> actions = [] {
    auto table = std::make_unique_for_overwrite<uint32_t[]>(0x10000);
    fillActions(SubstitutionTable::standard(), table.get());
    return table;
  }();
  return actions.get();
}

// Every compiled dictionary carries the standard table, so most folders share the process's one.
HeadwordFolder::HeadwordFolder(const SubstitutionTable& table) {
  if (isStandard(table)) {
    action_ = standardActions();
  } else {
    own_ = std::make_unique_for_overwrite<uint32_t[]>(0x10000);
    fillActions(table, own_.get());
    action_ = own_.get();
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
