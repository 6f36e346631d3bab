#ifndef ZORVAK_COMPILER_DEFLATE_STREAM_H_
#define ZORVAK_COMPILER_DEFLATE_STREAM_H_

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <memory>

#include "format/layout.h"
#include "platform/buffered_writer.h"
#include "platform/status.h"

namespace zorvak {

// One zlib stream at a time (the format's level unless told otherwise, 15-bit window, memory
// level 8), deflated piece by piece into a writer: for an article block or a group section too
// large to be compressed whole. Each is a complete zlib stream of its own, begun with open() and
// ended by the first Z_FINISH call.
class DeflateStream {
 public:
  // Each deflate call gets an output area of this many bytes.
  static constexpr size_t kOutputArea = 65536;

  // `errorMessage` reports a stream that zlib cannot set up or continue. `outputArea` is the
  // output room of each deflate call; `level` zlib's compression level.
  explicit DeflateStream(const char* errorMessage, size_t outputArea = kOutputArea,
                         int level = kDeflateLevel);
  ~DeflateStream();

  DeflateStream(const DeflateStream&) = delete;
  DeflateStream& operator=(const DeflateStream&) = delete;

  // Begins a new stream. The zlib state is set up once and reset for every later stream,
  // which gives the same bytes as setting it up anew.
  Status open();
  bool isOpen() const { return open_; }

  // Deflates `size` bytes with `flush` (Z_NO_FLUSH or Z_FINISH) and appends all the output to
  // `out`. Output that does not fit one output area is taken out by further calls, so a
  // Z_FINISH always ends the stream. Adds the bytes written to *produced; *ended tells whether
  // the stream ended (it is closed then).
  Status deflateInput(const uint8_t* data, size_t size, int flush, BufferedWriter& out,
                      uint64_t* produced, bool* ended);

 private:
  const char* errorMessage_;
  int level_;
  z_stream stream_{};
  bool initialized_ = false;
  bool open_ = false;
  size_t outputArea_;
  std::unique_ptr<uint8_t[]> output_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_DEFLATE_STREAM_H_
