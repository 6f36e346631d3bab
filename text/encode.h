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
// is allocated once and rebuilt in place when the code page changes.
struct encoderState {
  int32_t codePage = 0;             // the page whose reverse table is held; 0 for none
  uint8_t* reverseTable = nullptr;  // 65536 bytes indexed by unit, or null
  bool failed = false;  // set when a batch could not be encoded (no memory for the table)
};
using EncoderState = encoderState;

// Empties the state (code page 0, no table, no failure) without freeing anything; call it
// before the first use.
void encoderReset(encoderState& state);

// Frees the reverse table and empties the state like encoderReset, except that `failed` is
// kept so that the run can still see, after the last batch, that one could not be encoded.
void encoderRelease(encoderState& state);

// Makes the state hold the reverse table of the single-byte `codePage`, re-using the table when
// it already does. Returns false when the table cannot be allocated (the state is unchanged).
bool buildReverseTable(encoderState& state, int32_t codePage);

// Encodes the zero-terminated `units` into `out` and writes a zero byte after them. `out` must
// hold three bytes per unit plus one with 65001 and one byte per unit plus one otherwise.
// Returns the number of bytes before the zero byte; 0 for an empty string (nothing written);
// -1 for null units. When the reverse table cannot be allocated the batch gives 0 bytes, nothing
// is written and state.failed is set. Every unit is encoded on its own, so a surrogate pair
// gives two three-byte sequences with 65001.
int32_t encodeText(encoderState& state, int32_t codePage, const uint16_t* units, uint8_t* out);

// As encodeText for at most `count` units: encoding stops at the first zero unit or after
// `count` units, whichever comes first. Saves the caller terminating its batch.
int32_t encodeUnits(encoderState& state, int32_t codePage, const uint16_t* units, size_t count,
                    uint8_t* out);

}  // namespace zorvak

#endif  // ZORVAK_TEXT_ENCODE_H_
