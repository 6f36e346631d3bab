#ifndef ZORVAK_READER_STREAMED_SECTION_H_
#define ZORVAK_READER_STREAMED_SECTION_H_

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>

#include "platform/status.h"
#include "reader/input_reader.h"
#include "reader/zlib_source.h"

namespace zorvak {

// A group section too large to inflate in one call, inflated piece by piece on a worker thread
// for a walk on another: the worker runs the ZlibSource steps the walk would run and hands it
// each step's output and outcome through a ring of kDepth pieces, so what the walk gets is
// exactly what inflating the section itself gives, and the memory held is kDepth pieces
// whatever the section's size.
//
// The worker never gets more than kDepth pieces ahead of the walk, and a walk that lets go of
// the section early first waits until the worker is that far ahead (or done), so the reads the
// worker makes depend on where the walk stops, never on timing.
class StreamedSection {
 public:
  static constexpr size_t kDepth = 16;

  // What one inflate step gave.
  struct Piece {
    const uint8_t* bytes = nullptr;  // kOutputSize bytes of room; `produced` of them written
    size_t produced = 0;
    ZlibSource::Outcome outcome = ZlibSource::Outcome::kMore;
    Status status;               // the step's read failed: nothing else in the piece holds
    uint64_t endOffset = 0;      // the source's endOffset() after the step
    uint64_t inflatedBytes = 0;  // and its inflatedBytes()
  };

  StreamedSection() = default;
  StreamedSection(const StreamedSection&) = delete;
  StreamedSection& operator=(const StreamedSection&) = delete;

  // The worker's part: inflates the stream at file offset `offset` of `input` until it ends,
  // breaks, a read fails, or the walk lets go of it.
  void produce(InputReader& input, uint64_t offset);

  // The walk's part. Waits for the next piece, valid until the next call of next() or stop();
  // an exception that ended the worker's part is thrown here.
  const Piece& next();
  // The walk takes no more pieces: waits until the worker is kDepth pieces past the ones taken,
  // or done, and ends its part. Idempotent.
  void stop();
  // Ends the worker's part at once, wherever it is (when the whole run ends).
  void cancel();

 private:
  std::unique_ptr<uint8_t[]> room_;  // kDepth pieces of kOutputSize bytes
  Piece pieces_[kDepth];
  Piece last_;  // what next() gives once the worker's last piece has been taken

  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t produced_ = 0;  // pieces the worker has filled
  uint64_t taken_ = 0;     // pieces next() has handed out
  uint64_t released_ = 0;  // pieces the walk is done with (all taken but the one it holds)
  bool finished_ = false;  // the worker has filled its last piece (or failed)
  bool stopped_ = false;   // the worker is to fill no more
  std::exception_ptr failure_;
};

}  // namespace zorvak

#endif  // ZORVAK_READER_STREAMED_SECTION_H_
