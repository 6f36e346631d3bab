// Input decoding: turns one chunk of bytes in a code page into UTF-16 code units. Decoding is a
// pure function of the code page and the bytes; invalid bytes are decoded by fixed rules (a
// default unit, "?", or dropped) and never reported.

#ifndef ZORVAK_TEXT_DECODE_H_
#define ZORVAK_TEXT_DECODE_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "text/codepage.h"

namespace zorvak {

// Decodes the zero-terminated byte string `bytes` in `codePage` into `out`, which must hold one
// unit per input byte plus one. Decoding ends at the first zero byte; the units are followed by
// one zero unit. Returns the number of units written including that zero unit, or, for an
// empty string, 0 (one zero unit is still written). With out null nothing is written and the
// same count is returned, except that an empty string gives 1. Returns -1 for null bytes.
//
// Families: the single-byte pages, the double-byte pages 932/936/949/950, UTF-8 (65001); every
// other number, 1200 and 0 included, turns each byte into "?".
int32_t decodeText(int32_t codePage, const uint8_t* bytes, uint16_t* out);

// As decodeText for a chunk of exactly `length` bytes, whose end is its length: a zero byte in
// it is a control character like any other and decodes to the zero unit. With the double-byte
// pages, a lead byte standing as the last byte of the chunk, whose trail byte has not been read
// yet, is left undecoded and *carry is set to 1 (else 0): the caller moves that byte to the
// front of the next chunk so that the pair decodes whole. A chunk that held only such a byte
// gives 1 (just the zero unit). With carry null a lead byte at the end gives a zero unit.
int32_t decodeChunk(int32_t codePage, const uint8_t* bytes, size_t length, uint16_t* out,
                    size_t* carry);

// UTF-8 byte classes, one per byte value: bit 15 set when the byte starts a character; bits
// 11-8 the number of continuation bytes that follow it (8: the byte is dropped where a
// character starts); the low 8 bits the payload bits the byte contributes. F5-F7 count as
// four-byte leads like F0-F4.
extern const std::array<uint16_t, 256> utf8ByteClass;

inline constexpr uint16_t kUtf8Starts = 0x8000;
inline constexpr unsigned kUtf8Dropped = 8;

// Number of continuation bytes that the UTF-8 byte b announces (8 for a dropped byte).
inline unsigned utf8Continuations(uint8_t b) {
  return (utf8ByteClass[b] >> 8) & 0x0F;
}

}  // namespace zorvak

#endif  // ZORVAK_TEXT_DECODE_H_
