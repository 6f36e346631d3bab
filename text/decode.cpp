#include "text/decode.h"

#include <cstring>

#include "text/codepage.h"

namespace zorvak {

namespace {

constexpr std::array<uint16_t, 256> makeUtf8ByteClass() {
  std::array<uint16_t, 256> table{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned starts = 1, count = 0, payload = 0;
    if (b < 0x80) {
      payload = b;
    } else if (b < 0xC0) {
      starts = 0, count = kUtf8Dropped, payload = b & 0x3F;
    } else if (b < 0xE0) {
      count = 1, payload = b & 0x1F;
    } else if (b < 0xF0) {
      count = 2, payload = b & 0x0F;
    } else if (b < 0xF8) {
      count = 3, payload = b & 0x07;
    } else if (b < 0xFC) {
      count = 4, payload = b & 0x03;
    } else if (b < 0xFE) {
      count = 5, payload = b & 0x01;
    } else {
      count = kUtf8Dropped;
    }
    table[b] = static_cast<uint16_t>((starts ? kUtf8Starts : 0) | count << 8 | payload);
  }
  return table;
}

// Writes units, or only counts them when kWrite is false, so that both modes share one walk.
template <bool kWrite>
struct UnitSink {
  uint16_t* out;
  size_t n = 0;
  void put(uint16_t unit) {
    if constexpr (kWrite) out[n] = unit;
    ++n;
  }
};

template <bool kWrite>
void decodeSingleByte(const SbcsPage& page, const uint8_t* p, const uint8_t* end,
                      UnitSink<kWrite>& sink) {
  if constexpr (!kWrite) {
    sink.n += static_cast<size_t>(end - p);
  } else {
    while (p < end) {
      const uint8_t b = *p++;
      sink.put(b < 0x80 ? b : page.toUnicode[b - 0x80]);
    }
  }
}

// The unit of the pair (lead, trail), or 0 when the page has none; pages never map a pair to 0.
inline uint16_t findPair(const DbcsPage& page, uint32_t first, uint8_t lead, uint8_t trail) {
  for (const DbcsRange* r = page.ranges + first;; ++r) {
    const uint32_t recordLead = r->lead();
    if (recordLead == 0 || recordLead > lead) return 0;
    if (recordLead != lead) continue;
    // Records of one lead byte are sorted by trail range.
    if (trail < r->first()) return 0;
    if (trail <= r->last()) {
      const uint32_t offset = trail - r->first();
      return r->kind() == kDbcsLinear ? static_cast<uint16_t>(r->value + offset)
                                      : page.pool[r->value + offset];
    }
  }
}

// Decodes the bytes up to `end`. When carryAt is not null and a lead byte without its trail
// stands there, decoding stops before it and returns true.
template <bool kWrite>
bool decodeDoubleByte(const DbcsPage& page, const uint8_t* p, const uint8_t* end,
                      const uint8_t* carryAt, UnitSink<kWrite>& sink) {
  while (p < end) {
    const uint8_t b = *p;
    if (b < 0x80) {
      sink.put(b);
      ++p;
      continue;
    }
    const uint32_t entry = page.leads[b - 0x80];
    if (entry >> 16 != 0) {
      sink.put(static_cast<uint16_t>(entry >> 16));
      ++p;
      continue;
    }
    if (p == carryAt) return true;
    if (p + 1 == end) {
      // A lead byte that ends the text gives a zero unit.
      sink.put(0);
      return false;
    }
    const uint16_t unit = findPair(page, entry, b, p[1]);
    if (unit != 0) {
      sink.put(unit);
      p += 2;
    } else {
      // An unmatched pair gives the default unit and the trail byte is decoded afresh.
      sink.put(page.defaultUnit);
      ++p;
    }
  }
  return false;
}

template <bool kWrite>
void decodeUtf8(const uint8_t* p, const uint8_t* end, UnitSink<kWrite>& sink) {
  while (p < end) {
    const uint8_t b = *p++;
    if (b < 0x80) {
      sink.put(b);
      continue;
    }
    uint16_t cls = utf8ByteClass[b];
    unsigned count = (cls >> 8) & 0x0F;
    uint32_t value = cls & 0xFF;
    uint8_t lead = b;
    bool dropped = count == kUtf8Dropped;
    while (!dropped && count > 0) {
      if (p == end) {
        // Cut short by the end of the text: one zero unit stands for the character.
        sink.put(0);
        return;
      }
      const uint8_t x = *p++;
      const uint16_t xcls = utf8ByteClass[x];
      if ((xcls & kUtf8Starts) == 0) {
        value = value << 6 | (xcls & 0xFF);
        --count;
        continue;
      }
      // A byte that starts a character abandons the sequence begun so far and takes its place.
      lead = x;
      value = xcls & 0xFF;
      count = (xcls >> 8) & 0x0F;
      dropped = count == kUtf8Dropped;
    }
    if (!dropped) {
      if (lead >= 0xF0 && lead <= 0xF4 && value >= 0x10000 && value <= 0x10FFFF) {
        // A character beyond the Basic Multilingual Plane becomes its surrogate pair.
        value -= 0x10000;
        sink.put(static_cast<uint16_t>(0xD800 | value >> 10));
        sink.put(static_cast<uint16_t>(0xDC00 | (value & 0x3FF)));
      } else {
        sink.put(static_cast<uint16_t>(value));
      }
    }
  }
}

template <bool kWrite>
void decodeFallback(const uint8_t* p, const uint8_t* end, UnitSink<kWrite>& sink) {
  for (; p < end; ++p)
    sink.put(u'?');
}

// Decodes by family; returns true when a trailing lead byte was left for the next chunk.
template <bool kWrite>
bool decodeAny(int32_t codePage, const uint8_t* bytes, const uint8_t* end, const uint8_t* carryAt,
               UnitSink<kWrite>& sink) {
  if (codePage == kCodePageUtf8) {
    decodeUtf8(bytes, end, sink);
  } else if (const SbcsPage* single = findSbcsPage(codePage)) {
    decodeSingleByte(*single, bytes, end, sink);
  } else if (const DbcsPage* dbcs = findDbcsPage(codePage)) {
    return decodeDoubleByte(*dbcs, bytes, end, carryAt, sink);
  } else {
    decodeFallback(bytes, end, sink);
  }
  return false;
}

int32_t decode(int32_t codePage, const uint8_t* bytes, size_t length, const uint8_t* carryAt,
               uint16_t* out, bool* carried) {
  if (bytes == nullptr) return -1;
  if (length == 0) {
    if (out == nullptr) return 1;
    out[0] = 0;
    return 0;
  }
  size_t n;
  if (out != nullptr) {
    UnitSink<true> sink{out};
    *carried = decodeAny(codePage, bytes, bytes + length, carryAt, sink);
    n = sink.n;
    out[n] = 0;
  } else {
    UnitSink<false> sink{nullptr};
    *carried = decodeAny(codePage, bytes, bytes + length, carryAt, sink);
    n = sink.n;
  }
  return static_cast<int32_t>(n + 1);
}

}  // namespace

constinit const std::array<uint16_t, 256> utf8ByteClass = makeUtf8ByteClass();

int32_t decodeText(int32_t codePage, const uint8_t* bytes, uint16_t* out) {
  bool carried = false;
  const size_t length = bytes == nullptr ? 0 : std::strlen(reinterpret_cast<const char*>(bytes));
  return decode(codePage, bytes, length, nullptr, out, &carried);
}

int32_t decodeChunk(int32_t codePage, const uint8_t* bytes, size_t length, uint16_t* out,
                    size_t* carry) {
  bool carried = false;
  const uint8_t* carryAt =
      carry != nullptr && bytes != nullptr && length > 0 ? bytes + (length - 1) : nullptr;
  const int32_t result = decode(codePage, bytes, length, carryAt, out, &carried);
  if (carry != nullptr) *carry = carried ? 1 : 0;
  return result;
}

}  // namespace zorvak
