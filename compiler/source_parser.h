#ifndef ZORVAK_COMPILER_SOURCE_PARSER_H_
#define ZORVAK_COMPILER_SOURCE_PARSER_H_

#include <cstddef>
#include <cstdint>

#include "compiler/spool_writer.h"
#include "format/headword_key.h"
#include "platform/status.h"

namespace zorvak {

// Told about every entry of the source dictionary once its line feed has been parsed.
class EntryListener {
 public:
  virtual ~EntryListener() = default;
  // `headword` holds the entry's first `length` (at most 1023) headword units, zero-terminated;
  // `position` is the spool position of its entry mark.
  virtual Status entryEnded(const uint16_t* headword, size_t length, uint64_t position) = 0;
};

// Splits the decoded source dictionary into entries and writes them into the text spool. An
// entry starts at the first unit above the blank; its headword runs to two blanks in a row
// (spaces or tabs, a single one stands inside the headword as one blank; line ends and other
// controls are skipped there); its article runs to the line feed, keeping blanks and tabs and
// dropping other controls. The state carries over from one call to the next, so entries may
// span chunks.
class SourceParser {
 public:
  SourceParser(SpoolWriter& spool, EntryListener& listener);

  // Runs the parser over `count` units.
  Status parseUnits(const uint16_t* units, size_t count);

  // True while an entry has been started but its line feed not yet seen.
  bool inEntry() const { return state_ != State::kIdle; }
  // The spool position of the entry being parsed, or of the last one.
  uint64_t entryPosition() const { return entryPosition_; }

 private:
  enum class State { kIdle, kHeadword, kHeadwordBlank, kArticle };

  void append(uint16_t unit) {
    if (length_ < kMaxTextUnits) {
      headword_[length_++] = unit;
      headword_[length_] = 0;
    }
  }

  SpoolWriter& spool_;
  EntryListener& listener_;
  State state_ = State::kIdle;
  uint16_t headword_[kTextBufferUnits] = {};
  size_t length_ = 0;
  uint64_t entryPosition_ = kNone;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_SOURCE_PARSER_H_
