#include "reader/article_blocks.h"

namespace zorvak {
namespace {

// What a kept block costs besides its text: the slot, its list node and its index entry.
constexpr size_t kSlotOverhead = 128;

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
  ZORVAK_RETURN_IF_ERROR(InflatedBlock::inflateHead(input_, key, rule_, scratch_.data(), &block));
  const size_t footprint = block.footprint() + kSlotOverhead;
  slots_.push_front(Slot{key, std::move(block), footprint});
  held_ += footprint;
  byKey_[key] = slots_.begin();
  *slot = slots_.begin();
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
