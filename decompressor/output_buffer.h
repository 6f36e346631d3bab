#ifndef ZORVAK_DECOMPRESSOR_OUTPUT_BUFFER_H_
#define ZORVAK_DECOMPRESSOR_OUTPUT_BUFFER_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "driver/platform/file.h"
#include "driver/platform/status.h"

namespace zorvak {

// Gathers the decompressed text and writes it to the output file in large pieces. The first
// failed write is kept: everything after it is dropped and status() reports it.
class OutputBuffer {
 public:
  static constexpr size_t kCapacity = size_t{1} << 20;

  explicit OutputBuffer(File& file);

  // Room for `count` more bytes, written out first when the buffer is too full; grows for a
  // single piece of text longer than the whole buffer. Follow with commit().
  uint8_t* space(size_t count);
  // Takes `count` bytes of the space handed out by the last space() call.
  void commit(size_t count) { used_ += count; }
  void append(const void* bytes, size_t count);

  // Writes out what is gathered.
  Status flush();
  Status status() const { return status_; }

 private:
  File& file_;
  std::vector<uint8_t> buffer_;
  size_t used_ = 0;
  Status status_;
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_OUTPUT_BUFFER_H_
