#ifndef ZORVAK_COMPILER_WHOLE_DEFLATER_H_
#define ZORVAK_COMPILER_WHOLE_DEFLATER_H_

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "platform/status.h"

struct libdeflate_compressor;

namespace zorvak {

// How the streams of a compiled dictionary are compressed. Either way each article block and
// group section is one complete zlib stream that every reader inflates alike.
enum class Compression {
  kDefault,   // zlib at the format's level: the same bytes on every machine
  kSmallest,  // libdeflate at its highest level: smaller, much slower to write
};

// The zlib level of a stream that is deflated piece by piece, which libdeflate cannot do: the
// format's level, or zlib's highest for the smallest files.
int streamingLevel(Compression compression);

// Compresses whole streams held in memory, one after another; one per thread. zlib's state is
// set up once and reset for each stream, which gives the same bytes as setting it up anew, and
// deflating a stream in one call gives the same bytes as feeding it in pieces.
class WholeDeflater {
 public:
  explicit WholeDeflater(Compression compression);
  ~WholeDeflater();

  WholeDeflater(const WholeDeflater&) = delete;
  WholeDeflater& operator=(const WholeDeflater&) = delete;

  // Compresses `size` bytes into one complete zlib stream, which replaces what *out held. A
  // stream that cannot be compressed fails as an input/output failure with `errorMessage`.
  Status deflateWhole(const uint8_t* data, size_t size, std::vector<uint8_t>* out,
                      const char* errorMessage);

 private:
  void releaseLargeScratch();

  Compression compression_;
  z_stream stream_{};
  bool initialized_ = false;
  libdeflate_compressor* smallest_ = nullptr;
  std::vector<uint8_t> scratch_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_WHOLE_DEFLATER_H_
