#include "reader/input_reader.h"

#include "platform/messages.h"

namespace zorvak {

Status InputReader::readAt(uint64_t offset, uint8_t* buffer, size_t count, size_t* got) {
  *got = 0;
  if (offset >= size_) return Status::Ok();
  const uint64_t available = size_ - offset;
  if (count > available) count = static_cast<size_t>(available);
  const int64_t n = file_.readAt(offset, buffer, count);
  if (n < 0) return Status::InputOutput(messages::kReadInput);
  *got = static_cast<size_t>(n);
  return Status::Ok();
}

}  // namespace zorvak
