#ifndef ZORVAK_COMPILER_ENTRY_RUNS_H_
#define ZORVAK_COMPILER_ENTRY_RUNS_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "compiler/entry_list.h"
#include "platform/file.h"
#include "platform/status.h"

namespace zorvak {

// The entries of a group too large to be sorted in memory. The entry list is sorted and written
// out as a run whenever it grows past a bound; at the end the runs are merged, entries that
// compare equal coming in the order they were added (the earlier run first), so the order is
// the one that sorting the whole list at once gives.
class EntryRuns {
 public:
  // Runs go to `scratch` from `base` on.
  EntryRuns(File& scratch, uint64_t base);

  // Sorts `entries`, writes them as the next run and empties the list.
  Status spill(EntryList& entries);
  bool empty() const { return runs_.empty(); }

  // Hands every entry of every run to `take`, in order.
  Status merge(const std::function<Status(const SectionEntry&)>& take);

 private:
  struct Run {
    uint64_t offset;
    uint64_t size;
  };
  class Reader;

  File& scratch_;
  uint64_t end_;  // where the next run goes
  std::vector<Run> runs_;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_ENTRY_RUNS_H_
