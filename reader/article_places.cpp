#include "reader/article_places.h"

#include <algorithm>

namespace zorvak {

// The units 0 to kBlockUnitLimit of one block, a bit each.
struct ArticlePlaces::Taken {
  static constexpr uint64_t kUnits = kBlockUnitLimit + 1;
  uint64_t words[(kUnits + 63) / 64] = {};

  // Bits [first, first + count) of a word, count 1 to 64.
  static uint64_t rangeMask(uint64_t first, uint64_t count) {
    return (count == 64 ? ~uint64_t{0} : (uint64_t{1} << count) - 1) << first;
  }
  bool anyIn(uint64_t from, uint64_t to) const {
    for (uint64_t unit = from; unit < to;) {
      const uint64_t word = unit / 64;
      const uint64_t stop = std::min(to, (word + 1) * 64);
      if ((words[word] & rangeMask(unit % 64, stop - unit)) != 0) return true;
      unit = stop;
    }
    return false;
  }
  void set(uint64_t from, uint64_t to) {
    for (uint64_t unit = from; unit < to;) {
      const uint64_t word = unit / 64;
      const uint64_t stop = std::min(to, (word + 1) * 64);
      words[word] |= rangeMask(unit % 64, stop - unit);
      unit = stop;
    }
  }
};

ArticlePlaces::ArticlePlaces() = default;
ArticlePlaces::~ArticlePlaces() = default;

ArticlePlaces::Verdict ArticlePlaces::check(uint64_t block, uint64_t start, uint64_t end) {
  if (Place{block, start} < floor_) return Verdict::kBeforeFloor;
  Taken* units = taken(block);
  if (units == nullptr) return Verdict::kTooManyBlocks;
  return units->anyIn(start, std::min(end, Taken::kUnits)) ? Verdict::kOverlap : Verdict::kFree;
}

void ArticlePlaces::take(uint64_t block, uint64_t start, uint64_t end) {
  Taken* units = taken(block);
  if (units == nullptr) return;
  units->set(start, std::min(end, Taken::kUnits));
  groupEnd_ = std::max(groupEnd_, Place{block, end});
}

void ArticlePlaces::endGroup() {
  taken_.clear();
  floor_ = std::max(floor_, groupEnd_);
}

ArticlePlaces::Taken* ArticlePlaces::taken(uint64_t block) {
  auto found = taken_.find(block);
  if (found != taken_.end()) return found->second.get();
  if (taken_.size() >= kMaxGroupBlocks) return nullptr;
  return taken_.emplace(block, std::make_unique<Taken>()).first->second.get();
}

}  // namespace zorvak
