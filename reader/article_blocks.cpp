#include "reader/article_blocks.h"

#include <algorithm>

namespace zorvak {
namespace {

// What a kept block costs besides its text: the slot, its list node and its index entry.
constexpr size_t kSlotOverhead = 128;
// Compressed article data read at a time, and how much of it must lie after a block's start
// for the block to be inflated from the window in one call: a sound block's stream is a few
// kilobytes.
constexpr size_t kWindowBytes = size_t{64} << 10;
constexpr size_t kWindowMargin = size_t{32} << 10;
// A block's text inflated in one call at most; a longer one is inflated piece by piece.
constexpr size_t kWholeText = size_t{1} << 20;

}  // namespace

ArticleBlocks::ArticleBlocks(InputReader& input, uint64_t articleDataOffset, int32_t codePage,
                             size_t budget)
    : input_(input),
      articleDataOffset_(articleDataOffset),
      rule_(unitRuleFor(codePage)),
      budget_(budget),
      scratch_(ZlibSource::kOutputSize) {}

Status ArticleBlocks::fetch(uint64_t block, uint32_t start, uint32_t length, ArticleSink& sink,
                            bool* found) {
  *found = false;
  // The sum wraps like any 64-bit offset; a block past the end of the data yields nothing.
  const uint64_t key = articleDataOffset_ + block;
  SlotList::iterator slot;
  ZORVAK_RETURN_IF_ERROR(find(key, &slot));
  const InflatedBlock& head = slot->block;
  const uint64_t end = uint64_t{start} + length;
  Status status;
  if (end < head.units() || (head.end() == InflatedBlock::End::kComplete && end == head.units())) {
    size_t hint = 0;
    const size_t first = head.unitOffset(start, &hint);
    const size_t last = head.unitOffset(end, &hint);
    *found = true;
    status = sink.take(head.bytes() + first, last - first);
  } else if (head.end() == InflatedBlock::End::kCut && start < head.units()) {
    status = stream(key, start, end, sink, found);
  }
  evict();
  return status;
}

Status ArticleBlocks::find(uint64_t key, SlotList::iterator* slot) {
  auto known = byKey_.find(key);
  if (known != byKey_.end()) {
    slots_.splice(slots_.begin(), slots_, known->second);
    *slot = slots_.begin();
    return Status::Ok();
  }
  ++inflations_;
  InflatedBlock block;
  bool whole = false;
  if (offered_ != nullptr) {
    auto offered = offered_->find(key);
    if (offered != offered_->end()) {
      block = std::move(offered->second);
      offered_->erase(offered);
      whole = true;
    }
  }
  if (!whole) ZORVAK_RETURN_IF_ERROR(inflateWhole(key, &block, &whole));
  if (!whole) {
    ZORVAK_RETURN_IF_ERROR(InflatedBlock::inflateHead(input_, key, rule_, scratch_.data(), &block));
  }
  const size_t footprint = block.footprint() + kSlotOverhead;
  slots_.push_front(Slot{key, std::move(block), footprint});
  held_ += footprint;
  byKey_[key] = slots_.begin();
  *slot = slots_.begin();
  return Status::Ok();
}

Status ArticleBlocks::inflateWhole(uint64_t key, InflatedBlock* block, bool* whole) {
  *whole = false;
  const uint64_t size = input_.size();
  if (key >= size) return Status::Ok();
  const uint64_t wanted = std::min<uint64_t>(size, key + kWindowMargin);
  if (key < windowAt_ || wanted > windowAt_ + window_.size()) {
    window_.resize(static_cast<size_t>(std::min<uint64_t>(kWindowBytes, size - key)));
    size_t got = 0;
    const Status read = input_.readAt(key, window_.data(), window_.size(), &got);
    window_.resize(read.ok() ? got : 0);
    windowAt_ = key;
    ZORVAK_RETURN_IF_ERROR(read);
  }
  const size_t skip = static_cast<size_t>(key - windowAt_);
  size_t consumed = 0;
  if (skip < window_.size() &&
      whole_.inflate(window_.data() + skip, window_.size() - skip, kWholeText, &consumed) &&
      InflatedBlock::fromTextAgrees(whole_.textSize())) {
    InflatedBlock::fromText(whole_.text(), whole_.textSize(), rule_, block);
    *whole = true;
  }
  return Status::Ok();
}

Status ArticleBlocks::stream(uint64_t key, uint64_t start, uint64_t end, ArticleSink& sink,
                             bool* found) {
  ++inflations_;
  ZlibSource source(input_, key);
  UnitScan scan(rule_);
  bool begun = false;
  for (;;) {
    size_t produced = 0;
    ZlibSource::Outcome outcome;
    ZORVAK_RETURN_IF_ERROR(source.inflateStep(scratch_.data(), &produced, &outcome));
    if (outcome == ZlibSource::Outcome::kBroken) return Status::Ok();
    const uint8_t* piece = scratch_.data();
    size_t from = 0;
    if (!begun) {
      from = scan.seek(piece, produced, 0, start);
      begun = from < produced;
    }
    if (begun) {
      const size_t to = scan.seek(piece, produced, from, end);
      if (to > from) ZORVAK_RETURN_IF_ERROR(sink.take(piece + from, to - from));
      if (to < produced) {
        *found = true;
        return Status::Ok();
      }
    }
    scan.finish(produced);
    if (outcome == ZlibSource::Outcome::kEnd) {
      // The stream ended after the article's last unit had begun: that unit is whole.
      *found = begun && scan.units() == end;
      return Status::Ok();
    }
  }
}

void ArticleBlocks::evict() {
  while (held_ > budget_ && slots_.size() > 1) {
    held_ -= slots_.back().footprint;
    byKey_.erase(slots_.back().key);
    slots_.pop_back();
  }
}

}  // namespace zorvak
