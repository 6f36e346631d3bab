#ifndef ZORVAK_COMPILER_INDEX_GROUPS_H_
#define ZORVAK_COMPILER_INDEX_GROUPS_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "compiler/id_hash_index.h"
#include "format/layout.h"

namespace zorvak {

// Where the entries of one group lie in one file (the text spool or the alternative headwords
// file): the bytes they take together, and the stretch from the start of the first to the end
// of the last. Entries stand back to back in their file, so the stretch holds the bytes of the
// group's entries and those of other groups' entries between them.
struct GroupExtent {
  uint64_t bytes = 0;
  uint64_t first = kNone;  // kNone while the group has no entry in the file
  uint64_t end = 0;

  void add(uint64_t position, uint64_t size) {
    if (first == kNone) first = position;
    end = position + size;
    bytes += size;
  }
};

// One index group: the entries whose headwords share a key.
struct IndexGroup {
  uint32_t key = 0;
  // Registrations with this key: source entries and alternative headwords together.
  uint32_t entryCount = 0;
  GroupExtent source;        // in the text spool
  GroupExtent alternatives;  // in the alternative headwords file
};

// The index groups and the two entry counters. Registration finds a key's group through a
// hash, so it costs the same however many groups there are; nothing is kept per entry.
class IndexGroups {
 public:
  static constexpr uint32_t kNoGroup = ~uint32_t{0};

  // Counts one registration under `key`. `position` is the spool position of a source entry,
  // which ends where the next one starts (the last where closeSource() says); kNone stands
  // for an alternative headword, whose record in the alternative headwords file starts at
  // `recordPosition` and takes `recordSize` bytes.
  void registerEntry(uint32_t key, uint64_t position, uint64_t recordPosition = kNone,
                     uint64_t recordSize = 0);
  // The last source entry registered ends at `end`.
  void closeSource(uint64_t end);

  // Orders the groups by key, ascending as unsigned numbers. Registration ends here.
  void sortGroups();
  // The index of the group of `key`, or kNoGroup.
  uint32_t groupOf(uint32_t key) const;

  uint32_t mainEntries() const { return mainEntries_; }
  uint32_t alternativeEntries() const { return alternativeEntries_; }

  size_t size() const { return groups_.size(); }
  IndexGroup& operator[](size_t i) { return groups_[i]; }
  const IndexGroup& operator[](size_t i) const { return groups_[i]; }

 private:
  static uint64_t hashOf(uint32_t key) { return (uint64_t{key} + 1) * 0x9E3779B97F4A7C15ull; }

  std::vector<IndexGroup> groups_;
  IdHashIndex index_;  // group indexes by key
  // The source entry registered last, whose size the next registration tells.
  uint32_t openGroup_ = kNoGroup;
  uint64_t openPosition_ = 0;
  uint32_t mainEntries_ = 0;
  uint32_t alternativeEntries_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_INDEX_GROUPS_H_
