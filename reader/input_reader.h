#ifndef ZORVAK_DECOMPRESSOR_INPUT_READER_H_
#define ZORVAK_DECOMPRESSOR_INPUT_READER_H_

#include <cstddef>
#include <cstdint>

#include "platform/file.h"
#include "platform/status.h"

namespace zorvak {

// Positioned reads from the compiled dictionary. Offsets come from the file itself and may be
// anything in a damaged one: every byte past the end of the file reads as the end of the data,
// so that only a real I/O failure makes a read fail.
class InputReader {
 public:
  InputReader(File& file, uint64_t size) : file_(file), size_(size) {}

  // Reads up to `count` bytes at `offset` into `buffer`; *got is the number read, 0 at or past
  // the end of the file. Fails with "error read input file!" when the read itself fails.
  Status readAt(uint64_t offset, uint8_t* buffer, size_t count, size_t* got);

  uint64_t size() const { return size_; }

 private:
  File& file_;
  uint64_t size_;
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_INPUT_READER_H_
