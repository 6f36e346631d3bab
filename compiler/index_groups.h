#ifndef ZORVAK_COMPILER_INDEX_GROUPS_H_
#define ZORVAK_COMPILER_INDEX_GROUPS_H_

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "compiler/paged_array.h"
#include "format/layout.h"

namespace zorvak {

// Entries of one file (the text spool or the alternative headwords file) by their positions,
// in file order, each linked to the next entry of the same group. Entries stand back to back,
// so an entry runs from its position to the next entry's position (the last one to the end
// set with setEnd). This lets the group scan visit exactly a group's entries, in file order.
class EntryChains {
 public:
  static constexpr uint32_t kNoEntry = ~uint32_t{0};

  // The head and tail of one group's chain.
  struct Chain {
    uint32_t first = kNoEntry;
    uint32_t last = kNoEntry;
  };

  // Adds the entry at `position` (after every entry added before) to the end of `chain`.
  void add(uint64_t position, Chain& chain);
  // Where the entry after the last one would start: the next entry mark in the file.
  void setEnd(uint64_t end) { end_ = end; }

  uint64_t begin(uint32_t entry) const { return positions_[entry]; }
  uint64_t end(uint32_t entry) const {
    return entry + 1 < positions_.size() ? positions_[entry + 1] : end_;
  }
  // The next entry of the same group, or kNoEntry.
  uint32_t next(uint32_t entry) const { return next_[entry]; }
  size_t size() const { return positions_.size(); }

 private:
  PagedArray<uint64_t> positions_;
  PagedArray<uint32_t> next_;
  uint64_t end_ = 0;
};

// One index group: the entries whose headwords share a key.
struct IndexGroup {
  uint32_t key = 0;
  // Registrations with this key: source entries and alternative headwords together.
  uint32_t entryCount = 0;
  // Spool positions of the group's first and last source entry; kNone while it has none.
  uint64_t firstPosition = kNone;
  uint64_t lastPosition = kNone;
  EntryChains::Chain sourceEntries;
  EntryChains::Chain alternativeRecords;
};

// The index groups and the two entry counters. Registration finds a key's group through a
// hash, so it costs the same however many groups there are.
class IndexGroups {
 public:
  // Counts one registration under `key`. `position` is the spool position of a source entry,
  // or kNone for an alternative headword, whose record in the alternative headwords file
  // starts at `recordPosition`.
  void registerEntry(uint32_t key, uint64_t position, uint64_t recordPosition = kNone);

  // Orders the groups by key, ascending as unsigned numbers. Registration ends here.
  void sortGroups();

  uint32_t mainEntries() const { return mainEntries_; }
  uint32_t alternativeEntries() const { return alternativeEntries_; }

  size_t size() const { return groups_.size(); }
  IndexGroup& operator[](size_t i) { return groups_[i]; }
  const IndexGroup& operator[](size_t i) const { return groups_[i]; }

  EntryChains& sourceChains() { return sourceChains_; }
  EntryChains& alternativeChains() { return alternativeChains_; }
  const EntryChains& sourceChains() const { return sourceChains_; }
  const EntryChains& alternativeChains() const { return alternativeChains_; }

 private:
  std::vector<IndexGroup> groups_;
  std::unordered_map<uint32_t, uint32_t> groupOfKey_;
  EntryChains sourceChains_;
  EntryChains alternativeChains_;
  uint32_t mainEntries_ = 0;
  uint32_t alternativeEntries_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_INDEX_GROUPS_H_
