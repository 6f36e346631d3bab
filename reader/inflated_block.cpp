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
// A block is inflated at once up to this size; one that yields more (an article of its own that
// long, or a hostile stream) is inflated only as far as it is asked to.
constexpr size_t kEagerBytes = 1 << 20;
// A block that has yielded this much while an article further on is sought lets go of the text
// before that article, so that a stored start far into a hostile block costs no more memory
// than this. Real blocks get this large only by one article that long, and then lose no more
// than the short articles before it.
constexpr size_t kTrimBytes = size_t{4} << 20;
// What an open inflate stream holds besides its text (state, window, input piece).
constexpr size_t kStreamFootprint = 48 * 1024;

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

InflatedBlock::InflatedBlock(InputReader& input, uint64_t fileOffset, UnitRule rule)
    : rule_(rule), source_(std::make_unique<ZlibSource>(input, fileOffset)) {}

Status InflatedBlock::reach(uint64_t unit, uint64_t keepFrom, uint8_t* scratch) {
  while (source_ != nullptr && (units_ <= unit || bytes_.size() < kEagerBytes)) {
    if (bytes_.size() >= kTrimBytes) {
      // A unit's first byte is kept until the unit is over: with UTF-8 its continuation bytes
      // are never taken for units of their own, with two bytes a unit the pairs stay aligned.
      // UTF-8 may let go of the last unit too, as what follows it starts with a lead byte.
      const uint64_t last = rule_ == UnitRule::kUtf8 ? units_ : units_ - 1;
      dropBefore(std::min(keepFrom, last));
    }
    size_t produced = 0;
    ZlibSource::Outcome outcome;
    ZORVAK_RETURN_IF_ERROR(source_->inflateStep(scratch, &produced, &outcome));
    const size_t held = bytes_.size();
    bytes_.insert(bytes_.end(), scratch, scratch + produced);
    countUnits(held);
    if (outcome != ZlibSource::Outcome::kMore) {
      complete_ = outcome == ZlibSource::Outcome::kEnd;
      source_.reset();
    }
  }
  return Status::Ok();
}

void InflatedBlock::dropBefore(uint64_t unit) {
  const size_t offset = unitOffset(unit);
  if (offset == 0) return;
  bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(offset));
  bytes_.shrink_to_fit();
  firstUnit_ = unit;
  units_ = unit;
  chunks_.clear();
  countUnits(0);
}

void InflatedBlock::countUnits(size_t from) {
  switch (rule_) {
    case UnitRule::kByte:
      units_ = firstUnit_ + bytes_.size();
      return;
    case UnitRule::kPair:
      units_ = firstUnit_ + (bytes_.size() + 1) / 2;
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
      return static_cast<size_t>(unit - firstUnit_);
    case UnitRule::kPair:
      return static_cast<size_t>((unit - firstUnit_) * 2);
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
    const auto after =
        std::upper_bound(chunks_.begin(), chunks_.end(), unit,
                         [](uint64_t value, const Chunk& run) { return value < run.unitsBefore; });
    chunk = static_cast<size_t>(after - chunks_.begin()) - 1;
  }
  if (chunkHint != nullptr) *chunkHint = chunk;
  return chunk * kChunkBytes + selectBit(chunks_[chunk].leads, unit - chunks_[chunk].unitsBefore);
}

size_t InflatedBlock::footprint() const {
  return bytes_.capacity() + chunks_.capacity() * sizeof(Chunk) +
         (source_ != nullptr ? kStreamFootprint : 0);
}

}  // namespace zorvak
