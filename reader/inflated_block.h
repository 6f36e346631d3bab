#ifndef ZORVAK_READER_INFLATED_BLOCK_H_
#define ZORVAK_READER_INFLATED_BLOCK_H_

#include <cstddef>
#include <cstdint>
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

// Counts units in a stream of block text as it passes, piece by piece: where a given unit
// begins, without holding what went before.
class UnitScan {
 public:
  explicit UnitScan(UnitRule rule) : rule_(rule) {}
  // A scan that begins at a byte before which `unitsBefore` units have begun.
  UnitScan(UnitRule rule, uint64_t unitsBefore) : rule_(rule), units_(unitsBefore) {}

  // Looks in piece[from, count) for the first byte of unit `unit` and returns its index, or
  // `count` when it does not begin there. The units begun are counted up to the index returned.
  // Call finish() once a piece is done with.
  size_t seek(const uint8_t* piece, size_t count, size_t from, uint64_t unit);
  void finish(size_t count) { position_ += count; }

  // Units begun before the place the last seek stopped at.
  uint64_t units() const { return units_; }

 private:
  UnitRule rule_;
  uint64_t position_ = 0;  // bytes of the block before the current piece
  uint64_t units_ = 0;
};

// The head of one article block: its first kHeldBytes bytes of text, or all of it when it is
// shorter, with an index of where each unit begins. Every article of a sound block lies in its
// head (a block is closed a little after 8192 units), so the articles of a group are cut from
// memory; an article that reaches past the head is streamed by inflating the block again. The
// memory a block takes is thus bounded whatever its stream yields.
class InflatedBlock {
 public:
  static constexpr size_t kHeldBytes = size_t{128} << 10;

  // What is known of the block's stream beyond the head.
  enum class End {
    kComplete,  // the stream ended inside the head: units() is the whole block
    kBroken,    // the stream broke inside the head: the text after the head's bytes is lost
    kCut,       // the stream goes on past the head
  };

  // Inflates the head of the block at `fileOffset`. `scratch` receives each inflate call's
  // output (ZlibSource::kOutputSize bytes); it is shared by all blocks so that only the text
  // kept is allocated per block. Fails only when a read fails.
  static Status inflateHead(InputReader& input, uint64_t fileOffset, UnitRule rule,
                            uint8_t* scratch, InflatedBlock* block);

  // The head of a block whose whole text, `size` bytes at `text`, is known (its stream inflated
  // in one call): the same head inflateHead gives for that stream.
  static void fromText(const uint8_t* text, size_t size, UnitRule rule, InflatedBlock* block);
  // Whether fromText gives for a text of `size` bytes what inflateHead gives: not for a text of
  // exactly kHeldBytes, whose end inflateHead sees or not depending on how the input falls.
  static bool fromTextAgrees(size_t size) { return size != kHeldBytes; }

  // Units begun in the head: each has at least its first byte held.
  uint64_t units() const { return units_; }
  End end() const { return end_; }
  // Byte offset in the head where unit `unit` (0 to units()) begins; units() gives the end of
  // the head. `chunkHint`, when given, carries where the last unit was found, so that the end of
  // an article is found from its start.
  size_t unitOffset(uint64_t unit, size_t* chunkHint = nullptr) const;
  // Where unit `unit` (below units()) begins, or about where (within a few runs of 64 bytes,
  // for a text of units of uneven size), found without reading the unit index; for a prefetch.
  const uint8_t* approximateUnit(uint64_t unit) const;
  const uint8_t* bytes() const { return bytes_.data(); }
  // Bytes held.
  size_t size() const { return bytes_.size(); }
  // Units begun before byte `at` of the head, a multiple of 64 below size().
  uint64_t unitsBefore(size_t at) const;
  // Memory held.
  size_t footprint() const;

 private:
  // Takes the bytes [from, bytes_.size()) into the unit count and the unit index.
  void countUnits(size_t from);
  // kUtf8: indexes run `chunk` of the held bytes (the last run may be short).
  void countChunk(size_t chunk);
  // kUtf8, for a unit below units(): the run where it would begin if units were of even size,
  // and the run where it begins.
  size_t chunkGuess(uint64_t unit) const;
  size_t chunkOf(uint64_t unit) const;

  UnitRule rule_ = UnitRule::kByte;
  std::vector<uint8_t> bytes_;
  uint64_t units_ = 0;
  End end_ = End::kBroken;
  // kUtf8: per run of 64 bytes, the units begun before it and a bit per byte that begins a
  // unit, so that a unit is found by a binary search and a few bit operations.
  struct Chunk {
    uint64_t unitsBefore;
    uint64_t leads;
  };
  std::vector<Chunk> chunks_;
};

}  // namespace zorvak

#endif  // ZORVAK_READER_INFLATED_BLOCK_H_
