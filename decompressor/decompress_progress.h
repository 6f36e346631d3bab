#ifndef ZORVAK_DECOMPRESSOR_DECOMPRESS_PROGRESS_H_
#define ZORVAK_DECOMPRESSOR_DECOMPRESS_PROGRESS_H_

#include <cstdint>

namespace zorvak {

// Receives the decompressor's counters as it goes; the driver implements it and turns them into
// progress lines, so that the decompressor itself prints nothing.
class DecompressProgress {
 public:
  virtual ~DecompressProgress() = default;

  // The group of `key` is written; the entries written so far over all groups, main entries and
  // alternative headwords apart.
  virtual void groupWritten(uint32_t key, uint32_t mainEntries, uint32_t alternativeEntries) = 0;
  // Every group of the table has been taken.
  virtual void decompressFinished() = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_DECOMPRESS_PROGRESS_H_
