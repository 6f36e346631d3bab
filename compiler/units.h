#ifndef ZORVAK_COMPILER_UNITS_H_
#define ZORVAK_COMPILER_UNITS_H_

#include <bit>
#include <cstdint>

namespace zorvak {

// The text spool, the alternative headwords file and the text fields of a group section hold
// UTF-16 units as little-endian pairs of bytes. The compiler writes and reads its unit buffers
// as they lie in memory, which is that layout on the machines it is built for.
static_assert(std::endian::native == std::endian::little,
              "unit buffers are written to files as they lie in memory");

inline constexpr uint16_t kTab = 0x0009;
inline constexpr uint16_t kLineFeed = 0x000A;
inline constexpr uint16_t kBlank = 0x0020;

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_UNITS_H_
