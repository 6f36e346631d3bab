#include "compiler/read_ahead.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "compiler/chunk_decoder.h"

namespace zorvak {
namespace {

// Decoded chunks the reading thread may be ahead by.
constexpr size_t kSlots = 8;

// The chunks between the reading thread and the parsing one: a ring of slots, each with a
// decoder of its own so that its units stay where they were decoded until they are parsed.
class ChunkRing {
 public:
  explicit ChunkRing(int32_t codePage) {
    for (size_t i = 0; i < kSlots; ++i)
      decoders_.emplace_back(codePage);
  }

  struct Slot {
    const uint16_t* units = nullptr;
    size_t count = 0;
    uint64_t total = 0;  // bytes handed over up to the end of this chunk
    bool last = false;   // the reading ended here: `status` says how
    Status status;
    std::exception_ptr failure;
  };

  // The reading side: decodes a chunk into the next free slot, waiting while all are full.
  // False once the parsing side has stopped.
  bool decode(const uint8_t* chunk, size_t size, size_t* carry) {
    std::unique_lock<std::mutex> lock(mutex_);
    space_.wait(lock, [&] { return stopped_ || filled_ - taken_ < kSlots; });
    if (stopped_) return false;
    lock.unlock();
    Slot& slot = slots_[filled_ % kSlots];
    slot = Slot{};
    slot.units = decoders_[filled_ % kSlots].decode(chunk, size, carry, &slot.count);
    return true;
  }
  // Hands the decoded chunk over with the byte total after it.
  void publish(uint64_t total) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slots_[filled_ % kSlots].total = total;
      ++filled_;
    }
    ready_.notify_one();
  }
  // The end of the reading, with its status or the exception that ended it.
  void finish(uint64_t total, Status status, std::exception_ptr failure) {
    std::unique_lock<std::mutex> lock(mutex_);
    space_.wait(lock, [&] { return stopped_ || filled_ - taken_ < kSlots; });
    if (stopped_) return;
    Slot& slot = slots_[filled_ % kSlots];
    slot = Slot{};
    slot.total = total;
    slot.last = true;
    slot.status = std::move(status);
    slot.failure = failure;
    ++filled_;
    lock.unlock();
    ready_.notify_one();
  }

  // The parsing side: the oldest slot handed over, waiting for it.
  Slot& next() {
    std::unique_lock<std::mutex> lock(mutex_);
    ready_.wait(lock, [&] { return filled_ > taken_; });
    return slots_[taken_ % kSlots];
  }
  // Frees the slot next() gave.
  void release() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++taken_;
    }
    space_.notify_one();
  }
  // The parsing side stops taking chunks; the reading side stops at its next one.
  void stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stopped_ = true;
    }
    space_.notify_all();
  }

 private:
  std::vector<ChunkDecoder> decoders_;
  Slot slots_[kSlots];
  std::mutex mutex_;
  std::condition_variable space_;
  std::condition_variable ready_;
  uint64_t filled_ = 0;
  uint64_t taken_ = 0;
  bool stopped_ = false;
};

// Counts the bytes read for the ring: each chunk is handed over once it is read and decoded.
class RingProgress : public ReadProgress {
 public:
  explicit RingProgress(ChunkRing& ring) : ring_(ring) {}
  void chunkRead(uint64_t total) override { ring_.publish(total); }
  void readFinished(uint64_t) override {}

 private:
  ChunkRing& ring_;
};

// The reading thread is stopped and joined however the parsing ends.
class ReadingThread {
 public:
  ReadingThread(ChunkRing& ring, std::thread thread) : ring_(ring), thread_(std::move(thread)) {}
  ~ReadingThread() {
    ring_.stop();
    thread_.join();
  }

 private:
  ChunkRing& ring_;
  std::thread thread_;
};

// A parse failure stops the reading, which then hands over nothing more.
constexpr const char* kStopped = "stopped";

}  // namespace

Status readDecodedAhead(File& file, const ReadPhase& phase, const UnitConsumer& parse,
                        ReadProgress& progress, uint64_t* total) {
  ChunkRing ring(phase.codePage);
  ReadPhase reading = phase;
  reading.consume = [&](uint8_t* chunk, size_t size, size_t* carry) {
    return ring.decode(chunk, size, carry) ? Status::Ok() : Status::InputOutput(kStopped);
  };
  auto read = [&] {
    RingProgress handOver(ring);
    uint64_t bytes = 0;
    Status status;
    std::exception_ptr failure;
    try {
      status = readChunks(file, reading, handOver, &bytes);
    } catch (...) {
      failure = std::current_exception();
    }
    ring.finish(bytes, std::move(status), failure);
  };

  std::thread thread;
  try {
    thread = std::thread(read);
  } catch (const std::system_error&) {
    // No room for another thread: this one reads, decodes and parses.
    ChunkDecoder decoder(phase.codePage);
    ReadPhase inline_ = phase;
    inline_.consume = [&](uint8_t* chunk, size_t size, size_t* carry) {
      size_t count = 0;
      const uint16_t* units = decoder.decode(chunk, size, carry, &count);
      return parse(units, count);
    };
    return readChunks(file, inline_, progress, total);
  }
  ReadingThread reader(ring, std::move(thread));
  *total = 0;
  for (;;) {
    ChunkRing::Slot& slot = ring.next();
    if (slot.last) {
      if (slot.failure != nullptr) std::rethrow_exception(slot.failure);
      if (!slot.status.ok()) return slot.status;
      *total = slot.total;
      progress.readFinished(slot.total);
      return Status::Ok();
    }
    ZORVAK_RETURN_IF_ERROR(parse(slot.units, slot.count));
    *total = slot.total;
    progress.chunkRead(slot.total);
    ring.release();
  }
}

}  // namespace zorvak
