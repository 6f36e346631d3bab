#ifndef ZORVAK_COMPILER_ALTERNATIVES_H_
#define ZORVAK_COMPILER_ALTERNATIVES_H_

#include <cstddef>
#include <cstdint>
#include <span>

#include "compiler/word_forms.h"
#include "platform/status.h"

namespace zorvak {

// Receives each alternative headword that survives the producer's checks: the word (no
// trailing blank, 1 to 1023 units) and the target headword it leads to. The compiler appends
// the record to the alternative headwords file and registers the word's key without a position.
class AlternativeSink {
 public:
  virtual ~AlternativeSink() = default;
  virtual Status addAlternative(const uint16_t* word, size_t wordLength, const uint16_t* target,
                                size_t targetLength) = 0;
};

// Produces the alternative headwords of each source entry: first from the words of its headword
// (all of them when the all-words flag is set, else only the first word of a headword that does
// not begin with a letter or digit), then from the word forms of its lower-cased headword.
class AlternativeProducer {
 public:
  AlternativeProducer(int32_t allWords, const WordForms& wordForms);

  // Runs both producers for the headword `target` (at most 1023 units, as the source parser
  // holds it), in that order, handing every alternative to `sink`.
  Status produce(const uint16_t* target, size_t targetLength, AlternativeSink& sink);

  // The words of the target: with the all-words flag every word, else only the first word of
  // a target that does not begin with a letter or digit, without the non-word units before it.
  Status alternativesFromHeadwordWords(std::span<const uint16_t> target, AlternativeSink& sink);
  // The forms that the word forms table lists for the lower-cased target, in stored order.
  Status alternativesFromWordForms(std::span<const uint16_t> target, AlternativeSink& sink);
  // Hands `word` to the sink as an alternative of `target`, unless the target begins with it;
  // trailing blanks are not part of the alternative.
  Status addAlternativeHeadword(std::span<const uint16_t> word, std::span<const uint16_t> target,
                                AlternativeSink& sink);

 private:
  int32_t allWords_;
  const WordForms& wordForms_;
  // The lower-cased copy of the target that the word forms are looked up by.
  uint16_t lowered_[WordForms::kMaxText + 1] = {};
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_ALTERNATIVES_H_
