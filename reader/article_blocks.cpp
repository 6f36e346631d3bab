#include "reader/article_blocks.h"

namespace zorvak {

ArticleBlocks::ArticleBlocks(InputReader& input, uint64_t articleDataOffset, int32_t codePage,
                             size_t budget)
    : input_(input),
      articleDataOffset_(articleDataOffset),
      rule_(unitRuleFor(codePage)),
      budget_(budget),
      scratch_(ZlibSource::kOutputSize) {}

Status ArticleBlocks::fetch(uint64_t block, uint32_t start, uint32_t length, ArticleText* text) {
  *text = ArticleText{};
  // The sum wraps like any 64-bit offset; a block past the end of the file simply yields nothing.
  SlotList::iterator slot = find(articleDataOffset_ + block);
  if (start < slot->block->firstUnit()) {
    // The block let go of this article's text when it grew very large: inflate it again.
    ++inflations_;
    slot->block = std::make_unique<InflatedBlock>(input_, slot->key, rule_);
  }
  InflatedBlock& inflated = *slot->block;
  const uint64_t end = uint64_t{start} + length;
  Status status = inflated.reach(end, start, scratch_.data());
  heldBytes_ -= slot->footprint;
  slot->footprint = inflated.footprint();
  heldBytes_ += slot->footprint;
  ZORVAK_RETURN_IF_ERROR(status);

  const uint64_t units = inflated.units();
  if (units > end || (inflated.complete() && units == end)) {
    size_t chunk = 0;
    const size_t first = inflated.unitOffset(start, &chunk);
    text->found = true;
    text->data = inflated.bytes() + first;
    text->size = inflated.unitOffset(end, &chunk) - first;
  }
  evict();
  return Status::Ok();
}

ArticleBlocks::SlotList::iterator ArticleBlocks::find(uint64_t key) {
  auto known = byKey_.find(key);
  if (known != byKey_.end()) {
    slots_.splice(slots_.begin(), slots_, known->second);
    return slots_.begin();
  }
  ++inflations_;
  slots_.push_front(Slot{key, std::make_unique<InflatedBlock>(input_, key, rule_), 0});
  byKey_[key] = slots_.begin();
  return slots_.begin();
}

void ArticleBlocks::evict() {
  while (heldBytes_ > budget_ && slots_.size() > 1) {
    heldBytes_ -= slots_.back().footprint;
    byKey_.erase(slots_.back().key);
    slots_.pop_back();
  }
}

}  // namespace zorvak
