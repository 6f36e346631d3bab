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

void ArticlePlaces::prefetch(uint64_t block, uint64_t start) const {
  if (start >= Taken::kUnits) return;
  const Taken* units = lastTaken_ != nullptr && lastBlock_ == block ? lastTaken_
                       : table_.empty()                             ? nullptr
                                        : table_[slotOf(block)].units.get();
  if (units != nullptr) __builtin_prefetch(&units->words[start / 64]);
}

void ArticlePlaces::endGroup() {
  for (const uint32_t slot : filled_)
    table_[slot] = Slot{};
  filled_.clear();
  lastTaken_ = nullptr;
  floor_ = std::max(floor_, groupEnd_);
}

size_t ArticlePlaces::slotOf(uint64_t block) const {
  const size_t mask = table_.size() - 1;
  size_t slot = static_cast<size_t>((block * 0x9E3779B97F4A7C15u) >> 32) & mask;
  while (table_[slot].units != nullptr && table_[slot].block != block)
    slot = (slot + 1) & mask;
  return slot;
}

void ArticlePlaces::grow() {
  std::vector<Slot> old(std::max<size_t>(64, 2 * table_.size()));
  old.swap(table_);
  filled_.clear();
  for (Slot& entry : old) {
    if (entry.units == nullptr) continue;
    const size_t slot = slotOf(entry.block);
    table_[slot] = std::move(entry);
    filled_.push_back(static_cast<uint32_t>(slot));
  }
}

ArticlePlaces::Taken* ArticlePlaces::taken(uint64_t block) {
  if (lastTaken_ != nullptr && lastBlock_ == block) return lastTaken_;
  if (table_.empty()) grow();
  size_t slot = slotOf(block);
  if (table_[slot].units == nullptr) {
    if (filled_.size() >= kMaxGroupBlocks) return nullptr;
    if (2 * (filled_.size() + 1) > table_.size()) {
      grow();
      slot = slotOf(block);
    }
    table_[slot] = Slot{block, std::make_unique<Taken>()};
    filled_.push_back(static_cast<uint32_t>(slot));
  }
  lastBlock_ = block;
  lastTaken_ = table_[slot].units.get();
  return lastTaken_;
}

}  // namespace zorvak
