#ifndef ZORVAK_COMPILER_READ_AHEAD_H_
#define ZORVAK_COMPILER_READ_AHEAD_H_

#include <cstddef>
#include <cstdint>
#include <functional>

#include "compiler/chunk_reader.h"
#include "platform/file.h"
#include "platform/status.h"

namespace zorvak {

// Takes the units of one decoded chunk, in file order.
using UnitConsumer = std::function<Status(const uint16_t* units, size_t count)>;

// Reads and decodes `file` on a thread of its own, a few chunks ahead of the calling thread,
// which hands the units of each chunk to `parse` in order and reports progress after each, so
// that the progress lines, the totals and the failures are those of readChunks() with a
// consumer that decodes and parses. A failure to read stops the run where the reading alone
// would have stopped it; a failure to parse stops the reading. When no thread can be started,
// the calling thread does all of it.
Status readDecodedAhead(File& file, const ReadPhase& phase, const UnitConsumer& parse,
                        ReadProgress& progress, uint64_t* total);

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_READ_AHEAD_H_
