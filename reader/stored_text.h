#ifndef ZORVAK_READER_STORED_TEXT_H_
#define ZORVAK_READER_STORED_TEXT_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace zorvak {

// Turns article text as an article block stores it (in the header's code page, every unit
// encoded on its own) back into UTF-16 units: 1200 as pairs of bytes, 65001 one sequence of
// one to three bytes a unit (a surrogate is a sequence of its own; a four-byte sequence, which
// the compiler never writes, gives its pair), a single-byte page through its table, a
// double-byte page through its decoder. Bytes that form no unit become U+FFFD each.
void decodeStoredText(int32_t codePage, const uint8_t* bytes, size_t count, std::u16string* units);

// Appends `count` UTF-16 units to `out` as UTF-8: a surrogate pair as the four-byte sequence of
// its character, a lone surrogate as U+FFFD, so that the text is always valid UTF-8.
void appendUtf8(const char16_t* units, size_t count, std::string* out);
inline void appendUtf8(const std::u16string& units, std::string* out) {
  appendUtf8(units.data(), units.size(), out);
}

}  // namespace zorvak

#endif  // ZORVAK_READER_STORED_TEXT_H_
