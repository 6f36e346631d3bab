#ifndef ZORVAK_DECOMPRESSOR_INFLATED_BLOCK_H_
#define ZORVAK_DECOMPRESSOR_INFLATED_BLOCK_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/status.h"
#include "reader/input_reader.h"
#include "reader/zlib_source.h"

namespace zorvak {

// How the units of an inflated article block are counted.
enum class UnitRule {
  kByte,  // one byte a unit (the single-byte and the other code pages)
  kPair,  // two bytes a unit, UTF-16LE (1200): a unit starts at every even distance
  kUtf8,  // one unit per byte outside 0x80..0xBF and the continuation bytes after it (65001)
};

UnitRule unitRuleFor(int32_t codePage);

// The text of one article block, inflated as far as it has been needed. Holds the bytes that
// the block yielded before its stream ended or broke (the bytes of a failing inflate call are
// never taken), and finds where each unit starts in them. The memory grows with what the
// block really yields, never with a length stored elsewhere in the file.
class InflatedBlock {
 public:
  InflatedBlock(InputReader& input, uint64_t fileOffset, UnitRule rule);

  // Inflates on until unit `unit` has begun (its first byte is held), or the stream is over.
  // Small blocks are inflated whole at once, so that their stream can be let go. Units before
  // `keepFrom` may be let go when the block grows very large. `scratch` receives each inflate
  // call's output (ZlibSource::kOutputSize bytes); it is shared by all blocks so that only the
  // text kept is allocated per block.
  Status reach(uint64_t unit, uint64_t keepFrom, uint8_t* scratch);

  // Units begun so far: each from firstUnit() on has at least its first byte held.
  uint64_t units() const { return units_; }
  // The first unit whose text is still held; 0 unless the block grew very large.
  uint64_t firstUnit() const { return firstUnit_; }
  // True once the stream has ended properly, so that units() is the block's whole text.
  bool complete() const { return complete_; }
  // Byte offset in the held text where unit `unit` (firstUnit() to units()) begins; units()
  // gives the end. `chunkHint`, when given, carries where the last unit was found, so that the
  // end of an article is found from its start.
  size_t unitOffset(uint64_t unit, size_t* chunkHint = nullptr) const;
  const uint8_t* bytes() const { return bytes_.data(); }
  // Memory held, for the cache's budget.
  size_t footprint() const;

 private:
  // Lets go of the text before unit `unit` (firstUnit() to units(); units() lets go of all).
  void dropBefore(uint64_t unit);
  // Takes the bytes [from, bytes_.size()) into the unit count and the unit index.
  void countUnits(size_t from);
  // kUtf8: indexes run `chunk` of the held bytes (the last run may be short).
  void countChunk(size_t chunk);

  UnitRule rule_;
  std::unique_ptr<ZlibSource> source_;  // null once the stream is over
  std::vector<uint8_t> bytes_;
  uint64_t units_ = 0;
  uint64_t firstUnit_ = 0;
  bool complete_ = false;
  // kUtf8: per run of 64 bytes, the units begun before it and a bit per byte that begins a
  // unit, so that a unit is found by a binary search and a few bit operations.
  struct Chunk {
    uint64_t unitsBefore;
    uint64_t leads;
  };
  std::vector<Chunk> chunks_;
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_INFLATED_BLOCK_H_
