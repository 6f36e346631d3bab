#ifndef ZORVAK_COMPILER_ID_HASH_INDEX_H_
#define ZORVAK_COMPILER_ID_HASH_INDEX_H_

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace zorvak {

// A 64-bit hash of a run of code units. The seed folds in a number that the units belong with,
// so that a form can be hashed together with the index of its lemma.
inline uint64_t hashUnits(std::span<const uint16_t> units, uint64_t seed = 0) {
  uint64_t h = 0xcbf29ce484222325ull ^ (seed * 0x9e3779b97f4a7c15ull);
  for (uint16_t u : units)
    h = (h ^ u) * 0x100000001b3ull;
  h ^= h >> 29;
  h *= 0xbf58476d1ce4e5b9ull;
  h ^= h >> 32;
  return h;
}

// An open-addressing hash index over 32-bit ids of items that the caller stores elsewhere. Each
// slot keeps an id and 32 bits of its item's hash: the slot position is taken from those bits,
// so growing needs no access to the items, and a probe compares items only when the bits agree.
// Finding and inserting take O(1) expected time; slots are 8 bytes and at most 70% used.
class IdHashIndex {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // Forgets every id and gives back the slots' memory.
  void clear() {
    slots_ = std::vector<Slot>();
    count_ = 0;
  }

  // Returns the id with this hash for which `same(id)` holds, or kNone.
  template <typename Same>
  uint32_t find(uint64_t hash, Same&& same) const {
    if (slots_.empty()) return kNone;
    const size_t mask = slots_.size() - 1;
    const uint32_t tag = tagOf(hash);
    for (size_t i = tag & mask;; i = (i + 1) & mask) {
      const Slot& slot = slots_[i];
      if (slot.idPlusOne == 0) return kNone;
      if (slot.tag == tag && same(slot.idPlusOne - 1)) return slot.idPlusOne - 1;
    }
  }

  // Adds an id under its hash. The caller has made sure that no equal item is indexed yet.
  void insert(uint64_t hash, uint32_t id) {
    if ((count_ + 1) * 10 > slots_.size() * 7) grow();
    place(Slot{tagOf(hash), id + 1});
    ++count_;
  }

 private:
  struct Slot {
    uint32_t tag = 0;
    uint32_t idPlusOne = 0;  // 0 marks an empty slot
  };

  static uint32_t tagOf(uint64_t hash) { return static_cast<uint32_t>(hash ^ (hash >> 32)); }

  void place(Slot slot) {
    const size_t mask = slots_.size() - 1;
    size_t i = slot.tag & mask;
    while (slots_[i].idPlusOne != 0)
      i = (i + 1) & mask;
    slots_[i] = slot;
  }

  // Doubles the slots (from 64) and places every id again by its tag.
  void grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.empty() ? 64 : old.size() * 2, Slot{});
    for (const Slot& slot : old) {
      if (slot.idPlusOne != 0) place(slot);
    }
  }

  std::vector<Slot> slots_;
  size_t count_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_ID_HASH_INDEX_H_
