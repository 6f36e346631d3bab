#ifndef ZORVAK_DRIVER_CHUNK_READER_H_
#define ZORVAK_DRIVER_CHUNK_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>

#include "driver/platform/file.h"
#include "driver/platform/status.h"

namespace zorvak {

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

// One reading phase: the word forms file ("form") or the source dictionary ("read").
struct ReadPhase {
  int32_t codePage = 0;
  const char* progressWord = "read";
  const char* utf8Message = "error utf8!";
  const char* readMessage = "error read input file!";
  ChunkConsumer consume;
  // The two counters that the progress line shows.
  std::function<std::pair<uint32_t, uint32_t>()> counters;
};

// Reads `file` in chunks of up to 32768 bytes and hands each to the phase's consumer, printing
// a progress line after each chunk and the closing line at the end. Neutralises a byte order
// mark on the first read, appends a line end to a short chunk (and after a last full chunk, so
// that the last line is always closed), and extends a full UTF-8 chunk so that it ends on a
// whole character. *total receives the number of bytes handed to the consumer.
Status readChunks(File& file, const ReadPhase& phase, std::FILE* console, uint64_t* total);

}  // namespace zorvak

#endif  // ZORVAK_DRIVER_CHUNK_READER_H_
