#ifndef ZORVAK_COMPILER_WORD_FORMS_H_
#define ZORVAK_COMPILER_WORD_FORMS_H_

#include <cstddef>
#include <cstdint>

#include "driver/platform/status.h"

namespace zorvak {

// The word forms table: (lemma, form) pairs read from the word forms file, under which a
// lemma's entries are also filed. Filled before the source dictionary is read, read-only after.
class WordForms {
 public:
  explicit WordForms(int32_t codePage);

  // Empties the table and the line parser and zeroes both counters.
  void reset();
  // The word forms chunk entry: decodes one chunk (a zero byte follows its `size` bytes) and
  // runs the line parser over it. May leave an unfinished double-byte lead byte in *carry.
  Status consumeChunk(uint8_t* chunk, size_t size, size_t* carry);

  // Lemma/form pairs handed to the store step, and pairs actually kept.
  uint32_t offered() const { return offered_; }
  uint32_t stored() const { return stored_; }
  bool empty() const { return stored_ == 0; }

 private:
  int32_t codePage_;
  uint32_t offered_ = 0;
  uint32_t stored_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_WORD_FORMS_H_
