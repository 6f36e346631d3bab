#include "decompressor/line_text.h"

#include <cstring>
#include <utility>

namespace zorvak {
namespace {

bool isContinuation(uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// The three-byte sequence at `p` is a surrogate of the half whose second byte lies in
// [low, low + 0x0F].
bool isSurrogate(const uint8_t* p, uint8_t low) {
  return p[0] == 0xED && p[1] >= low && p[1] <= low + 0x0F && isContinuation(p[2]);
}

uint32_t threeByteValue(const uint8_t* p) {
  return (uint32_t{p[0]} & 0x0F) << 12 | (uint32_t{p[1]} & 0x3F) << 6 | (p[2] & 0x3F);
}

// The `count` bytes at `p`, fewer than six, may be the start of a pair that more bytes complete.
bool mayBeginPair(const uint8_t* p, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint8_t b = p[i];
    const bool fits = i % 3 == 0 ? b == 0xED
                      : i == 1   ? b >= 0xA0 && b <= 0xAF
                      : i == 4   ? b >= 0xB0 && b <= 0xBF
                                 : isContinuation(b);
    if (!fits) return false;
  }
  return true;
}

}  // namespace

size_t joinSurrogatePairs(const uint8_t* in, size_t count, uint8_t* out, size_t* consumed) {
  size_t read = 0;
  size_t written = 0;
  while (read < count) {
    const void* found = std::memchr(in + read, 0xED, count - read);
    const size_t plain =
        found == nullptr ? count - read : static_cast<const uint8_t*>(found) - (in + read);
    std::memmove(out + written, in + read, plain);
    read += plain;
    written += plain;
    if (read == count) break;
    const uint8_t* p = in + read;
    if (consumed != nullptr && count - read < 6 && mayBeginPair(p, count - read)) break;
    if (count - read >= 6 && isSurrogate(p, 0xA0) && isSurrogate(p + 3, 0xB0)) {
      const uint32_t high = threeByteValue(p);
      const uint32_t low = threeByteValue(p + 3);
      const uint32_t value = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
      out[written++] = static_cast<uint8_t>(0xF0 | value >> 18);
      out[written++] = static_cast<uint8_t>(0x80 | (value >> 12 & 0x3F));
      out[written++] = static_cast<uint8_t>(0x80 | (value >> 6 & 0x3F));
      out[written++] = static_cast<uint8_t>(0x80 | (value & 0x3F));
      read += 6;
    } else {
      out[written++] = in[read++];
    }
  }
  if (consumed != nullptr) *consumed = read;
  return written;
}

void replaceLineBreaks(uint8_t* bytes, size_t count) {
  // A short text is looked through at once; in a longer one stored line breaks are rare, so
  // each kind is looked for with memchr rather than by testing every byte.
  if (count <= 64) {
    for (size_t i = 0; i < count; ++i) {
      if (bytes[i] == 0x0A) {
        bytes[i] = 0x20;
      } else if (bytes[i] == 0x0D) {
        bytes[i] = 0x09;
      }
    }
    return;
  }
  for (const auto& [from, to] : {std::pair<uint8_t, uint8_t>{0x0A, 0x20}, {0x0D, 0x09}}) {
    uint8_t* end = bytes + count;
    for (uint8_t* p = bytes; p < end;) {
      p = static_cast<uint8_t*>(std::memchr(p, from, static_cast<size_t>(end - p)));
      if (p == nullptr) break;
      *p++ = to;
    }
  }
}

void replaceLineBreakUnits(uint8_t* bytes, size_t count) {
  for (size_t i = 0; i + 1 < count; i += 2) {
    if (bytes[i + 1] != 0) continue;
    if (bytes[i] == 0x0A) {
      bytes[i] = 0x20;
    } else if (bytes[i] == 0x0D) {
      bytes[i] = 0x09;
    }
  }
}

}  // namespace zorvak
