#include "compiler/alternatives.h"

#include <algorithm>

#include "text/char_table.h"

namespace zorvak {
namespace {

constexpr uint16_t kBlank = 0x0020;

}  // namespace

AlternativeProducer::AlternativeProducer(int32_t allWords, const WordForms& wordForms)
    : allWords_(allWords), wordForms_(wordForms) {}

Status AlternativeProducer::produce(const uint16_t* target, size_t targetLength,
                                    AlternativeSink& sink) {
  const std::span<const uint16_t> headword(target, std::min(targetLength, WordForms::kMaxText));
  ZORVAK_RETURN_IF_ERROR(alternativesFromHeadwordWords(headword, sink));
  return alternativesFromWordForms(headword, sink);
}

Status AlternativeProducer::alternativesFromHeadwordWords(std::span<const uint16_t> target,
                                                          AlternativeSink& sink) {
  if (target.empty()) return Status::Ok();
  if (allWords_ == 0 && isWordChar(target[0])) return Status::Ok();
  // A word starts at a word character and takes every unit after it up to and including the
  // blank that ends it; so it is always one stretch of the target.
  size_t start = 0;
  size_t length = 0;
  for (size_t i = 0; i < target.size(); ++i) {
    const uint16_t u = target[i];
    if (length == 0) {
      if (!isWordChar(u)) continue;
      start = i;
    }
    ++length;
    if (u == kBlank) {
      ZORVAK_RETURN_IF_ERROR(addAlternativeHeadword(target.subspan(start, length), target, sink));
      length = 0;
      if (allWords_ == 0) return Status::Ok();
    }
  }
  if (length > 0) {
    ZORVAK_RETURN_IF_ERROR(addAlternativeHeadword(target.subspan(start, length), target, sink));
  }
  return Status::Ok();
}

Status AlternativeProducer::alternativesFromWordForms(std::span<const uint16_t> target,
                                                      AlternativeSink& sink) {
  if (wordForms_.empty() || target.empty()) return Status::Ok();
  std::copy(target.begin(), target.end(), lowered_);
  lowered_[target.size()] = 0;
  lowerInPlace(lowered_);
  for (uint32_t record = wordForms_.firstOfLemma({lowered_, target.size()});
       record != WordForms::kNoRecord; record = wordForms_.nextOfLemma(record)) {
    ZORVAK_RETURN_IF_ERROR(addAlternativeHeadword(wordForms_.form(record), target, sink));
  }
  return Status::Ok();
}

Status AlternativeProducer::addAlternativeHeadword(std::span<const uint16_t> word,
                                                   std::span<const uint16_t> target,
                                                   AlternativeSink& sink) {
  // A word that starts its own target (case-sensitively, a blank ending the word included)
  // would only repeat the target's own entry.
  if (word.size() <= target.size() && std::equal(word.begin(), word.end(), target.begin())) {
    return Status::Ok();
  }
  size_t length = word.size();
  while (length > 0 && word[length - 1] == kBlank)
    --length;
  if (length == 0) return Status::Ok();
  return sink.addAlternative(word.data(), length, target.data(), target.size());
}

}  // namespace zorvak
