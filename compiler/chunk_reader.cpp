#include "compiler/chunk_reader.h"

#include <cstring>
#include <memory>

#include "text/codepage.h"

namespace zorvak {
namespace {

bool isContinuation(uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// Appends the line end that closes the last line of a file: LF and a blank, as units for UTF-16.
size_t appendLineEnd(uint8_t* buffer, size_t size, int32_t codePage) {
  if (codePage == kCodePageUtf16) {
    const uint8_t end[4] = {0x0A, 0x00, 0x20, 0x00};
    std::memcpy(buffer + size, end, sizeof(end));
    return size + sizeof(end);
  }
  buffer[size] = 0x0A;
  buffer[size + 1] = 0x20;
  return size + 2;
}

// Reads on from a full UTF-8 chunk until it ends on a whole character.
Status extendUtf8Chunk(File& file, const ReadPhase& phase, uint8_t* buffer, size_t* size) {
  size_t n = *size;
  auto readMore = [&](size_t count, bool* atEnd) -> Status {
    int64_t got = file.read(buffer + n, count);
    if (got < 0) return Status::InputOutput(phase.readMessage);
    n += static_cast<size_t>(got);
    *atEnd = static_cast<size_t>(got) < count;
    return Status::Ok();
  };
  bool atEnd = false;
  while (isContinuation(buffer[n - 1])) {
    ZORVAK_RETURN_IF_ERROR(readMore(1, &atEnd));
    if (atEnd) break;
    if (n > kUtf8ChunkLimit) return Status::DamagedFile(phase.utf8Message);
  }
  uint8_t last = buffer[n - 1];
  if (!atEnd && last >= 0x80 && !isContinuation(last)) {
    // A lead byte: take the rest of its sequence. Four-byte leads take all three.
    size_t more = (last & 0xF8) == 0xF0 ? 3 : (last & 0x20) ? 2 : 1;
    ZORVAK_RETURN_IF_ERROR(readMore(more, &atEnd));
  }
  *size = n;
  return Status::Ok();
}

}  // namespace

Status readChunks(File& file, const ReadPhase& phase, ReadProgress& progress, uint64_t* total) {
  auto buffer = std::make_unique<uint8_t[]>(kReadBufferSize);
  *total = 0;
  uint8_t carried = 0;
  size_t carry = 0;
  bool first = true;
  bool lastWasFull = false;
  for (;;) {
    std::memset(buffer.get(), 0, kReadBufferSize);
    if (carry > 0) buffer[0] = carried;
    int64_t got = file.read(buffer.get() + carry, kChunkSize - carry);
    if (got < 0) return Status::InputOutput(phase.readMessage);
    size_t n = carry + static_cast<size_t>(got);
    if (first) {
      first = false;
      if (phase.codePage == kCodePageUtf16) {
        if (n >= 2 && buffer[0] == 0xFF && buffer[1] == 0xFE) buffer[0] = 0x20, buffer[1] = 0x00;
      } else if (phase.codePage == kCodePageUtf8) {
        if (n >= 3 && buffer[0] == 0xEF && buffer[1] == 0xBB && buffer[2] == 0xBF) {
          std::memset(buffer.get(), 0x20, 3);
        }
      }
    }
    // An empty read ends the file. After a full chunk the last line still needs its line end.
    if (n == 0 && !lastWasFull) break;
    bool full = n == kChunkSize;
    if (!full) {
      n = appendLineEnd(buffer.get(), n, phase.codePage);
    } else if (phase.codePage == kCodePageUtf8) {
      ZORVAK_RETURN_IF_ERROR(extendUtf8Chunk(file, phase, buffer.get(), &n));
    }
    buffer[n] = 0;
    carry = 0;
    ZORVAK_RETURN_IF_ERROR(phase.consume(buffer.get(), n, &carry));
    if (carry > 0) {
      // Only a full chunk can end in an unfinished character; its lead byte opens the next one.
      carry = 1;
      carried = buffer[n - 1];
    }
    *total += n - carry;
    progress.chunkRead(*total);
    if (!full) break;
    lastWasFull = true;
  }
  progress.readFinished(*total);
  return Status::Ok();
}

}  // namespace zorvak
