#include "compiler/buffered_writer.h"

namespace zorvak {

BufferedWriter::BufferedWriter(File& file, size_t capacity, const char* errorMessage)
    : file_(file),
      errorMessage_(errorMessage),
      buffer_(std::make_unique<uint8_t[]>(capacity)),
      capacity_(capacity) {}

Status BufferedWriter::flush() {
  if (fill_ == 0) return Status::Ok();
  if (!file_.write(buffer_.get(), fill_)) return Status::Error(errorMessage_);
  fill_ = 0;
  return Status::Ok();
}

Status BufferedWriter::appendSlow(const void* data, size_t size) {
  ZORVAK_RETURN_IF_ERROR(flush());
  if (size >= capacity_) {
    // Too large to be worth copying: straight to the file.
    if (!file_.write(data, size)) return Status::Error(errorMessage_);
  } else {
    std::memcpy(buffer_.get(), data, size);
    fill_ = size;
  }
  appended_ += size;
  return Status::Ok();
}

}  // namespace zorvak
