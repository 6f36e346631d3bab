#include "text/encode.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "text/codepage.h"

namespace zorvak {

namespace {

constexpr size_t kReverseTableSize = 65536;

size_t encodeSingleByte(const uint8_t* table, const uint16_t* units, size_t count, uint8_t* out) {
  size_t i = 0;
  for (; i < count && units[i] != 0; ++i)
    out[i] = table[units[i]];
  out[i] = 0;
  return i;
}

size_t encodeUtf8(const uint16_t* units, size_t count, uint8_t* out) {
  uint8_t* o = out;
  for (size_t i = 0; i < count && units[i] != 0; ++i) {
    const uint16_t u = units[i];
    if (u < 0x80) {
      *o++ = static_cast<uint8_t>(u);
    } else if (u < 0x800) {
      *o++ = static_cast<uint8_t>(0xC0 | u >> 6);
      *o++ = static_cast<uint8_t>(0x80 | (u & 0x3F));
    } else {
      *o++ = static_cast<uint8_t>(0xE0 | u >> 12);
      *o++ = static_cast<uint8_t>(0x80 | (u >> 6 & 0x3F));
      *o++ = static_cast<uint8_t>(0x80 | (u & 0x3F));
    }
  }
  *o = 0;
  return static_cast<size_t>(o - out);
}

size_t encodeFallback(const uint16_t* units, size_t count, uint8_t* out) {
  size_t i = 0;
  for (; i < count && units[i] != 0; ++i)
    out[i] = '?';
  out[i] = 0;
  return i;
}

}  // namespace

void encoderReset(EncoderState& state) {
  state = EncoderState{};
}

void encoderRelease(EncoderState& state) {
  std::free(state.reverseTable);
  encoderReset(state);
}

bool buildReverseTable(EncoderState& state, int32_t codePage) {
  if (state.codePage == codePage && state.reverseTable != nullptr) return true;
  const SbcsPage* page = findSbcsPage(codePage);
  if (page == nullptr) return false;
  if (state.reverseTable == nullptr) {
    state.reverseTable = static_cast<uint8_t*>(std::malloc(kReverseTableSize));
    if (state.reverseTable == nullptr) throw std::bad_alloc();
  }
  state.codePage = codePage;
  uint8_t* table = state.reverseTable;
  std::memset(table, '?', kReverseTableSize);
  for (unsigned u = 0; u < 0x80; ++u)
    table[u] = static_cast<uint8_t>(u);
  // Ascending, so that of two bytes decoding to the same unit the later one wins, and an upper
  // half byte decoding below 0x80 replaces the identity entry.
  for (unsigned b = 0x80; b <= 0xFF; ++b)
    table[page->toUnicode[b - 0x80]] = static_cast<uint8_t>(b);
  return true;
}

int32_t encodeUnits(EncoderState& state, int32_t codePage, const uint16_t* units, size_t count,
                    uint8_t* out) {
  if (units == nullptr) return -1;
  if (count == 0 || units[0] == 0) return 0;
  size_t n;
  if (codePage == kCodePageUtf8) {
    n = encodeUtf8(units, count, out);
  } else if (state.reverseTable != nullptr && state.codePage == codePage) {
    // The table held is this page's: no search of the pages for each call.
    n = encodeSingleByte(state.reverseTable, units, count, out);
  } else if (isSingleByteCodePage(codePage)) {
    buildReverseTable(state, codePage);
    n = encodeSingleByte(state.reverseTable, units, count, out);
  } else {
    n = encodeFallback(units, count, out);
  }
  return static_cast<int32_t>(n);
}

int32_t encodeText(EncoderState& state, int32_t codePage, const uint16_t* units, uint8_t* out) {
  return encodeUnits(state, codePage, units, SIZE_MAX, out);
}

}  // namespace zorvak
