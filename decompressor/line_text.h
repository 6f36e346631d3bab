#ifndef ZORVAK_DECOMPRESSOR_LINE_TEXT_H_
#define ZORVAK_DECOMPRESSOR_LINE_TEXT_H_

#include <cstddef>
#include <cstdint>

namespace zorvak {

// The byte transformations that turn stored text into the text of an output line.

// Copies `count` bytes of UTF-8 as the format stores it (every UTF-16 unit its own sequence)
// to `out`, writing each surrogate pair stored as two three-byte sequences (ED A0..AF xx,
// ED B0..BF xx) as the one four-byte sequence of its character, so that the text is valid
// UTF-8. A lone surrogate stays as stored. Returns the number of bytes written, at most `count`;
// `out` may be `in`. With `consumed`, the text goes on in a later piece: a pair that the end of
// `in` may have cut is left, and *consumed receives the number of bytes taken (the rest, at most
// five, belong in front of the next piece).
size_t joinSurrogatePairs(const uint8_t* in, size_t count, uint8_t* out,
                          size_t* consumed = nullptr);

// Turns every line feed byte into a blank and every carriage return byte into a tab, so that
// an article keeps to its line.
void replaceLineBreaks(uint8_t* bytes, size_t count);

// The same for UTF-16LE text: the units U+000A and U+000D of the `count` bytes (whole units
// only) become U+0020 and U+0009.
void replaceLineBreakUnits(uint8_t* bytes, size_t count);

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_LINE_TEXT_H_
