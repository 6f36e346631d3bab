#include "reader/block_window.h"

#include <algorithm>

namespace zorvak {

Status BlockWindow::read(InputReader& input, uint64_t key, size_t bytes) {
  bytes_.resize(static_cast<size_t>(std::min<uint64_t>(bytes, input.size() - key)));
  size_t got = 0;
  const Status status = input.readAt(key, bytes_.data(), bytes_.size(), &got);
  bytes_.resize(status.ok() ? got : 0);
  at_ = key;
  return status;
}

bool BlockWindow::tryInflate(uint64_t key, WholeStream& stream, size_t limit,
                             size_t* consumed) const {
  if (key < at_ || key - at_ >= bytes_.size()) return false;
  const size_t skip = static_cast<size_t>(key - at_);
  return stream.inflate(bytes_.data() + skip, bytes_.size() - skip, limit, consumed);
}

Status BlockWindow::inflate(InputReader& input, uint64_t key, WholeStream& stream, size_t limit,
                            bool* inflated) {
  *inflated = false;
  const uint64_t size = input.size();
  if (key >= size) return Status::Ok();
  if (key < at_ || key - at_ >= bytes_.size()) {
    ZORVAK_RETURN_IF_ERROR(read(input, key, key == next_ ? kWholeBytes : kShortBytes));
  }
  size_t consumed = 0;
  bool done = tryInflate(key, stream, limit, &consumed);
  if (!done && at_ + bytes_.size() < std::min<uint64_t>(size, key + kWholeBytes)) {
    // The window may end inside the stream.
    ZORVAK_RETURN_IF_ERROR(read(input, key, kWholeBytes));
    done = tryInflate(key, stream, limit, &consumed);
  }
  if (done) next_ = key + consumed;
  *inflated = done;
  return Status::Ok();
}

}  // namespace zorvak
