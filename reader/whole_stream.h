#ifndef ZORVAK_READER_WHOLE_STREAM_H_
#define ZORVAK_READER_WHOLE_STREAM_H_

#include <cstddef>
#include <cstdint>
#include <memory>

struct libdeflate_decompressor;

namespace zorvak {

// Inflates a zlib stream of the compiled dictionary in one call, when its compressed bytes are
// in memory: a few times faster than inflating it piece by piece. It takes only a sound stream
// whose text fits a limit; for anything else (a broken stream, one that runs past the bytes
// given, a text above the limit) it says no, and the caller inflates the stream piece by piece
// with ZlibSource, which tells how far it goes. What a sound stream yields is the same either
// way.
class WholeStream {
 public:
  WholeStream();
  ~WholeStream();
  WholeStream(const WholeStream&) = delete;
  WholeStream& operator=(const WholeStream&) = delete;

  // Inflates the stream at the start of the `size` bytes at `in`; true when it is complete
  // there and yields at most `limit` bytes, which are then text() (valid until the next call),
  // and *consumed is the stream's compressed size.
  bool inflate(const uint8_t* in, size_t size, size_t limit, size_t* consumed);

  const uint8_t* text() const { return text_.get(); }
  size_t textSize() const { return textSize_; }

 private:
  libdeflate_decompressor* decompressor_;
  std::unique_ptr<uint8_t[]> text_;
  size_t capacity_ = 0;
  size_t textSize_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_READER_WHOLE_STREAM_H_
