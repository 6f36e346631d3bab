#include "cli/text_output.h"

#include <vector>

#include "reader/stored_text.h"
#include "text/codepage.h"
#include "text/decode.h"

namespace zorvak {

std::u16string unitsOfUtf8(const std::string& text) {
  // The decoder stops at a zero byte; text from a command line or a line of input has none
  // that counts.
  std::vector<uint16_t> units(text.size() + 1);
  const int32_t n =
      decodeText(kCodePageUtf8, reinterpret_cast<const uint8_t*>(text.c_str()), units.data());
  return n > 1 ? std::u16string(units.begin(), units.begin() + (n - 1)) : std::u16string();
}

std::string articleUtf8(int32_t codePage, const std::string& stored, bool oneLine) {
  std::u16string units;
  decodeStoredText(codePage, reinterpret_cast<const uint8_t*>(stored.data()), stored.size(),
                   &units);
  if (oneLine) {
    for (char16_t& unit : units) {
      if (unit == 0x000A) unit = 0x0020;
      if (unit == 0x000D) unit = 0x0009;
    }
  }
  std::string out;
  appendUtf8(units, &out);
  return out;
}

std::string utf8Of(const std::u16string& units) {
  std::string out;
  appendUtf8(units, &out);
  return out;
}

std::string jsonString(const std::string& text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (char c : text) {
    const unsigned char byte = static_cast<unsigned char>(c);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20) {
          out += "\\u00";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;
        }
    }
  }
  out += '"';
  return out;
}

}  // namespace zorvak
