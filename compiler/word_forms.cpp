#include "compiler/word_forms.h"

namespace zorvak {

WordForms::WordForms(int32_t codePage) : codePage_(codePage) {}

void WordForms::reset() {
  offered_ = 0;
  stored_ = 0;
}

Status WordForms::consumeChunk(uint8_t*, size_t, size_t* carry) {
  *carry = 0;
  return Status::Ok();
}

}  // namespace zorvak
