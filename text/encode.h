// Output encoding: turns UTF-16 code units back into bytes of a code page. The single-byte
// pages go through a reverse table built from their byte-to-unit tables, UTF-8 is computed, and
// every other code page (the double-byte ones among them) gives one "?" per unit.

#ifndef ZORVAK_TEXT_ENCODE_H_
#define ZORVAK_TEXT_ENCODE_H_

#include <cstddef>
#include <cstdint>

namespace zorvak {

// The encoder's state, owned by the caller (one per run). Plain data without a destructor:
// encoderReset empties it without freeing, encoderRelease frees the table. The reverse table
// is allocated once and rebuilt in place when the code page changes; when it cannot be
// allocated, std::bad_alloc is thrown, as for any other allocation of a run.
struct EncoderState {
  int32_t codePage = 0;             // the page whose reverse table is held; 0 for none
  uint8_t* reverseTable = nullptr;  // 65536 bytes indexed by unit, or null
};

// Empties the state (code page 0, no table) without freeing anything; call it before the first
// use.
void encoderReset(EncoderState& state);

// Frees the reverse table and empties the state like encoderReset.
void encoderRelease(EncoderState& state);

// Makes the state hold the reverse table of the single-byte `codePage`, re-using the table when
// it already does. Returns false when `codePage` is not a single-byte page (the state is
// unchanged); throws std::bad_alloc when the table cannot be allocated.
bool buildReverseTable(EncoderState& state, int32_t codePage);

// Encodes the zero-terminated `units` into `out` and writes a zero byte after them. `out` must
// hold three bytes per unit plus one with 65001 and one byte per unit plus one otherwise.
// Returns the number of bytes before the zero byte; 0 for an empty string (nothing written);
// -1 for null units. Every unit is encoded on its own, so a surrogate pair
// gives two three-byte sequences with 65001.
int32_t encodeText(EncoderState& state, int32_t codePage, const uint16_t* units, uint8_t* out);

// As encodeText for at most `count` units: encoding stops at the first zero unit or after
// `count` units, whichever comes first. Saves the caller terminating its batch.
int32_t encodeUnits(EncoderState& state, int32_t codePage, const uint16_t* units, size_t count,
                    uint8_t* out);

}  // namespace zorvak

#endif  // ZORVAK_TEXT_ENCODE_H_
