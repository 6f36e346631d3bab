#include "decompressor/inflated_block.h"

#include "text/codepage.h"

namespace zorvak {
namespace {

constexpr size_t kIndexStride = 64;
// A block is inflated at once up to this size; one that yields more (an article of its own that
// long, or a hostile stream) is inflated only as far as it is asked to.
constexpr size_t kEagerBytes = 1 << 20;
// What an open inflate stream holds besides its text (state, window, input piece).
constexpr size_t kStreamFootprint = 48 * 1024;

bool isContinuation(uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

}  // namespace

UnitRule unitRuleFor(int32_t codePage) {
  if (codePage == kCodePageUtf16) return UnitRule::kPair;
  if (codePage == kCodePageUtf8) return UnitRule::kUtf8;
  return UnitRule::kByte;
}

InflatedBlock::InflatedBlock(InputReader& input, uint64_t fileOffset, UnitRule rule)
    : rule_(rule), source_(std::make_unique<ZlibSource>(input, fileOffset)) {}

Status InflatedBlock::reach(uint64_t unit) {
  while (source_ != nullptr && (units_ <= unit || bytes_.size() < kEagerBytes)) {
    const size_t held = bytes_.size();
    bytes_.resize(held + ZlibSource::kOutputSize);
    size_t produced = 0;
    ZlibSource::Outcome outcome;
    Status status = source_->inflateStep(bytes_.data() + held, &produced, &outcome);
    bytes_.resize(held + produced);
    ZORVAK_RETURN_IF_ERROR(status);
    countUnits(held);
    if (outcome != ZlibSource::Outcome::kMore) {
      complete_ = outcome == ZlibSource::Outcome::kEnd;
      source_.reset();
      bytes_.shrink_to_fit();
    }
  }
  return Status::Ok();
}

void InflatedBlock::countUnits(size_t from) {
  switch (rule_) {
    case UnitRule::kByte:
      units_ = bytes_.size();
      break;
    case UnitRule::kPair:
      units_ = (bytes_.size() + 1) / 2;
      break;
    case UnitRule::kUtf8:
      for (size_t i = from; i < bytes_.size(); ++i) {
        if (isContinuation(bytes_[i])) continue;
        if (units_ % kIndexStride == 0) unitIndex_.push_back(i);
        ++units_;
      }
      break;
  }
}

size_t InflatedBlock::unitOffset(uint64_t unit) const {
  if (unit >= units_) return bytes_.size();
  switch (rule_) {
    case UnitRule::kByte:
      return static_cast<size_t>(unit);
    case UnitRule::kPair:
      return static_cast<size_t>(unit * 2);
    case UnitRule::kUtf8:
      break;
  }
  size_t offset = unitIndex_[unit / kIndexStride];
  for (size_t skip = unit % kIndexStride; skip > 0;) {
    ++offset;
    if (!isContinuation(bytes_[offset])) --skip;
  }
  return offset;
}

size_t InflatedBlock::footprint() const {
  return bytes_.capacity() + unitIndex_.capacity() * sizeof(size_t) +
         (source_ != nullptr ? kStreamFootprint : 0);
}

}  // namespace zorvak
