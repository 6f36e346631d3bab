#ifndef ZORVAK_READER_ARTICLE_BLOCKS_H_
#define ZORVAK_READER_ARTICLE_BLOCKS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <list>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file.h"
#include "platform/status.h"
#include "reader/block_window.h"
#include "reader/inflated_block.h"
#include "reader/input_reader.h"
#include "reader/whole_stream.h"

namespace zorvak {

// Takes an article's stored bytes (in the header's code page) in pieces, in order. A piece ends
// anywhere, also inside a unit.
class ArticleSink {
 public:
  virtual ~ArticleSink() = default;
  // A failure stops the fetch and is returned by it.
  virtual Status take(const uint8_t* bytes, size_t count) = 0;
};

// Cuts articles out of the article blocks. The heads of the most recently used blocks are kept
// within a byte budget, so that the entries of a group, whose articles lie in a run of
// neighbouring blocks, inflate each of those blocks once; an article that reaches past its
// block's head is streamed from a fresh inflation of the block, so that no article is ever held
// whole. Every kept block counts against the budget, a broken one too.
//
// An article of `length` units from unit `start` on is found when the block yields the first
// byte of the unit after it, or when the block's stream ends right after its last unit. It is
// not found when the block breaks first, when the article runs past the end of the block, or
// when it does not begin in the block's head: no sound block lets an article begin that far
// in, and so no article is sought by inflating a block that never yields it.
class ArticleBlocks {
 public:
  static constexpr size_t kDefaultBudget = size_t{32} << 20;

  // Blocks are read through `input`, which ends where the article data ends.
  ArticleBlocks(InputReader& input, uint64_t articleDataOffset, int32_t codePage,
                size_t budget = kDefaultBudget);

  // Hands the article of the block at `block` (from the article data offset) to `sink` and sets
  // *found. An article cut from a block's head reaches the sink only when it is found; a
  // streamed one as it is inflated, so that part of it may have been handed over when it turns
  // out not to be found. Fails when a read fails or the sink fails.
  Status fetch(uint64_t block, uint32_t start, uint32_t length, ArticleSink& sink, bool* found);

  // A hint that the article from unit `start` of the block at `block` is soon fetched: when
  // its head is at hand, the article's first bytes are fetched into the processor's cache.
  // Changes nothing: no block is inflated, read or made more recently used.
  void prefetch(uint64_t block, uint32_t start) const;

  // Heads inflated elsewhere (ahead, on another thread) that a fetch takes, by file offset,
  // instead of inflating them; null for none. The map must live until the next call.
  // `taken`, when given, is told the footprint of every head taken from it.
  void offer(std::unordered_map<uint64_t, InflatedBlock>* heads,
             std::function<void(size_t)> taken = nullptr) {
    offered_ = heads;
    offeredTaken_ = std::move(taken);
  }

  // From now on, the heads of blocks let go while the group that used them is being read are
  // written to an unnamed file beside `beside`, made when first needed, and cut from there when
  // the group wants them again, instead of being inflated again: a group whose blocks' heads
  // do not fit the budget costs one inflation a block. That file holds at most the heads of one
  // group's blocks at a time (what those blocks inflate to, up to kHeldBytes each); when it
  // cannot be made, written or read, blocks are inflated again as without it.
  void spillBeside(const std::string& beside);
  // A new group is being read: the heads written for the one before are let go.
  void beginGroup();
  // The blocks before `block` (from the article data offset) will not be wanted again: the
  // least recently used of them are let go now rather than when the budget is spent, so that a
  // walk holds little more than the blocks of the group it reads. A few blocks still wanted
  // that are met on the way are kept; the others wait for the budget as before.
  void forgetBefore(uint64_t block);

  // Inflations of blocks so far: heads (again after they were let go) and streamed articles.
  uint64_t inflations() const { return inflations_; }
  // Heads of the group being read that are in the spill file.
  size_t spilledHeads() const { return spilled_.size(); }
  // Memory held by the kept blocks.
  size_t heldBytes() const { return held_; }

 private:
  struct Slot {
    uint64_t key;
    InflatedBlock block;
    size_t footprint;
    uint64_t group;  // the group that used it last
  };
  // A head written to the spill file: where, how long, and for UTF-8 the units begun before
  // every kCheckpointBytes of it (checkpoints_ from firstCheckpoint on).
  struct Spilled {
    uint64_t at;
    size_t size;
    uint64_t units;
    InflatedBlock::End end;
    size_t firstCheckpoint;
    size_t checkpoints;
  };
  static constexpr size_t kCheckpointBytes = 1024;
  // The checkpoints of one group's spilled heads at most; past them, heads are let go.
  static constexpr size_t kMaxCheckpoints = size_t{1} << 20;
  using SlotList = std::list<Slot>;
  // Where a kept block's text lies, by key, for prefetch() to find it with one look; one per
  // place of a small table, so a block may be missing from it (it is then looked up).
  struct Hint {
    uint64_t key = 0;
    bool kept = false;  // false: no block here
    SlotList::iterator slot;
    const uint8_t* bytes = nullptr;
    uint64_t units = 0;
  };
  static constexpr size_t kHints = 4096;
  static size_t hintOf(uint64_t key) {
    return static_cast<size_t>((key * 0x9E3779B97F4A7C15u) >> 52) & (kHints - 1);
  }
  // The head to prefetch from; null when none is at hand.
  const InflatedBlock* headFor(uint64_t key) const;
  // Makes `slot` the block that prefetch() and find() find first for its key.
  void remember(SlotList::iterator slot);

  // The slot of the block at file offset `key`, made the most recently used; its head is
  // inflated when it is not kept.
  Status find(uint64_t key, SlotList::iterator* slot);
  // Inflates the block at file offset `key` in one call from a window of the article data, and
  // makes its head; false when that cannot be done (a block whose stream breaks, runs past the
  // window or yields more than kWholeText), which is then inflated piece by piece.
  Status inflateWhole(uint64_t key, InflatedBlock* block, bool* whole);
  // Streams units [start, end) of the block at file offset `key` to the sink.
  Status stream(uint64_t key, uint64_t start, uint64_t end, ArticleSink& sink, bool* found);
  // Room for one inflate call's output.
  uint8_t* scratch();
  // Lets go of the least recently used blocks, all but the first, until the budget holds.
  void evict();
  // Lets go of the least recently used block.
  void dropLast();
  // Writes the head of `slot` to the spill file.
  void spill(const Slot& slot);
  // fetch() for a block whose head is in the spill file; *spilled false when that file failed
  // to give it (the block is then inflated again).
  Status fetchSpilled(uint64_t key, const Spilled& head, uint64_t start, uint64_t end,
                      ArticleSink& sink, bool* found, bool* spilled);

  InputReader& input_;
  uint64_t articleDataOffset_;
  UnitRule rule_;
  size_t budget_;
  size_t held_ = 0;
  uint64_t inflations_ = 0;
  SlotList slots_;                // most recently used first
  std::vector<uint8_t> scratch_;  // one inflate call's output, made on first use
  BlockWindow window_;
  WholeStream whole_;
  std::unordered_map<uint64_t, SlotList::iterator> byKey_;
  std::vector<Hint> hints_;  // kHints, made on first use
  std::unordered_map<uint64_t, InflatedBlock>* offered_ = nullptr;
  std::function<void(size_t)> offeredTaken_;
  uint64_t group_ = 0;
  std::string spillBeside_;  // empty: no spilling
  bool spillFailed_ = false;
  File spillFile_;
  uint64_t spillEnd_ = 0;
  std::unordered_map<uint64_t, Spilled> spilled_;
  std::vector<uint32_t> checkpoints_;
  std::vector<uint8_t> spillBytes_;  // a range of a spilled head read back
};

}  // namespace zorvak

#endif  // ZORVAK_READER_ARTICLE_BLOCKS_H_
