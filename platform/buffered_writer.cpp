#include "platform/buffered_writer.h"

#include <algorithm>

namespace zorvak {
namespace {

// The buffer's first size, when the capacity is larger.
constexpr size_t kFirstAllocation = size_t{64} << 10;

}  // namespace

BufferedWriter::BufferedWriter(File& file, size_t capacity, const char* errorMessage)
    : file_(file),
      errorMessage_(errorMessage),
      allocated_(std::min(capacity, kFirstAllocation)),
      capacity_(capacity) {
  buffer_.reset(new uint8_t[allocated_]);
}

void BufferedWriter::grow(size_t count) {
  const size_t size = std::min(capacity_, std::max(count, 2 * allocated_));
  if (size <= allocated_) return;
  std::unique_ptr<uint8_t[]> larger(new uint8_t[size]);
  std::memcpy(larger.get(), buffer_.get(), buffered_);
  buffer_ = std::move(larger);
  allocated_ = size;
}

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
  if (allocated_ - buffered_ < count) {
    if (capacity_ - buffered_ < count) {
      (void)flush();
      if (capacity_ < count) capacity_ = count;
    }
    grow(buffered_ + count);
  }
  return buffer_.get() + buffered_;
}

Status BufferedWriter::flush() {
  if (buffered_ > 0) write(buffer_.get(), buffered_);
  buffered_ = 0;
  return status_;
}

Status BufferedWriter::appendSlow(const void* data, size_t size) {
  if (size > capacity_ - buffered_) {
    (void)flush();
    if (size >= capacity_) {
      // Too large to be worth copying: straight to the file.
      write(data, size);
      appended_ += size;
      return status_;
    }
  }
  grow(buffered_ + size);
  std::memcpy(buffer_.get() + buffered_, data, size);
  buffered_ += size;
  appended_ += size;
  return status_;
}

}  // namespace zorvak
