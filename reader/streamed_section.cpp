#include "reader/streamed_section.h"

#include <algorithm>
#include <utility>

namespace zorvak {

void StreamedSection::makeHead(Heads& heads, std::unique_lock<std::mutex>& lock) {
  // A head for an entry the walk is about to reach would come too late: the walk makes it.
  while (!named_.empty() && named_.front().entry <= walkAt_ + kLead)
    named_.pop_front();
  if (named_.empty()) return;
  const Named named = named_.front();
  named_.pop_front();
  making_ = true;
  makingEntry_ = named.entry;
  lock.unlock();
  Head head{named, InflatedBlock(), Status::Ok()};
  bool made = false;
  head.status = heads.make(named.key, &head.block, &made);
  lock.lock();
  making_ = false;
  if (!head.status.ok()) {
    // The walk gets the failure when it comes to the entry; nothing after it is made.
    headFailed_ = true;
    named_.clear();
    made_.push_back(std::move(head));
  } else if (made) {
    madeBytes_ += head.block.footprint();
    made_.push_back(std::move(head));
  }
  if (walkWaits_) changed_.notify_all();
}

void StreamedSection::produce(InputReader& input, uint64_t offset, Heads* heads) {
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
    std::vector<Named> named;
    bool piecesDone = false;
    for (;;) {
      size_t slot = 0;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        const auto canPiece = [&] { return !piecesDone && produced_ < released_ + kDepth; };
        const auto canHead = [&] { return heads != nullptr && canMakeHead(); };
        if (piecesDone && (heads == nullptr || named_.empty() || headFailed_)) return;
        workerWaits_ = true;
        changed_.wait(lock, [&] { return stopped_ || canPiece() || canHead(); });
        workerWaits_ = false;
        if (stopped_) {
          finished_ = true;
          return;
        }
        // Heads first, unless the walk waits for a piece or the pieces ahead run low.
        if (canHead() && !(canPiece() && (wantsPiece_ || produced_ < released_ + kDepth / 2))) {
          makeHead(*heads, lock);
          continue;
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
      // The blocks its entries name are known before the walk may visit them.
      named.clear();
      uint64_t scanned = 0;
      if (heads != nullptr && piece.status.ok() && piece.outcome != ZlibSource::Outcome::kBroken)
        scanned = heads->scan(room, piece.produced, &named);
      {
        std::lock_guard<std::mutex> lock(mutex_);
        ++produced_;
        scanned_ = std::max(scanned_, scanned);
        finished_ = last;
        if (!headFailed_) named_.insert(named_.end(), named.begin(), named.end());
        if (walkWaits_) changed_.notify_all();
      }
      piecesDone = last;
    }
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      failure_ = std::current_exception();
      finished_ = true;
      making_ = false;
      headFailed_ = true;
      named_.clear();
    }
    changed_.notify_all();
  }
}

const StreamedSection::Piece& StreamedSection::next() {
  std::unique_lock<std::mutex> lock(mutex_);
  released_ = taken_;
  if (workerWaits_) changed_.notify_all();
  walkWaits_ = wantsPiece_ = true;
  changed_.wait(lock, [&] { return produced_ > taken_ || finished_; });
  walkWaits_ = wantsPiece_ = false;
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

Status StreamedSection::takeHeads(uint64_t entry, uint64_t ahead,
                                  std::unordered_map<uint64_t, InflatedBlock>* into,
                                  std::deque<Named>* lent, uint64_t* next) {
  std::unique_lock<std::mutex> lock(mutex_);
  walkAt_ = entry;
  for (;;) {
    // The worker has not begun these: the walk inflates them itself rather than wait.
    while (!named_.empty() && named_.front().entry <= entry)
      named_.pop_front();
    bool took = false;
    while (!made_.empty() && made_.front().named.entry <= ahead) {
      Head& head = made_.front();
      if (!head.status.ok()) {
        if (head.named.entry > entry) break;
        return head.status;
      }
      madeBytes_ -= head.block.footprint();
      lent->push_back(head.named);
      into->insert_or_assign(head.named.key, std::move(head.block));
      made_.pop_front();
      took = true;
    }
    if (took && workerWaits_) changed_.notify_all();
    if (failure_ != nullptr) std::rethrow_exception(failure_);
    if (!(making_ && makingEntry_ <= entry)) {
      // Heads come in the order of their entries; entries not yet scanned name blocks later.
      uint64_t first = finished_ || headFailed_ ? kNoEntry : scanned_;
      if (!made_.empty()) first = std::min(first, made_.front().named.entry);
      if (making_) first = std::min(first, makingEntry_);
      if (!named_.empty()) first = std::min(first, named_.front().entry);
      *next = first;
      return Status::Ok();
    }
    walkWaits_ = true;
    changed_.wait(lock);
    walkWaits_ = false;
  }
}

void StreamedSection::stop() {
  std::unique_lock<std::mutex> lock(mutex_);
  released_ = taken_;
  changed_.notify_all();
  walkWaits_ = true;
  changed_.wait(lock, [&] { return finished_ || stopped_ || produced_ >= released_ + kDepth; });
  walkWaits_ = false;
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
