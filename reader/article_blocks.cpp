#include "reader/article_blocks.h"

#include <algorithm>
#include <iterator>

namespace zorvak {
namespace {

// What a kept block costs besides its text: the slot, its list node and its index entry.
constexpr size_t kSlotOverhead = 128;
// A block's text inflated in one call at most; a longer one is inflated piece by piece.
constexpr size_t kWholeText = size_t{1} << 20;

}  // namespace

ArticleBlocks::ArticleBlocks(InputReader& input, uint64_t articleDataOffset, int32_t codePage,
                             size_t budget)
    : input_(input),
      articleDataOffset_(articleDataOffset),
      rule_(unitRuleFor(codePage)),
      budget_(budget) {}

uint8_t* ArticleBlocks::scratch() {
  if (scratch_.empty()) scratch_.resize(ZlibSource::kOutputSize);
  return scratch_.data();
}

Status ArticleBlocks::fetch(uint64_t block, uint32_t start, uint32_t length, ArticleSink& sink,
                            bool* found) {
  *found = false;
  // The sum wraps like any 64-bit offset; a block past the end of the data yields nothing.
  const uint64_t key = articleDataOffset_ + block;
  const uint64_t end = uint64_t{start} + length;
  auto spilled = spilled_.find(key);
  if (spilled != spilled_.end()) {
    bool held = false;
    ZORVAK_RETURN_IF_ERROR(fetchSpilled(key, spilled->second, start, end, sink, found, &held));
    if (held) return Status::Ok();
    spilled_.erase(key);
  }
  SlotList::iterator slot;
  ZORVAK_RETURN_IF_ERROR(find(key, &slot));
  slot->group = group_;
  const InflatedBlock& head = slot->block;
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

void ArticleBlocks::prefetch(uint64_t block, uint32_t start) const {
  const uint64_t key = articleDataOffset_ + block;
  if (!hints_.empty()) {
    const Hint& hint = hints_[hintOf(key)];
    if (hint.kept && hint.key == key) {
      // The slot is touched again by the fetch (it is made the most recently used).
      __builtin_prefetch(&*hint.slot);
      if (start >= hint.units) return;
      switch (rule_) {
        case UnitRule::kByte:
          __builtin_prefetch(hint.bytes + start);
          return;
        case UnitRule::kPair:
          __builtin_prefetch(hint.bytes + 2 * uint64_t{start});
          return;
        case UnitRule::kUtf8:
          __builtin_prefetch(hint.slot->block.approximateUnit(start));
          return;
      }
    }
  }
  const InflatedBlock* head = headFor(key);
  if (head != nullptr && start < head->units()) {
    __builtin_prefetch(head->approximateUnit(start));
  }
}

const InflatedBlock* ArticleBlocks::headFor(uint64_t key) const {
  if (auto known = byKey_.find(key); known != byKey_.end()) return &known->second->block;
  if (offered_ == nullptr) return nullptr;
  auto offered = offered_->find(key);
  return offered != offered_->end() ? &offered->second : nullptr;
}

Status ArticleBlocks::find(uint64_t key, SlotList::iterator* slot) {
  // The entries of a group come in runs of one block: that block is already the first.
  if (!slots_.empty() && slots_.front().key == key) {
    *slot = slots_.begin();
    return Status::Ok();
  }
  if (!hints_.empty()) {
    const Hint& hint = hints_[hintOf(key)];
    if (hint.kept && hint.key == key) {
      slots_.splice(slots_.begin(), slots_, hint.slot);
      *slot = slots_.begin();
      return Status::Ok();
    }
  }
  auto known = byKey_.find(key);
  if (known != byKey_.end()) {
    slots_.splice(slots_.begin(), slots_, known->second);
    *slot = slots_.begin();
    remember(slots_.begin());
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
      if (offeredTaken_) offeredTaken_(block.footprint());
    }
  }
  if (!whole) ZORVAK_RETURN_IF_ERROR(inflateWhole(key, &block, &whole));
  if (!whole) {
    ZORVAK_RETURN_IF_ERROR(InflatedBlock::inflateHead(input_, key, rule_, scratch(), &block));
  }
  const size_t footprint = block.footprint() + kSlotOverhead;
  slots_.push_front(Slot{key, std::move(block), footprint, group_});
  held_ += footprint;
  byKey_[key] = slots_.begin();
  *slot = slots_.begin();
  remember(slots_.begin());
  return Status::Ok();
}

void ArticleBlocks::remember(SlotList::iterator slot) {
  if (hints_.empty()) hints_.resize(kHints);
  hints_[hintOf(slot->key)] = Hint{slot->key, true, slot, slot->block.bytes(), slot->block.units()};
}

Status ArticleBlocks::inflateWhole(uint64_t key, InflatedBlock* block, bool* whole) {
  *whole = false;
  bool inflated = false;
  ZORVAK_RETURN_IF_ERROR(window_.inflate(input_, key, whole_, kWholeText, &inflated));
  if (inflated && InflatedBlock::fromTextAgrees(whole_.textSize())) {
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
    uint8_t* piece = scratch();
    ZORVAK_RETURN_IF_ERROR(source.inflateStep(piece, &produced, &outcome));
    if (outcome == ZlibSource::Outcome::kBroken) return Status::Ok();
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
    // A block the group being read has used may be wanted again before the group ends.
    if (slots_.back().group == group_ && !spillBeside_.empty() && !spillFailed_) {
      spill(slots_.back());
    }
    dropLast();
  }
}

void ArticleBlocks::dropLast() {
  if (!hints_.empty()) {
    Hint& hint = hints_[hintOf(slots_.back().key)];
    if (hint.kept && &*hint.slot == &slots_.back()) hint = Hint{};
  }
  held_ -= slots_.back().footprint;
  byKey_.erase(slots_.back().key);
  slots_.pop_back();
}

void ArticleBlocks::forgetBefore(uint64_t block) {
  // Each block looked at is let go, or is one of the few still wanted put first, so that the
  // work is bounded by what is let go.
  constexpr int kKeptAtMost = 4;
  for (int kept = 0; !slots_.empty() && kept < kKeptAtMost;) {
    if (slots_.back().key - articleDataOffset_ < block) {
      dropLast();
    } else {
      slots_.splice(slots_.begin(), slots_, std::prev(slots_.end()));
      ++kept;
    }
  }
}

void ArticleBlocks::spillBeside(const std::string& beside) {
  spillBeside_ = beside;
}

void ArticleBlocks::beginGroup() {
  ++group_;
  spilled_.clear();
  checkpoints_.clear();
  if (spillEnd_ > 0) {
    spillEnd_ = 0;
    if (spillFile_.seek(0, SeekFrom::kBegin) != 0) spillFailed_ = true;
  }
}

void ArticleBlocks::spill(const Slot& slot) {
  const InflatedBlock& head = slot.block;
  if (rule_ == UnitRule::kUtf8 &&
      checkpoints_.size() + head.size() / kCheckpointBytes + 1 > kMaxCheckpoints) {
    return;
  }
  if (!spillFile_.isOpen()) {
    spillFile_ = File::createUnnamed(spillBeside_);
    if (rule_ == UnitRule::kUtf8 &&
        checkpoints_.size() + head.size() / kCheckpointBytes + 1 > kMaxCheckpoints) {
      return;
    }
    if (!spillFile_.isOpen()) {
      spillFailed_ = true;
      return;
    }
  }
  if (!spillFile_.write(head.bytes(), head.size())) {
    spillFailed_ = true;
    spilled_.clear();
    return;
  }
  Spilled record{spillEnd_, head.size(), head.units(), head.end(), checkpoints_.size(), 0};
  if (rule_ == UnitRule::kUtf8) {
    for (size_t at = 0; at < head.size(); at += kCheckpointBytes)
      checkpoints_.push_back(static_cast<uint32_t>(head.unitsBefore(at)));
    record.checkpoints = checkpoints_.size() - record.firstCheckpoint;
  }
  spilled_[slot.key] = record;
  spillEnd_ += head.size();
}

Status ArticleBlocks::fetchSpilled(uint64_t key, const Spilled& head, uint64_t start, uint64_t end,
                                   ArticleSink& sink, bool* found, bool* spilled) {
  *found = false;
  *spilled = true;
  const bool inHead =
      end < head.units || (head.end == InflatedBlock::End::kComplete && end == head.units);
  if (!inHead) {
    if (head.end == InflatedBlock::End::kCut && start < head.units) {
      return stream(key, start, end, sink, found);
    }
    return Status::Ok();
  }
  // The bytes from where the article's first unit may begin to where the unit after it must.
  size_t from = 0;
  size_t to = head.size;
  uint64_t unitsBefore = 0;
  switch (rule_) {
    case UnitRule::kByte:
      from = static_cast<size_t>(start);
      to = static_cast<size_t>(std::min<uint64_t>(end, head.size));
      break;
    case UnitRule::kPair:
      from = static_cast<size_t>(2 * start);
      to = static_cast<size_t>(std::min<uint64_t>(2 * end, head.size));
      break;
    case UnitRule::kUtf8: {
      const auto first = checkpoints_.begin() + static_cast<ptrdiff_t>(head.firstCheckpoint);
      const auto last = first + static_cast<ptrdiff_t>(head.checkpoints);
      // A head's units number at most its bytes, far below 2^32.
      const auto before = std::upper_bound(first, last, static_cast<uint32_t>(start)) - 1;
      const auto after = std::upper_bound(first, last, static_cast<uint32_t>(end));
      from = static_cast<size_t>(before - first) * kCheckpointBytes;
      unitsBefore = *before;
      to = std::min(head.size, static_cast<size_t>(after - first) * kCheckpointBytes);
      break;
    }
  }
  spillBytes_.resize(to - from);
  const int64_t got = spillFile_.readAt(head.at + from, spillBytes_.data(), to - from);
  if (got != static_cast<int64_t>(to - from)) {
    spillFailed_ = true;
    *spilled = false;
    return Status::Ok();
  }
  size_t first = 0;
  size_t last = spillBytes_.size();
  if (rule_ == UnitRule::kUtf8) {
    UnitScan scan(rule_, unitsBefore);
    first = scan.seek(spillBytes_.data(), spillBytes_.size(), 0, start);
    if (first == spillBytes_.size()) return Status::Ok();
    last = scan.seek(spillBytes_.data(), spillBytes_.size(), first, end);
  }
  *found = true;
  return sink.take(spillBytes_.data() + first, last - first);
}

}  // namespace zorvak
