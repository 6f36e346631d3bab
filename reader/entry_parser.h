#ifndef ZORVAK_DECOMPRESSOR_ENTRY_PARSER_H_
#define ZORVAK_DECOMPRESSOR_ENTRY_PARSER_H_

#include <cstddef>
#include <cstdint>

#include "format/layout.h"

namespace zorvak {

// Rebuilds entries from the inflated bytes of a group section: the 20-byte entry header, then
// the headword and the folded-headword slot of L units each. The bytes are taken in pairs, low
// byte first, and a pair may be split between two calls. An entry whose headword length is 0
// or above 1023 is never completed: the parser is broken from there on and takes every byte
// without completing anything, as nothing after it can be told apart.
class EntryParser {
 public:
  // Back to the start of an entry, with no byte pending; done at the start of every section.
  void reset();

  // Takes bytes until an entry is complete or `count` bytes are used up, and returns the number
  // taken. *complete tells whether an entry was completed with the last byte taken; its fields
  // are then readable until the next call.
  size_t take(const uint8_t* bytes, size_t count, bool* complete);

  // True between entries: no entry begun and no byte pending.
  bool idle() const { return step_ == 0 && !pending_ && !broken_; }
  // True once an entry's headword length has been read as 0 or above 1023.
  bool broken() const { return broken_; }

  const EntryHeader& entry() const { return entry_; }
  // The headword, zero-terminated; entry().headwordLength units long once complete.
  const uint16_t* headword() const { return headword_; }
  // The folded-headword slot up to its zero unit, zero-terminated: the folded headword.
  const uint16_t* folded() const { return folded_; }

 private:
  // At the start of an entry: takes the entry whole when `count` bytes hold it, as unit by unit
  // would; returns the bytes taken, 0 when the entry goes on past them.
  size_t takeWhole(const uint8_t* bytes, size_t count, bool* complete);
  // Stores the text units of the current field that are whole in `bytes`, all but the field's
  // last; returns the bytes taken.
  size_t takeText(const uint8_t* bytes, size_t count);
  // Handles one unit in the current step; true when it completed an entry.
  bool takeUnit(uint16_t unit);

  bool pending_ = false;  // the low byte of a unit has been taken
  bool broken_ = false;
  uint8_t low_ = 0;
  int step_ = 0;
  uint32_t fieldUnits_ = 0;  // units of the current text field stored
  EntryHeader entry_;
  uint16_t headword_[kMaxTextUnits + 1] = {};
  uint16_t folded_[kMaxTextUnits + 1] = {};
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_ENTRY_PARSER_H_
