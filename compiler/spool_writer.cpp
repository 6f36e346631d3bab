#include "compiler/spool_writer.h"

namespace zorvak {

SpoolWriter::SpoolWriter(File& file, size_t capacity)
    : writer_(file, capacity * 2, messages::kWriteSpool) {}

Status SpoolWriter::flush() {
  if (blankHeld_) {
    blankHeld_ = false;
    store(kBlank);
  }
  return writer_.flush();
}

}  // namespace zorvak
