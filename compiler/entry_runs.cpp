#include "compiler/entry_runs.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include "compiler/units.h"
#include "format/coding.h"
#include "format/layout.h"
#include "platform/messages.h"

namespace zorvak {
namespace {

// A record of a run: headword length, folded length, article block, start and length, then the
// headword's and the folded headword's units.
constexpr size_t kRecordHeader = 24;
constexpr size_t kWriteBytes = size_t{1} << 20;
constexpr size_t kReadBytes = 64 * 1024;
constexpr size_t kLargestRecord = kRecordHeader + 4 * kMaxTextUnits;

}  // namespace

// Reads the records of one run in order.
class EntryRuns::Reader {
 public:
  Reader(File& file, const Run& run)
      : file_(file), next_(run.offset), end_(run.offset + run.size) {}

  // Moves to the next record; false at the end of the run.
  Status advance(bool* more) {
    *more = false;
    if (held_ - at_ < kLargestRecord && next_ < end_) {
      // Keep the unread bytes and read on behind them.
      std::memmove(buffer_.data(), buffer_.data() + at_, held_ - at_);
      held_ -= at_;
      at_ = 0;
      const size_t want = static_cast<size_t>(std::min<uint64_t>(end_ - next_, kReadBytes - held_));
      const int64_t got = file_.readAt(next_, buffer_.data() + held_, want);
      if (got != static_cast<int64_t>(want)) return Status::InputOutput(messages::kReadSpool);
      held_ += want;
      next_ += want;
    }
    if (at_ == held_) return Status::Ok();
    const uint8_t* record = buffer_.data() + at_;
    entry_.length = decodeFixed32(record);
    entry_.foldedLength = decodeFixed32(record + 4);
    entry_.articleBlock = decodeFixed64(record + 8);
    entry_.articleStart = decodeFixed32(record + 16);
    entry_.articleLength = decodeFixed32(record + 20);
    std::memcpy(headword_, record + kRecordHeader, 2 * size_t{entry_.length});
    std::memcpy(folded_, record + kRecordHeader + 2 * size_t{entry_.length},
                2 * size_t{entry_.foldedLength});
    entry_.headword = headword_;
    entry_.folded = folded_;
    at_ += kRecordHeader + 2 * size_t{entry_.length} + 2 * size_t{entry_.foldedLength};
    *more = true;
    return Status::Ok();
  }
  const SectionEntry& entry() const { return entry_; }

 private:
  File& file_;
  uint64_t next_;
  uint64_t end_;
  std::vector<uint8_t> buffer_ = std::vector<uint8_t>(kReadBytes);
  size_t at_ = 0;
  size_t held_ = 0;
  SectionEntry entry_;
  uint16_t headword_[kMaxTextUnits];
  uint16_t folded_[kMaxTextUnits];
};

EntryRuns::EntryRuns(File& scratch, uint64_t base) : scratch_(scratch), end_(base) {}

Status EntryRuns::spill(EntryList& entries) {
  entries.sort();
  Run run{end_, 0};
  std::vector<uint8_t> bytes;
  bytes.reserve(kWriteBytes + kLargestRecord);
  auto write = [&] {
    if (!scratch_.writeAt(end_, bytes.data(), bytes.size()))
      return Status::InputOutput(messages::kWriteSpool);
    end_ += bytes.size();
    bytes.clear();
    return Status::Ok();
  };
  for (const EntryRecord& record : entries.records()) {
    const SectionEntry e = entries.view(record);
    const size_t at = bytes.size();
    bytes.resize(at + kRecordHeader + 2 * size_t{e.length} + 2 * size_t{e.foldedLength});
    uint8_t* out = bytes.data() + at;
    encodeFixed32(out, e.length);
    encodeFixed32(out + 4, e.foldedLength);
    encodeFixed64(out + 8, e.articleBlock);
    encodeFixed32(out + 16, e.articleStart);
    encodeFixed32(out + 20, e.articleLength);
    std::memcpy(out + kRecordHeader, e.headword, 2 * size_t{e.length});
    std::memcpy(out + kRecordHeader + 2 * size_t{e.length}, e.folded, 2 * size_t{e.foldedLength});
    if (bytes.size() >= kWriteBytes) ZORVAK_RETURN_IF_ERROR(write());
  }
  ZORVAK_RETURN_IF_ERROR(write());
  run.size = end_ - run.offset;
  runs_.push_back(run);
  entries.clear();
  return Status::Ok();
}

Status EntryRuns::merge(const std::function<Status(const SectionEntry&)>& take) {
  std::vector<std::unique_ptr<Reader>> readers;
  for (const Run& run : runs_)
    readers.push_back(std::make_unique<Reader>(scratch_, run));
  // A heap of the runs not yet at their end, the one with the smallest head on top; of equal
  // heads the earlier run's comes first.
  auto after = [&](size_t a, size_t b) {
    const SectionEntry& ea = readers[a]->entry();
    const SectionEntry& eb = readers[b]->entry();
    if (compareSectionEntries(eb, ea)) return true;
    if (compareSectionEntries(ea, eb)) return false;
    return a > b;
  };
  std::vector<size_t> heap;
  for (size_t r = 0; r < readers.size(); ++r) {
    bool more = false;
    ZORVAK_RETURN_IF_ERROR(readers[r]->advance(&more));
    if (more) heap.push_back(r);
  }
  std::make_heap(heap.begin(), heap.end(), after);
  while (!heap.empty()) {
    std::pop_heap(heap.begin(), heap.end(), after);
    const size_t run = heap.back();
    ZORVAK_RETURN_IF_ERROR(take(readers[run]->entry()));
    bool more = false;
    ZORVAK_RETURN_IF_ERROR(readers[run]->advance(&more));
    if (more) {
      std::push_heap(heap.begin(), heap.end(), after);
    } else {
      heap.pop_back();
    }
  }
  runs_.clear();
  return Status::Ok();
}

}  // namespace zorvak
