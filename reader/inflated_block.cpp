#include "reader/inflated_block.h"

#include <algorithm>
#include <array>
#include <bit>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "text/codepage.h"

namespace zorvak {
namespace {

constexpr size_t kChunkBytes = 64;

bool isContinuation(uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// A bit for each of `count` bytes (at most 64) that is not a UTF-8 continuation byte.
uint64_t leadBits(const uint8_t* bytes, size_t count) {
  uint64_t leads = 0;
  for (size_t i = 0; i < count; ++i)
    leads |= uint64_t{!isContinuation(bytes[i])} << i;
  return leads;
}

// The same for a whole run of 64 bytes, sixteen bytes at a time where the processor allows.
uint64_t leadBits(const uint8_t* bytes) {
#if defined(__SSE2__)
  const __m128i top = _mm_set1_epi8(static_cast<char>(0xC0));
  const __m128i continuation = _mm_set1_epi8(static_cast<char>(0x80));
  uint64_t continuations = 0;
  for (int part = 0; part < 4; ++part) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes + 16 * part));
    const __m128i match = _mm_cmpeq_epi8(_mm_and_si128(chunk, top), continuation);
    continuations |= static_cast<uint64_t>(static_cast<uint16_t>(_mm_movemask_epi8(match)))
                     << (16 * part);
  }
  return ~continuations;
#else
  return leadBits(bytes, 64);
#endif
}

// The number of set bits of each byte value.
constexpr std::array<uint8_t, 256> kBitsInByte = [] {
  std::array<uint8_t, 256> table{};
  for (unsigned value = 0; value < 256; ++value)
    table[value] = static_cast<uint8_t>(std::popcount(value));
  return table;
}();

// The position of the set bit of `bits` that has `skip` set bits below it (there is one).
unsigned selectBit(uint64_t bits, uint64_t skip) {
  unsigned base = 0;
  for (;; bits >>= 8, base += 8) {
    const uint64_t inByte = kBitsInByte[bits & 0xFF];
    if (skip < inByte) break;
    skip -= inByte;
  }
  for (; skip > 0; --skip)
    bits &= bits - 1;
  return base + static_cast<unsigned>(std::countr_zero(bits));
}

}  // namespace

UnitRule unitRuleFor(int32_t codePage) {
  if (codePage == kCodePageUtf16) return UnitRule::kPair;
  if (codePage == kCodePageUtf8) return UnitRule::kUtf8;
  return UnitRule::kByte;
}

size_t UnitScan::seek(const uint8_t* piece, size_t count, size_t from, uint64_t unit) {
  switch (rule_) {
    case UnitRule::kByte:
    case UnitRule::kPair: {
      // Unit u begins at byte u, or at byte 2u with two bytes a unit.
      const uint64_t at = rule_ == UnitRule::kByte ? unit : 2 * unit;
      if (at >= position_ + from && at - position_ < count) {
        units_ = unit;
        return static_cast<size_t>(at - position_);
      }
      const uint64_t end = position_ + count;
      units_ = rule_ == UnitRule::kByte ? end : (end + 1) / 2;
      return count;
    }
    case UnitRule::kUtf8:
      break;
  }
  for (size_t i = from; i < count;) {
    const size_t n = std::min(kChunkBytes, count - i);
    const uint64_t leads = n == kChunkBytes ? leadBits(piece + i) : leadBits(piece + i, n);
    const uint64_t inRun = static_cast<uint64_t>(std::popcount(leads));
    if (units_ + inRun > unit) {
      const size_t at = i + selectBit(leads, unit - units_);
      units_ = unit;
      return at;
    }
    units_ += inRun;
    i += n;
  }
  return count;
}

Status InflatedBlock::inflateHead(InputReader& input, uint64_t fileOffset, UnitRule rule,
                                  uint8_t* scratch, InflatedBlock* block) {
  *block = InflatedBlock();
  block->rule_ = rule;
  ZlibSource source(input, fileOffset);
  for (;;) {
    size_t produced = 0;
    ZlibSource::Outcome outcome;
    ZORVAK_RETURN_IF_ERROR(source.inflateStep(scratch, &produced, &outcome));
    const size_t held = block->bytes_.size();
    const size_t taken = std::min(produced, kHeldBytes - held);
    block->bytes_.insert(block->bytes_.end(), scratch, scratch + taken);
    block->countUnits(held);
    if (outcome == ZlibSource::Outcome::kBroken) {
      block->end_ = End::kBroken;
      break;
    }
    if (outcome == ZlibSource::Outcome::kEnd && taken == produced) {
      block->end_ = End::kComplete;
      break;
    }
    if (block->bytes_.size() == kHeldBytes) {
      block->end_ = End::kCut;
      break;
    }
  }
  block->bytes_.shrink_to_fit();
  block->chunks_.shrink_to_fit();
  return Status::Ok();
}

void InflatedBlock::fromText(const uint8_t* text, size_t size, UnitRule rule,
                             InflatedBlock* block) {
  *block = InflatedBlock();
  block->rule_ = rule;
  const size_t held = std::min(size, kHeldBytes);
  block->bytes_.assign(text, text + held);
  if (rule == UnitRule::kUtf8) block->chunks_.reserve((held + kChunkBytes - 1) / kChunkBytes);
  block->countUnits(0);
  block->end_ = size <= kHeldBytes ? End::kComplete : End::kCut;
}

void InflatedBlock::countUnits(size_t from) {
  switch (rule_) {
    case UnitRule::kByte:
      units_ = bytes_.size();
      return;
    case UnitRule::kPair:
      units_ = (bytes_.size() + 1) / 2;
      return;
    case UnitRule::kUtf8:
      break;
  }
  // The bytes of a chunk left partly filled by the last call are counted again from its start.
  size_t chunk = from / kChunkBytes;
  if (chunk < chunks_.size()) {
    units_ = chunks_[chunk].unitsBefore;
    chunks_.resize(chunk);
  }
  for (; chunk * kChunkBytes < bytes_.size(); ++chunk)
    countChunk(chunk);
}

void InflatedBlock::countChunk(size_t chunk) {
  const size_t first = chunk * kChunkBytes;
  const size_t count = std::min(kChunkBytes, bytes_.size() - first);
  const uint8_t* bytes = bytes_.data() + first;
  const uint64_t leads = count == kChunkBytes ? leadBits(bytes) : leadBits(bytes, count);
  chunks_.push_back(Chunk{units_, leads});
  units_ += static_cast<uint64_t>(std::popcount(leads));
}

size_t InflatedBlock::unitOffset(uint64_t unit, size_t* chunkHint) const {
  if (unit >= units_) return bytes_.size();
  switch (rule_) {
    case UnitRule::kByte:
      return static_cast<size_t>(unit);
    case UnitRule::kPair:
      return static_cast<size_t>(unit * 2);
    case UnitRule::kUtf8:
      break;
  }
  // The last chunk with at most `unit` units before it holds the unit's first byte. A unit
  // shortly after the hint's (the end of an article after its start) is found by walking on.
  size_t chunk = 0;
  if (chunkHint != nullptr && *chunkHint < chunks_.size() &&
      chunks_[*chunkHint].unitsBefore <= unit && unit - chunks_[*chunkHint].unitsBefore < 256) {
    chunk = *chunkHint;
    while (chunk + 1 < chunks_.size() && chunks_[chunk + 1].unitsBefore <= unit)
      ++chunk;
  } else {
    chunk = chunkOf(unit);
  }
  if (chunkHint != nullptr) *chunkHint = chunk;
  return chunk * kChunkBytes + selectBit(chunks_[chunk].leads, unit - chunks_[chunk].unitsBefore);
}

size_t InflatedBlock::chunkGuess(uint64_t unit) const {
  // Units spread about evenly over the bytes of a text: the run where unit `unit` would be if
  // they did, as a start for the search, read without touching the unit index.
  return static_cast<size_t>(
      std::min<uint64_t>(chunks_.size() - 1, unit * bytes_.size() / units_ / kChunkBytes));
}

size_t InflatedBlock::chunkOf(uint64_t unit) const {
  // A few runs on from the guess, then a binary search: as fast as the index is near, never
  // slower than the search alone by more than those few steps.
  constexpr int kSteps = 4;
  size_t chunk = chunkGuess(unit);
  for (int step = 0; step < kSteps; ++step) {
    if (chunks_[chunk].unitsBefore > unit) {
      --chunk;  // the first run begins with no unit before it, so this stays in the index
    } else if (chunk + 1 < chunks_.size() && chunks_[chunk + 1].unitsBefore <= unit) {
      ++chunk;
    } else {
      return chunk;
    }
  }
  const auto after =
      std::upper_bound(chunks_.begin(), chunks_.end(), unit,
                       [](uint64_t value, const Chunk& run) { return value < run.unitsBefore; });
  return static_cast<size_t>(after - chunks_.begin()) - 1;
}

const uint8_t* InflatedBlock::approximateUnit(uint64_t unit) const {
  if (unit >= units_) return bytes_.data() + bytes_.size();
  switch (rule_) {
    case UnitRule::kByte:
      return bytes_.data() + unit;
    case UnitRule::kPair:
      return bytes_.data() + 2 * unit;
    case UnitRule::kUtf8:
      break;
  }
  const size_t chunk = chunkGuess(unit);
  __builtin_prefetch(&chunks_[chunk]);
  return bytes_.data() + chunk * kChunkBytes;
}

uint64_t InflatedBlock::unitsBefore(size_t at) const {
  switch (rule_) {
    case UnitRule::kByte:
      return at;
    case UnitRule::kPair:
      return (at + 1) / 2;
    case UnitRule::kUtf8:
      break;
  }
  return chunks_[at / kChunkBytes].unitsBefore;
}

size_t InflatedBlock::footprint() const {
  return sizeof(InflatedBlock) + bytes_.capacity() + chunks_.capacity() * sizeof(Chunk);
}

}  // namespace zorvak
