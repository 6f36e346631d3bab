#include "reader/streamed_section.h"

namespace zorvak {

void StreamedSection::produce(InputReader& input, uint64_t offset) {
  try {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stopped_) {
        finished_ = true;
        return;
      }
    }
    room_ = std::make_unique<uint8_t[]>(kDepth * ZlibSource::kOutputSize);
    ZlibSource source(input, offset);
    for (;;) {
      size_t slot = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [&] { return stopped_ || produced_ < released_ + kDepth; });
        if (stopped_) {
          finished_ = true;
          return;
        }
        slot = static_cast<size_t>(produced_ % kDepth);
      }
      // The walk does not look at this slot until it is counted as produced.
      Piece& piece = pieces_[slot];
      uint8_t* room = room_.get() + slot * ZlibSource::kOutputSize;
      piece.bytes = room;
      piece.produced = 0;
      piece.outcome = ZlibSource::Outcome::kMore;
      piece.status = source.inflateStep(room, &piece.produced, &piece.outcome);
      piece.endOffset = source.endOffset();
      piece.inflatedBytes = source.inflatedBytes();
      const bool last = !piece.status.ok() || piece.outcome != ZlibSource::Outcome::kMore;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++produced_;
        finished_ = last;
      }
      changed_.notify_all();
      if (last) return;
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = std::current_exception();
      finished_ = true;
    }
    changed_.notify_all();
  }
}

const StreamedSection::Piece& StreamedSection::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  released_ = taken_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return produced_ > taken_ || finished_; });
  if (produced_ > taken_) return pieces_[taken_++ % kDepth];
  if (failure_ != nullptr) std::rethrow_exception(failure_);
  // Past the last piece: the stream stays where it ended, as a source's further steps do.
  if (taken_ > 0) {
    last_ = pieces_[(taken_ - 1) % kDepth];
    last_.produced = 0;
  } else {
    last_.outcome = ZlibSource::Outcome::kBroken;
  }
  return last_;
}

void StreamedSection::stop() {
  std::unique_lock<std::mutex> lock(mutex_);
  released_ = taken_;
  changed_.notify_all();
  changed_.wait(lock, [&] { return finished_ || stopped_ || produced_ >= released_ + kDepth; });
  stopped_ = true;
  changed_.notify_all();
}

void StreamedSection::cancel() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopped_ = true;
  }
  changed_.notify_all();
}

}  // namespace zorvak
