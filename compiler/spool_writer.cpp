#include "compiler/spool_writer.h"

namespace zorvak {

SpoolWriter::SpoolWriter(File& file, size_t capacity)
    : file_(file), buffer_(std::make_unique<uint16_t[]>(capacity)), capacity_(capacity) {}

void SpoolWriter::writeOut() {
  if (status_.ok() && !file_.write(buffer_.get(), fill_ * 2)) {
    status_ = Status::Error("error write tmp file!");
  }
  base_ += fill_;
  fill_ = 0;
}

Status SpoolWriter::flush() {
  if (blankHeld_) {
    blankHeld_ = false;
    store(kBlank);
  }
  if (fill_ > 0) writeOut();
  return status_;
}

}  // namespace zorvak
