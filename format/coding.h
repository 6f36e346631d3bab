#ifndef ZORVAK_FORMAT_CODING_H_
#define ZORVAK_FORMAT_CODING_H_

#include <cstdint>

namespace zorvak {

// Fixed-width little-endian encoders and decoders. Every integer in a compiled dictionary and
// in the temporary files is stored this way, whatever the machine's own byte order.

inline void encodeFixed16(uint8_t* dst, uint16_t value) {
  dst[0] = static_cast<uint8_t>(value);
  dst[1] = static_cast<uint8_t>(value >> 8);
}

inline void encodeFixed32(uint8_t* dst, uint32_t value) {
  for (int i = 0; i < 4; ++i)
    dst[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline void encodeFixed64(uint8_t* dst, uint64_t value) {
  for (int i = 0; i < 8; ++i)
    dst[i] = static_cast<uint8_t>(value >> (8 * i));
}

inline uint16_t decodeFixed16(const uint8_t* src) {
  return static_cast<uint16_t>(src[0] | (src[1] << 8));
}

inline uint32_t decodeFixed32(const uint8_t* src) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i)
    value = (value << 8) | src[i];
  return value;
}

inline uint64_t decodeFixed64(const uint8_t* src) {
  uint64_t value = 0;
  for (int i = 7; i >= 0; --i)
    value = (value << 8) | src[i];
  return value;
}

}  // namespace zorvak

#endif  // ZORVAK_FORMAT_CODING_H_
