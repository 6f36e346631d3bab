#ifndef ZORVAK_READER_ARTICLE_PLACES_H_
#define ZORVAK_READER_ARTICLE_PLACES_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "format/layout.h"

namespace zorvak {

// Where the articles of a compiled dictionary have been met, group after group in file order,
// to tell the articles that break the order of the article data: the articles of each group lie
// after those of the groups before it, and no two articles of a group overlap. Memory is
// bounded: a bitmap of the units 0 to 8192 of each block the current group has taken (two
// overlapping articles, both beginning at or before unit 8192 as in every sound block, share
// the later one's first unit, so these units are enough to tell), for at most kMaxGroupBlocks
// blocks, and the place after the furthest article of the groups before.
class ArticlePlaces {
 public:
  // A group's articles may lie in at most this many blocks (a sound group of that many holds
  // more than a quarter of a billion units of text).
  static constexpr size_t kMaxGroupBlocks = 32768;

  enum class Verdict {
    kFree,           // the article may stand there
    kBeforeFloor,    // it lies before an article of an earlier group
    kOverlap,        // it overlaps an article of this group
    kTooManyBlocks,  // the group's articles lie in more blocks than can be followed
  };

  ArticlePlaces();
  ~ArticlePlaces();

  // Whether the article of units [start, end) of `block` (from the article data offset; start
  // at most kBlockUnitLimit) may stand there, given the articles taken so far.
  Verdict check(uint64_t block, uint64_t start, uint64_t end);
  // Takes the article for the current group (after check() said kFree).
  void take(uint64_t block, uint64_t start, uint64_t end);
  // The current group is over: its articles become the floor of the next.
  void endGroup();
  // A hint that units from `start` of `block` are soon checked: their bitmap is fetched into
  // the processor's cache. Changes nothing.
  void prefetch(uint64_t block, uint64_t start) const;
  // No article of a later group may lie in a block before this one.
  uint64_t floorBlock() const { return floor_.block; }

 private:
  // An article's place: its block and a unit in it, in file order.
  struct Place {
    uint64_t block = 0;
    uint64_t unit = 0;
    bool operator<(const Place& other) const {
      return block != other.block ? block < other.block : unit < other.unit;
    }
  };
  struct Taken;

  // A block of the current group and its bitmap; `units` null for a free slot.
  struct Slot {
    uint64_t block = 0;
    std::unique_ptr<Taken> units;
  };

  // The units of `block` the group has taken; null when it has taken units of too many blocks.
  Taken* taken(uint64_t block);
  // The slot of `block` in the table, or the free slot where it would go (the table is never
  // full).
  size_t slotOf(uint64_t block) const;
  // Doubles the table.
  void grow();

  // Open addressing by block, at most half full, and the slots filled by the current group, to
  // clear them at its end.
  std::vector<Slot> table_;
  std::vector<uint32_t> filled_;
  // The block last looked up and its bitmap: an article is checked and then taken, and the
  // articles of a group come in runs of one block.
  uint64_t lastBlock_ = 0;
  Taken* lastTaken_ = nullptr;
  Place groupEnd_;  // after the furthest article of the group
  Place floor_;     // after the furthest article of the groups before
};

}  // namespace zorvak

#endif  // ZORVAK_READER_ARTICLE_PLACES_H_
