#ifndef ZORVAK_DECOMPRESSOR_ARTICLE_BLOCKS_H_
#define ZORVAK_DECOMPRESSOR_ARTICLE_BLOCKS_H_

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/status.h"
#include "reader/inflated_block.h"
#include "reader/input_reader.h"

namespace zorvak {

// An article's text as stored in its block, or the news that it cannot be had.
struct ArticleText {
  bool found = false;
  const uint8_t* data = nullptr;  // valid until the next fetch
  size_t size = 0;
};

// Cuts articles out of the article blocks, keeping the most recently used inflated blocks
// within a byte budget, so that the entries of a group, whose articles lie in a run of
// neighbouring blocks, inflate each of those blocks once.
//
// An article of `length` units from unit `start` on is found when the block yields the first
// byte of the unit after it, or when the block's stream ends right after its last unit. It is
// not found when the block breaks first or when the article runs past the end of the block.
class ArticleBlocks {
 public:
  static constexpr size_t kDefaultBudget = size_t{64} << 20;

  ArticleBlocks(InputReader& input, uint64_t articleDataOffset, int32_t codePage,
                size_t budget = kDefaultBudget);

  // The article of the block at `block` (from the article data offset). Fails only when a read
  // fails.
  Status fetch(uint64_t block, uint32_t start, uint32_t length, ArticleText* text);

  // Blocks inflated so far, counting those inflated again after they were let go.
  uint64_t inflations() const { return inflations_; }
  // Memory held by the kept blocks.
  size_t heldBytes() const { return heldBytes_; }

 private:
  struct Slot {
    uint64_t key;
    std::unique_ptr<InflatedBlock> block;
    size_t footprint;
  };
  using SlotList = std::list<Slot>;

  // The slot of the block at file offset `key`, made the most recently used.
  SlotList::iterator find(uint64_t key);
  // Lets go of the least recently used blocks, all but the first, until the budget holds.
  void evict();

  InputReader& input_;
  uint64_t articleDataOffset_;
  UnitRule rule_;
  size_t budget_;  // bytes
  size_t heldBytes_ = 0;
  uint64_t inflations_ = 0;
  SlotList slots_;                // most recently used first
  std::vector<uint8_t> scratch_;  // one inflate call's output
  std::unordered_map<uint64_t, SlotList::iterator> byKey_;
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_ARTICLE_BLOCKS_H_
