#include "platform/buffered_writer.h"

namespace zorvak {

BufferedWriter::BufferedWriter(File& file, size_t capacity, const char* errorMessage)
    : file_(file), errorMessage_(errorMessage), buffer_(capacity) {}

void BufferedWriter::write(const void* data, size_t size) {
  if (status_.ok() && !file_.write(data, size)) status_ = Status::InputOutput(errorMessage_);
}

uint8_t* BufferedWriter::space(size_t count) {
  if (buffer_.size() - buffered_ < count) {
    (void)flush();
    if (buffer_.size() < count) buffer_.resize(count);
  }
  return buffer_.data() + buffered_;
}

Status BufferedWriter::flush() {
  if (buffered_ > 0) write(buffer_.data(), buffered_);
  buffered_ = 0;
  return status_;
}

Status BufferedWriter::appendSlow(const void* data, size_t size) {
  (void)flush();
  if (size >= buffer_.size()) {
    // Too large to be worth copying: straight to the file.
    write(data, size);
  } else {
    std::memcpy(buffer_.data(), data, size);
    buffered_ = size;
  }
  appended_ += size;
  return status_;
}

}  // namespace zorvak
