#ifndef ZORVAK_COMPILER_SCAN_PROGRESS_H_
#define ZORVAK_COMPILER_SCAN_PROGRESS_H_

#include <cstdint>

namespace zorvak {

// Receives the group scan's counters as it goes; the driver implements it and turns them into
// progress lines, so that the scan itself prints nothing.
class ScanProgress {
 public:
  virtual ~ScanProgress() = default;

  // The scan is about to take the group of `key`; the entries found so far over all groups.
  virtual void scanningGroup(uint32_t key, uint32_t sourceEntries, uint32_t alternatives) = 0;
  // Every group is scanned; `finishedStreams` counts the article blocks and group sections.
  virtual void scanFinished(uint32_t sourceEntries, uint32_t alternatives,
                            uint32_t finishedStreams) = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_SCAN_PROGRESS_H_
