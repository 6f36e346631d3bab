#ifndef ZORVAK_COMPILER_BUFFERED_WRITER_H_
#define ZORVAK_COMPILER_BUFFERED_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "driver/platform/file.h"
#include "driver/platform/status.h"

namespace zorvak {

// Appends bytes to a file through a buffer, so that the file is written in large pieces. Every
// write is checked; a failed one is reported with the message given at construction (for
// example "error write sec file!").
class BufferedWriter {
 public:
  BufferedWriter(File& file, size_t capacity, const char* errorMessage);

  BufferedWriter(const BufferedWriter&) = delete;
  BufferedWriter& operator=(const BufferedWriter&) = delete;

  Status append(const void* data, size_t size) {
    if (size <= capacity_ - fill_) {
      std::memcpy(buffer_.get() + fill_, data, size);
      fill_ += size;
      appended_ += size;
      return Status::Ok();
    }
    return appendSlow(data, size);
  }

  // Writes what the buffer holds to the file.
  Status flush();

  // Bytes appended so far, written out or still in the buffer.
  uint64_t appended() const { return appended_; }

 private:
  Status appendSlow(const void* data, size_t size);

  File& file_;
  const char* errorMessage_;
  std::unique_ptr<uint8_t[]> buffer_;
  size_t capacity_;
  size_t fill_ = 0;
  uint64_t appended_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_BUFFERED_WRITER_H_
