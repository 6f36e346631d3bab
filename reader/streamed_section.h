#ifndef ZORVAK_READER_STREAMED_SECTION_H_
#define ZORVAK_READER_STREAMED_SECTION_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/status.h"
#include "reader/inflated_block.h"
#include "reader/input_reader.h"
#include "reader/zlib_source.h"

namespace zorvak {

// A group section too large to inflate in one call, inflated piece by piece on a worker thread
// for a walk on another: the worker runs the ZlibSource steps the walk would run and hands it
// each step's output and outcome through a ring of kDepth pieces, so what the walk gets is
// exactly what inflating the section itself gives, and the memory held is kDepth pieces
// whatever the section's size.
//
// With a Heads, the worker also inflates the heads of the article blocks the section's entries
// name, in the order the entries first name them, at most kHeadBytes of them ahead of the walk,
// which takes each before it visits the entry that first names it. A head the worker has not
// begun when the walk comes to its entry is the walk's to inflate, so neither waits for the
// other's share; which thread inflates a block depends on timing, what the walk reads never
// does.
//
// The worker never gets more than kDepth pieces ahead of the walk, and a walk that lets go of
// the section early first waits until the worker is that far ahead (or done), so the pieces the
// worker inflates depend on where the walk stops, never on timing.
class StreamedSection {
 public:
  static constexpr size_t kDepth = 16;
  static constexpr size_t kHeadBytes = size_t{4} << 20;
  static constexpr uint64_t kNoEntry = ~uint64_t{0};
  // Heads are made for entries this far past the walk at least; nearer ones the walk makes.
  static constexpr uint64_t kLead = 256;

  // A block an entry of the section names: `entry` counts the section's entries from 0.
  struct Named {
    uint64_t entry;
    uint64_t key;
  };
  // Finds and inflates, on the worker, the blocks the entries name.
  class Heads {
   public:
    virtual ~Heads() = default;
    // The next `count` bytes of the section's text: appends the blocks that entries begun in
    // them name for the first time in the section, in order, and returns the number of entries
    // begun so far.
    virtual uint64_t scan(const uint8_t* bytes, size_t count, std::vector<Named>* named) = 0;
    // The head of the block at file offset `key`; *made false when it does not inflate in one
    // call. Fails only when a read fails.
    virtual Status make(uint64_t key, InflatedBlock* block, bool* made) = 0;
  };

  // What one inflate step gave.
  struct Piece {
    const uint8_t* bytes = nullptr;  // kOutputSize bytes of room; `produced` of them written
    size_t produced = 0;
    ZlibSource::Outcome outcome = ZlibSource::Outcome::kMore;
    Status status;               // the step's read failed: nothing else in the piece holds
    uint64_t endOffset = 0;      // the source's endOffset() after the step
    uint64_t inflatedBytes = 0;  // and its inflatedBytes()
  };

  StreamedSection() = default;
  StreamedSection(const StreamedSection&) = delete;
  StreamedSection& operator=(const StreamedSection&) = delete;

  // The worker's part: inflates the stream at file offset `offset` of `input` until it ends,
  // breaks, a read fails, or the walk lets go of it, and with `heads` the heads of the blocks it
  // names until they are all made or the walk lets go.
  void produce(InputReader& input, uint64_t offset, Heads* heads = nullptr);

  // The walk's part. Waits for the next piece, valid until the next call of next() or stop();
  // an exception that ended the worker's part is thrown here.
  const Piece& next();
  // The walk takes no more pieces: waits until the worker is kDepth pieces past the ones taken,
  // or done, and ends its part. Idempotent.
  void stop();
  // Ends the worker's part at once, wherever it is (when the whole run ends).
  void cancel();

  // The walk is about to visit entry `entry`: moves into *into the heads made for entries up to
  // `ahead`, waiting for one being made for an entry up to `entry`, and appends each one's Named
  // to *lent; the blocks named up to `entry` that the worker has not begun are left to the
  // walk. *next is the first entry a head may still come for: until the walk is that far,
  // there is nothing to take. A failed read of the worker's for an entry up to `entry` is
  // returned.
  Status takeHeads(uint64_t entry, uint64_t ahead,
                   std::unordered_map<uint64_t, InflatedBlock>* into, std::deque<Named>* lent,
                   uint64_t* next);

 private:
  struct Head {
    Named named;
    InflatedBlock block;
    Status status;
  };
  // With the lock held: whether the worker could make a head now.
  bool canMakeHead() const { return !named_.empty() && madeBytes_ < kHeadBytes && !headFailed_; }
  // The worker's part for the heads of pieces already made: makes one head.
  void makeHead(Heads& heads, std::unique_lock<std::mutex>& lock);

  std::unique_ptr<uint8_t[]> room_;  // kDepth pieces of kOutputSize bytes
  Piece pieces_[kDepth];
  Piece last_;  // what next() gives once the worker's last piece has been taken

  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t produced_ = 0;    // pieces the worker has filled
  uint64_t taken_ = 0;       // pieces next() has handed out
  uint64_t released_ = 0;    // pieces the walk is done with (all taken but the one it holds)
  bool finished_ = false;    // the worker has filled its last piece (or failed)
  bool stopped_ = false;     // the worker is to fill no more
  bool wantsPiece_ = false;  // the walk waits for a piece
  bool walkWaits_ = false;   // the walk waits for a piece or a head
  bool workerWaits_ = false;
  std::exception_ptr failure_;
  // Heads: blocks named and not yet made, in order; heads made and not yet taken, and what
  // they hold; the one being made.
  std::deque<Named> named_;
  std::deque<Head> made_;
  size_t madeBytes_ = 0;
  bool making_ = false;
  uint64_t makingEntry_ = 0;
  uint64_t scanned_ = 0;     // entries begun in the pieces made
  uint64_t walkAt_ = 0;      // the entry the walk took heads for last
  bool headFailed_ = false;  // a read failed: no more heads are made
};

}  // namespace zorvak

#endif  // ZORVAK_READER_STREAMED_SECTION_H_
