#include "compiler/chunk_decoder.h"

#include <algorithm>
#include <cstring>

#include "compiler/chunk_reader.h"
#include "compiler/units.h"
#include "text/codepage.h"
#include "text/decode.h"

namespace zorvak {
const uint16_t* ChunkDecoder::decode(const uint8_t* chunk, size_t size, size_t* carry,
                                     size_t* count) {
  *carry = 0;
  if (capacity_ < size + 1) {
    // Enough for the longest chunk the reader hands over, one unit a byte and the zero unit.
    capacity_ = std::max(size + 1, kReadBufferSize);
    units_ = std::make_unique_for_overwrite<uint16_t[]>(capacity_);
  }
  if (codePage_ == kCodePageUtf16) {
    *count = size / 2;
    std::memcpy(units_.get(), chunk, *count * 2);
  } else {
    // The decoder counts the zero unit it writes after the text, which is not parsed.
    const int32_t written = decodeChunk(codePage_, chunk, size, units_.get(), carry);
    *count = written > 0 ? static_cast<size_t>(written) - 1 : 0;
  }
  return units_.get();
}

}  // namespace zorvak
