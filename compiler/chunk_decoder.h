#ifndef ZORVAK_COMPILER_CHUNK_DECODER_H_
#define ZORVAK_COMPILER_CHUNK_DECODER_H_

#include <cstddef>
#include <cstdint>
#include <memory>

namespace zorvak {

// Turns one chunk of the source dictionary or of the word forms file into the units that its
// parser reads: UTF-16LE as it stands (two bytes a unit, an odd last byte left out), every other
// code page through the decoder. Owns the unit buffer, which is reused for every chunk.
class ChunkDecoder {
 public:
  explicit ChunkDecoder(int32_t codePage) : codePage_(codePage) {}

  // Decodes `size` bytes and returns the units, their number in *count. A zero byte is a
  // control character like any other: it decodes to the zero unit, which the parsers drop. A
  // double-byte lead byte that ends the chunk is left undecoded with *carry set to 1, for the next
  // chunk.
  const uint16_t* decode(const uint8_t* chunk, size_t size, size_t* carry, size_t* count);

 private:
  int32_t codePage_;
  std::unique_ptr<uint16_t[]> units_;
  size_t capacity_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_CHUNK_DECODER_H_
