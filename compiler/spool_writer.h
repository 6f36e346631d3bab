#ifndef ZORVAK_COMPILER_SPOOL_WRITER_H_
#define ZORVAK_COMPILER_SPOOL_WRITER_H_

#include <cstddef>
#include <cstdint>

#include "compiler/units.h"
#include "format/coding.h"
#include "format/layout.h"
#include "platform/buffered_writer.h"
#include "platform/file.h"
#include "platform/messages.h"
#include "platform/status.h"

namespace zorvak {

// Writes the text spool: every entry as its entry mark, headword units, article mark and
// article units, 16-bit little-endian, through a buffered writer. It drops blanks right after a
// mark and never stores a blank right before a mark: a blank is held back until the next code shows
// whether it ends an article, so the rule holds across buffer write-outs too.
class SpoolWriter {
 public:
  // Units collected before the buffer is written out.
  static constexpr size_t kDefaultCapacity = 64 * 1024;

  explicit SpoolWriter(File& file, size_t capacity = kDefaultCapacity);

  SpoolWriter(const SpoolWriter&) = delete;
  SpoolWriter& operator=(const SpoolWriter&) = delete;

  // Stores one code and returns its byte offset in the spool, or kNone when the code is a
  // blank that is dropped. For an entry mark that offset is the entry's position. A failed
  // write-out is kept in status().
  uint64_t put(uint16_t code) {
    if (code == kBlank) {
      if (lastCode_ == kEntryMark || lastCode_ == kArticleMark) return kNone;
      if (blankHeld_) store(kBlank);
      blankHeld_ = true;
      lastCode_ = kBlank;
      return writer_.appended();
    }
    if (blankHeld_) {
      blankHeld_ = false;
      // A blank before a mark ends an article or a headword: it is not stored.
      if (code != kEntryMark && code != kArticleMark) store(kBlank);
    }
    const uint64_t position = writer_.appended();
    store(code);
    lastCode_ = code;
    return position;
  }

  // Stores a run of units, each at or above U+0020, as that many put() calls would: once a unit
  // other than a blank has been stored, the run up to its last unit other than a blank goes in
  // as one copy, and only the blanks at its ends meet the blank rules one by one.
  void putText(const uint16_t* units, size_t count);

  // Writes the units still in the buffer (a held blank included).
  Status flush();

  // The last code stored (0 before the first); a dropped blank does not change it.
  uint16_t lastCode() const { return lastCode_; }
  // Units stored so far, written out or still buffered.
  uint64_t unitCount() const { return writer_.appended() / 2 + (blankHeld_ ? 1 : 0); }
  // The first failed write-out, or success.
  Status status() const { return writer_.status(); }

 private:
  void store(uint16_t code) {
    uint8_t bytes[2];
    encodeFixed16(bytes, code);
    (void)writer_.append(bytes, sizeof(bytes));
  }

  BufferedWriter writer_;
  uint16_t lastCode_ = 0;
  bool blankHeld_ = false;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_SPOOL_WRITER_H_
