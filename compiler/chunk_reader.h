#ifndef ZORVAK_COMPILER_CHUNK_READER_H_
#define ZORVAK_COMPILER_CHUNK_READER_H_

#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/file.h"
#include "platform/messages.h"
#include "platform/status.h"

namespace zorvak {

// The reading of the source dictionary and of the word forms file in chunks, with the code page
// rules that cut the file into chunks: byte order marks, the line end that closes the last line,
// the UTF-8 extension that ends a chunk on a whole character, and the double-byte lead byte
// carried into the next chunk. The chunk decoder beside it takes every chunk this reader hands
// over, up to kReadBufferSize bytes.

// Bytes asked for by each read, and the size of the read buffer: the spare bytes hold the
// extension of a UTF-8 chunk, the line end of a short chunk and the zero byte after the chunk.
inline constexpr size_t kChunkSize = 32768;
inline constexpr size_t kReadBufferSize = 32800;
// A full UTF-8 chunk that is still inside a run of continuation bytes past this length is
// rejected.
inline constexpr size_t kUtf8ChunkLimit = 32790;

// Takes one chunk: `chunk` holds `size` bytes followed by a zero byte. A consumer may leave an
// unfinished double-byte character's lead byte at the end of the chunk undecoded by setting
// *carry to 1; the reader then puts that byte in front of the next chunk.
using ChunkConsumer = std::function<Status(uint8_t* chunk, size_t size, size_t* carry)>;

// Receives a reading phase's byte total as it goes; the driver implements it and prints the
// phase's progress lines.
class ReadProgress {
 public:
  virtual ~ReadProgress() = default;
  // A chunk has been consumed; `total` bytes have been handed over so far.
  virtual void chunkRead(uint64_t total) = 0;
  // The file is read to its end.
  virtual void readFinished(uint64_t total) = 0;
};

// One reading phase: the word forms file or the source dictionary.
struct ReadPhase {
  int32_t codePage = 0;
  const char* utf8Message = messages::kSourceUtf8;
  const char* readMessage = messages::kReadInput;
  ChunkConsumer consume;
};

// Reads `file` in chunks of up to kChunkSize bytes and hands each to the phase's consumer,
// reporting the byte total after each chunk and at the end. Neutralises a byte order
// mark on the first read, appends a line end to a short chunk (and after a last full chunk, so
// that the last line is always closed), and extends a full UTF-8 chunk so that it ends on a
// whole character. *total receives the number of bytes handed to the consumer.
Status readChunks(File& file, const ReadPhase& phase, ReadProgress& progress, uint64_t* total);

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_CHUNK_READER_H_
