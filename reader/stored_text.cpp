#include "reader/stored_text.h"

#include <vector>

#include "text/codepage.h"
#include "text/decode.h"

namespace zorvak {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

bool isContinuation(uint8_t byte) {
  return (byte & 0xC0) == 0x80;
}

// One unit a sequence, the way the output encoder writes UTF-8; longer or broken sequences and
// stray bytes give U+FFFD.
void decodeUnitSequences(const uint8_t* bytes, size_t count, std::u16string* units) {
  size_t i = 0;
  while (i < count) {
    const uint8_t lead = bytes[i];
    size_t length = 0;
    uint32_t value = 0;
    uint32_t least = 0;
    if (lead < 0x80) {
      units->push_back(lead);
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2, value = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3, value = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4, value = lead & 0x07, least = 0x10000;
    }
    size_t taken = 1;
    while (length > 0 && taken < length && i + taken < count && isContinuation(bytes[i + taken])) {
      value = value << 6 | (bytes[i + taken] & 0x3F);
      ++taken;
    }
    if (length == 0 || taken < length || value < least || value > 0x10FFFF) {
      units->push_back(kReplacement);
      ++i;
      continue;
    }
    if (value >= 0x10000) {
      value -= 0x10000;
      units->push_back(static_cast<char16_t>(0xD800 | value >> 10));
      units->push_back(static_cast<char16_t>(0xDC00 | (value & 0x3FF)));
    } else {
      units->push_back(static_cast<char16_t>(value));
    }
    i += length;
  }
}

void appendCodePoint(uint32_t value, std::string* out) {
  if (value < 0x80) {
    out->push_back(static_cast<char>(value));
  } else if (value < 0x800) {
    out->push_back(static_cast<char>(0xC0 | value >> 6));
    out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
  } else if (value < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | value >> 12));
    out->push_back(static_cast<char>(0x80 | (value >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | value >> 18));
    out->push_back(static_cast<char>(0x80 | (value >> 12 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (value >> 6 & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (value & 0x3F)));
  }
}

}  // namespace

void decodeStoredText(int32_t codePage, const uint8_t* bytes, size_t count, std::u16string* units) {
  units->clear();
  if (codePage == kCodePageUtf16) {
    for (size_t i = 0; i + 1 < count; i += 2)
      units->push_back(static_cast<char16_t>(bytes[i] | bytes[i + 1] << 8));
    if (count % 2 != 0) units->push_back(kReplacement);
    return;
  }
  if (codePage == kCodePageUtf8) {
    decodeUnitSequences(bytes, count, units);
    return;
  }
  if (const SbcsPage* page = findSbcsPage(codePage)) {
    for (size_t i = 0; i < count; ++i)
      units->push_back(bytes[i] < 0x80 ? bytes[i] : page->toUnicode[bytes[i] - 0x80]);
    return;
  }
  if (isDoubleByteCodePage(codePage)) {
    // The decoder takes zero-terminated text and stops at a zero byte, which article text never
    // holds; one that does ends the article there.
    std::vector<uint8_t> text(bytes, bytes + count);
    text.push_back(0);
    std::vector<uint16_t> decoded(count + 1);
    const int32_t n = decodeText(codePage, text.data(), decoded.data());
    if (n > 1) units->assign(decoded.begin(), decoded.begin() + (n - 1));
    return;
  }
  units->assign(count, kReplacement);
}

void appendUtf8(const char16_t* units, size_t count, std::string* out) {
  for (size_t i = 0; i < count; ++i) {
    const uint32_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < count && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      appendCodePoint(0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00), out);
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendCodePoint(kReplacement, out);
    } else {
      appendCodePoint(unit, out);
    }
  }
}

}  // namespace zorvak
