#include "decompressor/output_buffer.h"

#include <cstring>

namespace zorvak {

OutputBuffer::OutputBuffer(File& file) : file_(file), buffer_(kCapacity) {}

uint8_t* OutputBuffer::space(size_t count) {
  if (buffer_.size() - used_ < count) {
    (void)flush();
    if (buffer_.size() < count) buffer_.resize(count);
  }
  return buffer_.data() + used_;
}

void OutputBuffer::append(const void* bytes, size_t count) {
  std::memcpy(space(count), bytes, count);
  commit(count);
}

Status OutputBuffer::flush() {
  if (used_ > 0 && status_.ok() && !file_.write(buffer_.data(), used_)) {
    status_ = Status::Error("error write out file!");
  }
  used_ = 0;
  return status_;
}

}  // namespace zorvak
