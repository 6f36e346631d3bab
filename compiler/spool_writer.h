#ifndef ZORVAK_COMPILER_SPOOL_WRITER_H_
#define ZORVAK_COMPILER_SPOOL_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "compiler/units.h"
#include "driver/platform/file.h"
#include "driver/platform/status.h"
#include "format/layout.h"

namespace zorvak {

// Writes the text spool: every entry as its entry mark, headword units, article mark and
// article units, 16-bit little-endian, through a buffer. It drops blanks right after a mark
// and never stores a blank right before a mark: a blank is held back until the next code shows
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
      return (base_ + fill_) * 2;
    }
    if (blankHeld_) {
      blankHeld_ = false;
      // A blank before a mark ends an article or a headword: it is not stored.
      if (code != kEntryMark && code != kArticleMark) store(kBlank);
    }
    const uint64_t position = (base_ + fill_) * 2;
    store(code);
    lastCode_ = code;
    return position;
  }

  // Writes the units still in the buffer (a held blank included).
  Status flush();

  // The last code stored (0 before the first); a dropped blank does not change it.
  uint16_t lastCode() const { return lastCode_; }
  // Units stored so far, written out or still buffered.
  uint64_t unitCount() const { return base_ + fill_ + (blankHeld_ ? 1 : 0); }
  // The first failed write-out, or success.
  Status status() const { return status_; }

 private:
  void store(uint16_t code) {
    buffer_[fill_++] = code;
    if (fill_ == capacity_) writeOut();
  }
  void writeOut();

  File& file_;
  std::unique_ptr<uint16_t[]> buffer_;
  size_t capacity_;
  size_t fill_ = 0;
  uint64_t base_ = 0;
  uint16_t lastCode_ = 0;
  bool blankHeld_ = false;
  Status status_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_SPOOL_WRITER_H_
