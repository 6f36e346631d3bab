#ifndef ZORVAK_DECOMPRESSOR_ZLIB_SOURCE_H_
#define ZORVAK_DECOMPRESSOR_ZLIB_SOURCE_H_

#include <zlib.h>

#include <cstddef>
#include <cstdint>

#include "platform/status.h"
#include "reader/input_reader.h"

namespace zorvak {

// One zlib stream of the compiled dictionary (an article block or a group section), inflated
// from its first byte. The compressed bytes are read in pieces of 4096 bytes and every inflate
// call gets a fresh output area, so that what a damaged stream yields before it breaks is the
// same however often it is inflated. Reading may run past the end of the stream; inflate stops
// at its end.
//
// Not movable: zlib keeps a pointer back to the stream record.
class ZlibSource {
 public:
  // What an inflate call left.
  enum class Outcome {
    kMore,    // progress; the stream goes on
    kEnd,     // the stream ended with this call
    kBroken,  // an error: the bytes of this call are not to be used, nor anything after them
  };

  static constexpr size_t kPieceSize = 4096;
  static constexpr size_t kOutputSize = 32768;

  ZlibSource(InputReader& input, uint64_t offset);
  ~ZlibSource();
  ZlibSource(const ZlibSource&) = delete;
  ZlibSource& operator=(const ZlibSource&) = delete;

  // One inflate call with Z_SYNC_FLUSH into `out`, which holds kOutputSize bytes. *produced is
  // the number of bytes the call wrote. Once the stream has ended or broken, every further call
  // reports the same outcome and produces nothing. Fails only when a read fails.
  Status inflateStep(uint8_t* out, size_t* produced, Outcome* outcome);

  // The file offset just after the stream's last byte, once it has ended (kEnd): where the
  // next stream of the file begins. Before that, the end of what inflate has taken in.
  uint64_t endOffset() const { return next_ - stream_.avail_in; }
  // Bytes inflated so far.
  uint64_t inflatedBytes() const { return stream_.total_out; }

 private:
  InputReader& input_;
  uint64_t next_;  // file offset of the next piece
  z_stream stream_{};
  bool initialised_ = false;
  Outcome state_ = Outcome::kMore;
  uint8_t piece_[kPieceSize];
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_ZLIB_SOURCE_H_
