#include "platform/buffered_writer.h"

namespace zorvak {

BufferedWriter::BufferedWriter(File& file, size_t capacity, const char* errorMessage)
    : file_(file),
      errorMessage_(errorMessage),
      buffer_(new uint8_t[capacity]),
      capacity_(capacity) {}

void BufferedWriter::write(const void* data, size_t size) {
  if (!status_.ok()) return;
  if (!file_.write(data, size)) {
    status_ = Status::InputOutput(errorMessage_);
    return;
  }
  written_ += size;
  if (writebackEvery_ > 0 && written_ - writebackFrom_ >= writebackEvery_) {
    file_.startWriteback(writebackFrom_, written_ - writebackFrom_);
    writebackFrom_ = written_;
  }
}

uint8_t* BufferedWriter::space(size_t count) {
  if (capacity_ - buffered_ < count) {
    (void)flush();
    if (capacity_ < count) {
      buffer_.reset(new uint8_t[count]);
      capacity_ = count;
    }
  }
  return buffer_.get() + buffered_;
}

Status BufferedWriter::flush() {
  if (buffered_ > 0) write(buffer_.get(), buffered_);
  buffered_ = 0;
  return status_;
}

Status BufferedWriter::appendSlow(const void* data, size_t size) {
  (void)flush();
  if (size >= capacity_) {
    // Too large to be worth copying: straight to the file.
    write(data, size);
  } else {
    std::memcpy(buffer_.get(), data, size);
    buffered_ = size;
  }
  appended_ += size;
  return status_;
}

}  // namespace zorvak
