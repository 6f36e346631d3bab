#include "decompressor/article_writer.h"

#include <algorithm>
#include <cstring>

#include "decompressor/line_text.h"
#include "format/layout.h"
#include "text/codepage.h"

namespace zorvak {

void ArticleWriter::begin() {
  begun_ = false;
  alternative_ = false;
  waitingCount_ = 0;
}

Status ArticleWriter::take(const uint8_t* bytes, size_t count) {
  if (count == 0) return output_.status();
  if (!begun_) {
    const size_t unitBytes = codePage_ == kCodePageUtf16 ? 2 : 1;
    if (waitingCount_ + count < unitBytes) {
      waiting_[waitingCount_++] = bytes[0];
      return output_.status();
    }
    const uint8_t first = waitingCount_ > 0 ? waiting_[0] : bytes[0];
    const uint8_t second = unitBytes == 1 ? 0 : waitingCount_ > 0 ? bytes[0] : bytes[1];
    alternative_ = first == kReferenceMark && second == 0;
    begun_ = true;
  }
  // The bytes that wait go in front of this piece, with enough of it to write them; what the
  // piece leaves waits in turn.
  if (waitingCount_ > 0) {
    uint8_t joined[2 * sizeof(waiting_)];
    const size_t moved = std::min(count, sizeof(joined) - waitingCount_);
    std::memcpy(joined, waiting_, waitingCount_);
    std::memcpy(joined + waitingCount_, bytes, moved);
    const size_t total = waitingCount_ + moved;
    const size_t taken = write(joined, total, false);
    if (taken < waitingCount_) {
      // Too few bytes came to tell: all of them wait (only a short piece leaves this).
      waitingCount_ = total - taken;
      std::memmove(waiting_, joined + taken, waitingCount_);
      return output_.status();
    }
    bytes += taken - waitingCount_;
    count -= taken - waitingCount_;
    waitingCount_ = 0;
  }
  const size_t taken = write(bytes, count, false);
  waitingCount_ = count - taken;
  std::memcpy(waiting_, bytes + taken, waitingCount_);
  return output_.status();
}

void ArticleWriter::finish() {
  if (waitingCount_ > 0) write(waiting_, waitingCount_, true);
  waitingCount_ = 0;
}

size_t ArticleWriter::write(const uint8_t* bytes, size_t count, bool last) {
  uint8_t* out = output_.space(count);
  std::memcpy(out, bytes, count);
  size_t taken = count;
  size_t written = count;
  if (codePage_ == kCodePageUtf16) {
    if (!last) taken = written = count - count % 2;
    replaceLineBreakUnits(out, written);
  } else {
    if (codePage_ == kCodePageUtf8) {
      written = joinSurrogatePairs(out, count, out, last ? nullptr : &taken);
    }
    replaceLineBreaks(out, written);
  }
  output_.commit(written);
  return taken;
}

}  // namespace zorvak
