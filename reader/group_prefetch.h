#ifndef ZORVAK_READER_GROUP_PREFETCH_H_
#define ZORVAK_READER_GROUP_PREFETCH_H_

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "format/layout.h"
#include "platform/status.h"
#include "platform/worker_pool.h"
#include "reader/inflated_block.h"
#include "reader/input_reader.h"
#include "reader/streamed_section.h"

namespace zorvak {

// What a worker inflated for one group ahead of a walk: the group's section, when its stream
// lies whole between where its record and the next record say, and the heads of the article
// blocks its entries name. Only what inflated as a sound stream is here; the walk inflates
// everything else itself, so what it reads is the same with or without these. A section that
// does not inflate in one call there is streamed piece by piece instead, while the walk reads
// it, and the heads of its blocks come with the stream (see StreamedSection).
struct PrefetchedGroup {
  uint64_t sectionStart = 0;  // file offsets the section was inflated from and to
  uint64_t sectionEnd = kNone;
  bool sectionWhole = false;
  size_t sectionConsumed = 0;  // the stream's compressed size
  std::vector<uint8_t> sectionText;
  // Set with sectionStart and sectionEnd when the section is being streamed, the walk's to take
  // (once; it then clears the flag).
  bool sectionStreamed = false;
  StreamedSection stream;
  std::unordered_map<uint64_t, InflatedBlock> heads;  // by file offset
  Status status;                                      // a read failed: the walk stops with this
  size_t reserved = 0;
};

// Inflates group sections and article block heads on worker threads, a few groups ahead of a
// walk that goes through the groups in file order. Everything held ahead counts against one
// budget; a group that finds it spent gets fewer blocks (or none) and the walk inflates the rest.
// Tasks are queued in group order; which blocks a worker inflates may depend on timing, what
// the walk reads never does.
class GroupPrefetch {
 public:
  static constexpr size_t kDefaultBudget = size_t{16} << 20;
  // Groups queued ahead of the one being walked.
  static constexpr uint64_t kDepth = 4;

  // `input` is the whole file, `articleInput` ends where the article data ends; both, and
  // `header`, outlive the prefetch. `groups` is the number of records the walk takes.
  GroupPrefetch(InputReader& input, InputReader& articleInput, const Header& header,
                uint64_t groups, size_t workers, size_t budget = kDefaultBudget);
  ~GroupPrefetch();
  GroupPrefetch(const GroupPrefetch&) = delete;
  GroupPrefetch& operator=(const GroupPrefetch&) = delete;

  // The walk comes to group `index` (0, 1, ... in turn): queues the groups after it and waits
  // for this one (for a streamed section, until its streaming has begun), which stays valid
  // until the next call; null when it was not queued. What the previous group held is let go.
  PrefetchedGroup* arrive(uint64_t index);
  // The walk has taken `bytes` of what `group` (the one arrive gave last) held: they no longer
  // count against the budget, so the groups ahead get more of their blocks.
  void giveBack(PrefetchedGroup* group, size_t bytes);

 private:
  struct Tools;
  class StreamHeads;
  struct Pending {
    uint64_t index;
    uint64_t ticket;
    std::unique_ptr<PrefetchedGroup> group;
    // Guarded by readyMutex_: the task has finished or begun to stream; it streams.
    bool ready = false;
    bool streaming = false;
  };
  // Waits until `pending`'s task is finished or streaming.
  void waitReady(Pending& pending);
  // Waits for `pending`'s task to end (letting go of a stream the walk did not finish) and lets
  // go of what it held.
  void retire(Pending& pending);
  // Inflates group `index` into *group with the worker's tools.
  void prefetch(uint64_t index, Pending& pending, Tools& tools);
  void prefetchBlocks(const std::vector<uint64_t>& keys, PrefetchedGroup* group, Tools& tools);
  // Counts `bytes` against the budget; false (and nothing counted) when they do not fit.
  bool reserve(PrefetchedGroup* group, size_t bytes);
  void release(PrefetchedGroup* group);

  InputReader& input_;
  InputReader& articleInput_;
  const Header& header_;
  uint64_t groups_;
  UnitRule rule_;
  size_t budget_;
  std::atomic<size_t> reserved_{0};
  std::mutex readyMutex_;
  std::condition_variable readyChanged_;
  // Pointers stay put: a task sets its Pending's ready flag.
  std::deque<std::unique_ptr<Pending>> pending_;
  std::unique_ptr<Pending> current_;
  uint64_t queued_ = 0;  // groups queued so far
  std::vector<std::unique_ptr<Tools>> tools_;
  WorkerPool pool_;  // last: its threads end before what they use goes
};

}  // namespace zorvak

#endif  // ZORVAK_READER_GROUP_PREFETCH_H_
