#include "compiler/alternatives.h"

namespace zorvak {

AlternativeProducer::AlternativeProducer(int32_t allWords, const WordForms& wordForms)
    : allWords_(allWords), wordForms_(wordForms) {}

Status AlternativeProducer::produce(const uint16_t*, size_t, AlternativeSink&) {
  return Status::Ok();
}

}  // namespace zorvak
