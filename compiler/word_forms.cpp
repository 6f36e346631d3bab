#include "compiler/word_forms.h"

#include <algorithm>

#include "compiler/units.h"
#include "text/char_table.h"

namespace zorvak {
namespace {

constexpr uint16_t kCarriageReturn = 0x000D;
constexpr uint16_t kColon = 0x003A;
constexpr uint16_t kComma = 0x002C;

bool sameUnits(std::span<const uint16_t> a, std::span<const uint16_t> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end());
}

}  // namespace

WordForms::WordForms(int32_t codePage) : decoder_(codePage) {}

void WordForms::reset() {
  state_ = LineState::kBetweenLines;
  lemmaLength_ = 0;
  formLength_ = 0;
  lemmaBuffer_[0] = 0;
  formBuffer_[0] = 0;
  offered_ = 0;
  stored_ = 0;
  // The memory goes back too: a large table is let go once its alternatives are made.
  pages_ = decltype(pages_)();
  pageUnits_ = 0;
  pageFill_ = 0;
  lemmas_ = decltype(lemmas_)();
  records_ = decltype(records_)();
  bucketKeys_ = decltype(bucketKeys_)();
  hasBucket_ = decltype(hasBucket_)();
  lemmaIndex_.clear();
  pairIndex_.clear();
}

Status WordForms::consumeChunk(uint8_t* chunk, size_t size, size_t* carry) {
  size_t count = 0;
  const uint16_t* units = decoder_.decode(chunk, size, carry, &count);
  parseUnits(units, count);
  return Status::Ok();
}

void WordForms::parseUnits(const uint16_t* units, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint16_t u = units[i];
    switch (state_) {
      case LineState::kBetweenLines:
        // A line starts at its first unit above the blank, whatever that unit is.
        if (u > kBlank) {
          lemmaBuffer_[0] = u;
          lemmaBuffer_[1] = 0;
          lemmaLength_ = 1;
          state_ = LineState::kInLemma;
        }
        break;
      case LineState::kInLemma:
        if (u == kLineFeed || u == kCarriageReturn) {
          state_ = LineState::kBetweenLines;  // a line without a colon holds no forms
        } else if (u == kColon) {
          formLength_ = 0;
          formBuffer_[0] = 0;
          state_ = LineState::kInForms;
        } else if (u > kBlank && lemmaLength_ < kMaxText) {
          lemmaBuffer_[lemmaLength_++] = u;
          lemmaBuffer_[lemmaLength_] = 0;
        }
        break;
      case LineState::kInForms:
        if (u == kLineFeed || u == kCarriageReturn) {
          if (formLength_ > 0) storeForm();
          state_ = LineState::kBetweenLines;
        } else if (u == kComma) {
          if (formLength_ > 0) storeForm();
          formLength_ = 0;
          formBuffer_[0] = 0;
        } else if (u > kBlank && formLength_ < kMaxText) {
          formBuffer_[formLength_++] = u;
          formBuffer_[formLength_] = 0;
        }
        break;
    }
  }
}

void WordForms::storeForm() {
  ++offered_;
  lowerInPlace(lemmaBuffer_);
  lowerInPlace(formBuffer_);
  const std::span<const uint16_t> lemma(lemmaBuffer_, lemmaLength_);
  const std::span<const uint16_t> form(formBuffer_, formLength_);

  // A form that equals its lemma or merely extends it is found under the lemma already.
  if (formLength_ >= lemmaLength_ && std::equal(lemma.begin(), lemma.end(), form.begin())) return;

  // A new lemma has no records yet, so its first form cannot be a duplicate.
  const uint64_t lemmaHash = hashUnits(lemma);
  uint32_t lemmaId = findLemma(lemma, lemmaHash);
  const bool newLemma = lemmaId == kNoRecord;
  if (newLemma) lemmaId = addLemma(lemma, lemmaHash);
  const uint64_t pairHash = hashUnits(form, lemmaId + uint64_t{1});
  if (!newLemma) {
    const uint32_t duplicate = pairIndex_.find(pairHash, [&](uint32_t record) {
      return records_[record].lemma == lemmaId && sameUnits(this->form(record), form);
    });
    if (duplicate != IdHashIndex::kNone) return;
  }

  const uint32_t id = static_cast<uint32_t>(records_.size());
  records_.push_back(Record{addText(form), lemmaId, kNoRecord});
  pairIndex_.insert(pairHash, id);

  Lemma& owner = lemmas_[lemmaId];
  if (owner.first == kNoRecord) {
    owner.first = id;
  } else {
    records_[owner.last].nextOfLemma = id;
  }
  owner.last = id;

  if (hasBucket_.empty()) hasBucket_.assign(0x10000, false);
  if (!hasBucket_[lemma[0]]) {
    hasBucket_[lemma[0]] = true;
    bucketKeys_.push_back(lemma[0]);
  }
  ++stored_;
}

uint32_t WordForms::firstOfLemma(std::span<const uint16_t> lemma) const {
  const uint32_t id = findLemma(lemma, hashUnits(lemma));
  return id == kNoRecord ? kNoRecord : lemmas_[id].first;
}

uint32_t WordForms::findLemma(std::span<const uint16_t> lemma, uint64_t hash) const {
  const uint32_t id = lemmaIndex_.find(
      hash, [&](uint32_t candidate) { return sameUnits(text(lemmas_[candidate].text), lemma); });
  return id == IdHashIndex::kNone ? kNoRecord : id;
}

uint32_t WordForms::addLemma(std::span<const uint16_t> lemma, uint64_t hash) {
  const uint32_t id = static_cast<uint32_t>(lemmas_.size());
  lemmas_.push_back(Lemma{addText(lemma), kNoRecord, kNoRecord});
  lemmaIndex_.insert(hash, id);
  return id;
}

uint64_t WordForms::addText(std::span<const uint16_t> units) {
  if (pageFill_ + 1 + units.size() > pageUnits_) {
    pageUnits_ = pageUnits_ == 0 ? kFirstPageUnits : std::min(kPageUnits, 2 * pageUnits_);
    pages_.push_back(std::make_unique_for_overwrite<uint16_t[]>(pageUnits_));
    pageFill_ = 0;
  }
  const uint64_t offset = (uint64_t{pages_.size() - 1} << kPageBits) | pageFill_;
  uint16_t* text = pages_.back().get() + pageFill_;
  text[0] = static_cast<uint16_t>(units.size());
  std::copy(units.begin(), units.end(), text + 1);
  pageFill_ += 1 + units.size();
  return offset;
}

}  // namespace zorvak
