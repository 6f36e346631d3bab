#include "compiler/group_scan.h"

#include <algorithm>
#include <exception>
#include <system_error>
#include <thread>

#include "compiler/units.h"
#include "format/layout.h"
#include "platform/messages.h"

namespace zorvak {
namespace {

// What the copying pass keeps in memory for all regions together before it writes them.
constexpr size_t kDistributionBuffers = size_t{8} << 20;
constexpr size_t kMinRegionBuffer = 4096;
constexpr size_t kMaxRegionBuffer = 256 * 1024;
// Bytes looked at a time for the first entry of the second half.
constexpr size_t kFindBytes = 64 * 1024;

}  // namespace

// Copies the entries of the partitions that are not read directly into their regions.
class GroupScanner::Distributor : public EntrySink {
 public:
  Distributor(GroupScanner& scanner, int part, int half, uint64_t begin, size_t bufferBytes)
      : scanner_(scanner),
        part_(part),
        half_(half),
        bufferBytes_(bufferBytes),
        buffers_(scanner.partitions_.size()),
        released_(begin) {}

  Status headword(const uint16_t* units, size_t length, bool* take) override {
    *take = false;
    const uint32_t group = scanner_.groups_.groupOf(scanner_.folder_.headwordKey(units, folded_));
    if (group == IndexGroups::kNoGroup) return Status::Ok();
    current_ = scanner_.partitionOf(group);
    if (scanner_.partitions_[current_].parts[part_].direct) return Status::Ok();
    *take = true;
    ZORVAK_RETURN_IF_ERROR(append(&kEntryMark, 1));
    ZORVAK_RETURN_IF_ERROR(append(units, length));
    return append(&kArticleMark, 1);
  }
  Status article(const uint16_t* units, size_t count) override { return append(units, count); }
  Status entryEnd() override { return Status::Ok(); }
  // What has been read is in the buffers or the regions now.
  void passed(uint64_t end) override {
    const uint64_t step = scanner_.limits_.releaseStep;
    const uint64_t upTo = end / step * step;
    if (upTo <= released_) return;
    scanner_.releaseOutsideStretches(part_, released_, upTo);
    released_ = upTo;
  }

  // Writes what is still buffered and gives back the rest of the half, up to `end`.
  Status finish(uint64_t end) {
    for (uint32_t p = 0; p < buffers_.size(); ++p)
      ZORVAK_RETURN_IF_ERROR(flush(p));
    if (end > released_) scanner_.releaseOutsideStretches(part_, released_, end);
    released_ = end;
    return Status::Ok();
  }

 private:
  Status append(const uint16_t* units, size_t count) {
    std::vector<uint16_t>& buffer = buffers_[current_];
    if (buffer.size() + count > bufferBytes_ / 2) {
      ZORVAK_RETURN_IF_ERROR(flush(current_));
      if (count > bufferBytes_ / 2) return write(current_, units, count);
    }
    buffer.insert(buffer.end(), units, units + count);
    return Status::Ok();
  }
  Status flush(uint32_t partition) {
    std::vector<uint16_t>& buffer = buffers_[partition];
    if (buffer.empty()) return Status::Ok();
    ZORVAK_RETURN_IF_ERROR(write(partition, buffer.data(), buffer.size()));
    buffer.clear();
    return Status::Ok();
  }
  Status write(uint32_t partition, const uint16_t* units, size_t count) {
    Part& part = scanner_.partitions_[partition].parts[part_];
    uint64_t& filled = part.filled[half_];
    // A region holds its entries as they stood in their file, or shorter (cut headwords).
    if (filled + 2 * count > part.bytes) return Status::InputOutput(messages::kWriteSpool);
    if (!scanner_.spool_.writeAt(part.region[half_] + filled, units, 2 * count)) {
      return Status::InputOutput(messages::kWriteSpool);
    }
    filled += 2 * count;
    return Status::Ok();
  }

  GroupScanner& scanner_;
  int part_;
  int half_;
  size_t bufferBytes_;
  std::vector<std::vector<uint16_t>> buffers_;
  uint32_t current_ = 0;
  uint64_t released_;  // the half's bytes before this are given back
  uint16_t folded_[kTextBufferUnits];
};

// Reads the entries of one partition into memory, passing over those of other partitions.
class GroupScanner::Loader : public EntrySink {
 public:
  Loader(GroupScanner& scanner, const Partition& partition)
      : scanner_(scanner), partition_(partition) {}

  Status headword(const uint16_t* units, size_t length, bool* take) override {
    uint16_t folded[kTextBufferUnits];
    size_t foldedLength = 0;
    const uint32_t group =
        scanner_.groups_.groupOf(scanner_.folder_.headwordKey(units, folded, &foldedLength));
    *take = group != IndexGroups::kNoGroup && group >= partition_.firstGroup &&
            group < partition_.endGroup;
    if (!*take) return Status::Ok();
    scanner_.loaded_.push_back(
        LoadedEntry{static_cast<uint32_t>(scanner_.units_.size()), group - partition_.firstGroup,
                    static_cast<uint32_t>(scanner_.folded_.size()), static_cast<uint16_t>(length),
                    static_cast<uint16_t>(foldedLength)});
    scanner_.units_.insert(scanner_.units_.end(), units, units + length);
    scanner_.folded_.insert(scanner_.folded_.end(), folded, folded + foldedLength);
    return Status::Ok();
  }
  Status article(const uint16_t* units, size_t count) override {
    scanner_.units_.insert(scanner_.units_.end(), units, units + count);
    return Status::Ok();
  }
  Status entryEnd() override { return Status::Ok(); }

 private:
  GroupScanner& scanner_;
  const Partition& partition_;
};

// Scans the entries of one large group as they are read.
class GroupScanner::Streamer : public EntrySink {
 public:
  Streamer(GroupScanner& scanner, uint32_t key, uint32_t* found, EntryRuns& runs)
      : scanner_(scanner), key_(key), found_(found), runs_(runs) {}

  Status headword(const uint16_t* units, size_t length, bool* take) override {
    *take = scanner_.folder_.headwordKey(units, folded_, &foldedLength_) == key_;
    std::copy(units, units + length, headword_);
    length_ = length;
    block_ = kNone;
    start_ = 0;
    articleLength_ = 0;
    return Status::Ok();
  }
  Status article(const uint16_t* units, size_t count) override {
    const bool first = block_ == kNone;
    ZORVAK_RETURN_IF_ERROR(scanner_.articles_.feedArticleUnits(
        units, count, first ? &block_ : nullptr, first ? &start_ : nullptr));
    articleLength_ += static_cast<uint32_t>(count);
    return Status::Ok();
  }
  Status entryEnd() override {
    ++*found_;
    scanner_.entries_.add(headword_, length_, folded_, foldedLength_, block_, start_,
                          articleLength_);
    if (scanner_.entries_.bytes() > scanner_.limits_.sortBytes) {
      ZORVAK_RETURN_IF_ERROR(runs_.spill(scanner_.entries_));
    }
    return scanner_.articles_.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr);
  }

 private:
  GroupScanner& scanner_;
  uint32_t key_;
  uint32_t* found_;
  EntryRuns& runs_;
  uint16_t headword_[kTextBufferUnits];
  size_t length_ = 0;
  uint16_t folded_[kTextBufferUnits];
  size_t foldedLength_ = 0;
  uint64_t block_ = kNone;
  uint32_t start_ = 0;
  uint32_t articleLength_ = 0;
};

GroupScanner::GroupScanner(File& spool, File& alternatives, const IndexGroups& groups,
                           const HeadwordFolder& folder, ArticleStream& articles,
                           SectionStream& sections, ScanLimits limits, bool copyBeside)
    : spool_(spool),
      alternatives_(alternatives),
      groups_(groups),
      folder_(folder),
      articles_(articles),
      sections_(sections),
      limits_(limits),
      copyBeside_(copyBeside) {}

Status GroupScanner::scanGroups(ScanProgress& progress) {
  ZORVAK_RETURN_IF_ERROR(planPartitions());
  for (int part = 0; part < 2; ++part) {
    const bool copied = std::any_of(partitions_.begin(), partitions_.end(),
                                    [&](const Partition& p) { return !p.parts[part].direct; });
    if (copied) ZORVAK_RETURN_IF_ERROR(distribute(part));
  }
  for (const Partition& partition : partitions_) {
    ZORVAK_RETURN_IF_ERROR(partition.streamed ? scanLargeGroup(partition, progress)
                                              : scanPartition(partition, progress));
  }
  partitions_.clear();
  return Status::Ok();
}

Status GroupScanner::planPartitions() {
  partitions_.clear();
  fileEnds_[0] = fileEnds_[1] = 0;
  for (uint32_t g = 0; g < groups_.size(); ++g) {
    const IndexGroup& group = groups_[g];
    const uint64_t bytes = group.source.bytes + group.alternatives.bytes;
    if (partitions_.empty() || partitions_.back().bytes + bytes > limits_.partitionBytes ||
        partitions_.back().entries + group.entryCount > limits_.partitionEntries) {
      Partition partition;
      partition.firstGroup = g;
      partitions_.push_back(partition);
    }
    Partition& partition = partitions_.back();
    partition.endGroup = g + 1;
    partition.bytes += bytes;
    partition.entries += group.entryCount;
    const GroupExtent* extents[2] = {&group.source, &group.alternatives};
    for (int f = 0; f < 2; ++f) {
      const GroupExtent& extent = *extents[f];
      if (extent.first == kNone) continue;
      Part& part = partition.parts[f];
      part.bytes += extent.bytes;
      part.first = std::min(part.first, extent.first);
      part.end = std::max(part.end, extent.end);
      fileEnds_[f] = std::max(fileEnds_[f], extent.end);
    }
  }
  // The regions follow the spool's own units.
  const int64_t spoolSize = spool_.size();
  if (spoolSize < 0) return Status::InputOutput(messages::kReadSpool);
  uint64_t region = static_cast<uint64_t>(spoolSize);
  for (Partition& partition : partitions_) {
    // Only a partition of one group can be larger than a partition may be.
    partition.streamed =
        partition.bytes > limits_.partitionBytes || partition.entries > limits_.partitionEntries;
    for (Part& part : partition.parts) {
      // A stretch that the partition's own entries fill to four fifths is read as it stands.
      part.direct = part.bytes == 0 || part.end - part.first <= part.bytes + part.bytes / 4;
      if (part.direct) continue;
      for (uint64_t& start : part.region) {
        start = region;
        region += part.bytes;
      }
    }
  }
  runSpace_ = region;

  // What stays of each file after the copying pass, and how much of its own stretch each
  // partition read directly may give back: none of what a later such stretch covers.
  for (int f = 0; f < 2; ++f) {
    std::vector<std::pair<uint64_t, uint64_t>>& stretches = stretches_[f];
    stretches.clear();
    uint64_t laterFirst = kNone;
    for (auto p = partitions_.rbegin(); p != partitions_.rend(); ++p) {
      Part& part = p->parts[f];
      if (!part.direct || part.bytes == 0) continue;
      part.releasableEnd = std::min(part.end, laterFirst);
      laterFirst = std::min(laterFirst, part.first);
      stretches.emplace_back(part.first, part.end);
    }
    std::sort(stretches.begin(), stretches.end());
    size_t kept = 0;
    for (const auto& stretch : stretches) {
      if (kept > 0 && stretch.first <= stretches[kept - 1].second) {
        stretches[kept - 1].second = std::max(stretches[kept - 1].second, stretch.second);
      } else {
        stretches[kept++] = stretch;
      }
    }
    stretches.resize(kept);
  }
  return Status::Ok();
}

void GroupScanner::releaseOutsideStretches(int part, uint64_t begin, uint64_t end) const {
  const std::vector<std::pair<uint64_t, uint64_t>>& stretches = stretches_[part];
  // The first stretch that ends after `begin`, and the gaps between it and those that follow.
  auto s = std::upper_bound(stretches.begin(), stretches.end(), begin,
                            [](uint64_t b, const auto& stretch) { return b < stretch.second; });
  File& file = part == 0 ? spool_ : alternatives_;
  for (uint64_t from = begin; from < end; ++s) {
    const uint64_t to = s == stretches.end() ? end : std::min(end, s->first);
    if (from < to) file.release(from, to - from);
    if (s == stretches.end()) break;
    from = std::max(from, s->second);
  }
}

uint32_t GroupScanner::partitionOf(uint32_t group) const {
  const auto after =
      std::upper_bound(partitions_.begin(), partitions_.end(), group,
                       [](uint32_t g, const Partition& p) { return g < p.firstGroup; });
  return static_cast<uint32_t>(after - partitions_.begin()) - 1;
}

Status GroupScanner::distribute(int part) {
  size_t copied = 0;
  for (const Partition& partition : partitions_)
    copied += partition.parts[part].direct ? 0 : 1;
  // Each half's buffers take half of what the pass keeps.
  const size_t bufferBytes = std::clamp(kDistributionBuffers / 2 / std::max<size_t>(copied, 1),
                                        kMinRegionBuffer, kMaxRegionBuffer);
  uint64_t half = 0;
  ZORVAK_RETURN_IF_ERROR(findHalf(part, &half));
  const uint64_t end = fileEnds_[part];
  // The halves make the same reads and writes with a thread or without; only their order
  // differs, and a failure in the first half is told before one in the second.
  Status second;
  std::exception_ptr failure;
  auto copySecond = [&] {
    try {
      second = distributeHalf(part, 1, half, end, bufferBytes);
    } catch (...) {
      failure = std::current_exception();
    }
  };
  std::thread thread;
  if (copyBeside_ && half < end) {
    try {
      thread = std::thread(copySecond);
    } catch (const std::system_error&) {
      // No room for another thread: this one copies both halves.
    }
  }
  Status first;
  try {
    first = distributeHalf(part, 0, 0, half, bufferBytes);
  } catch (...) {
    if (thread.joinable()) thread.join();
    throw;
  }
  if (thread.joinable()) {
    thread.join();
  } else if (first.ok()) {
    copySecond();
  }
  if (!first.ok()) return first;
  if (failure != nullptr) std::rethrow_exception(failure);
  return second;
}

Status GroupScanner::distributeHalf(int part, int half, uint64_t begin, uint64_t end,
                                    size_t bufferBytes) {
  if (begin + 1 >= end) return Status::Ok();
  Distributor distributor(*this, part, half, begin, bufferBytes);
  EntryReader reader;
  ZORVAK_RETURN_IF_ERROR(reader.read(fileOf(part), begin, end, readMessageOf(part), distributor));
  return distributor.finish(end);
}

Status GroupScanner::findHalf(int part, uint64_t* half) {
  const uint64_t end = fileEnds_[part];
  *half = end;
  if (end < limits_.splitBytes) return Status::Ok();
  uint16_t units[kFindBytes / 2];
  for (uint64_t position = end / 4 * 2; position < end;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(end - position, kFindBytes));
    const int64_t got = fileOf(part).readAt(position, units, want);
    if (got < 2) return Status::InputOutput(readMessageOf(part));
    const size_t count = static_cast<size_t>(got) / 2;
    const uint16_t* mark = std::find(units, units + count, kEntryMark);
    if (mark != units + count) {
      *half = position + 2 * static_cast<uint64_t>(mark - units);
      return Status::Ok();
    }
    position += 2 * count;
  }
  return Status::Ok();
}

Status GroupScanner::readPart(const Partition& partition, int part, EntrySink& sink) {
  const Part& p = partition.parts[part];
  if (p.bytes == 0) return Status::Ok();
  if (p.direct) {
    ZORVAK_RETURN_IF_ERROR(reader_.read(fileOf(part), p.first, p.end, readMessageOf(part), sink));
    if (p.first < p.releasableEnd) fileOf(part).release(p.first, p.releasableEnd - p.first);
    return Status::Ok();
  }
  for (int half = 0; half < 2; ++half) {
    if (p.filled[half] == 0) continue;
    ZORVAK_RETURN_IF_ERROR(reader_.read(spool_, p.region[half], p.region[half] + p.filled[half],
                                        messages::kReadSpool, sink));
  }
  for (int half = 0; half < 2; ++half)
    spool_.release(p.region[half], p.bytes);
  return Status::Ok();
}

Status GroupScanner::scanPartition(const Partition& partition, ScanProgress& progress) {
  units_.clear();
  folded_.clear();
  loaded_.clear();
  Loader loader(*this, partition);
  ZORVAK_RETURN_IF_ERROR(readPart(partition, 0, loader));
  const size_t alternativesFrom = loaded_.size();
  ZORVAK_RETURN_IF_ERROR(readPart(partition, 1, loader));

  // The entries by group, each group's in the order they were read: source entries in source
  // order, then alternative headwords in the order they were made.
  const uint32_t groupCount = partition.endGroup - partition.firstGroup;
  std::vector<uint32_t> firstOfGroup(groupCount + 1, 0);
  for (const LoadedEntry& entry : loaded_)
    ++firstOfGroup[entry.group + 1];
  for (uint32_t g = 0; g < groupCount; ++g)
    firstOfGroup[g + 1] += firstOfGroup[g];
  order_.resize(loaded_.size());
  {
    std::vector<uint32_t> next(firstOfGroup.begin(), firstOfGroup.end() - 1);
    for (uint32_t i = 0; i < loaded_.size(); ++i)
      order_[next[loaded_[i].group]++] = i;
  }

  for (uint32_t g = 0; g < groupCount; ++g) {
    const IndexGroup& group = groups_[partition.firstGroup + g];
    progress.scanningGroup(group.key, sourceFound_, alternativesFound_);
    entries_.clear();
    for (uint32_t k = firstOfGroup[g]; k < firstOfGroup[g + 1]; ++k) {
      const uint32_t i = order_[k];
      const LoadedEntry& entry = loaded_[i];
      const size_t end = i + 1 < loaded_.size() ? loaded_[i + 1].start : units_.size();
      const size_t article = entry.start + entry.length;
      ZORVAK_RETURN_IF_ERROR(addEntry(units_.data() + entry.start, entry.length,
                                      folded_.data() + entry.folded, entry.foldedLength,
                                      units_.data() + article, end - article));
      ++*(i < alternativesFrom ? &sourceFound_ : &alternativesFound_);
    }
    ZORVAK_RETURN_IF_ERROR(writeSection(group));
  }
  return Status::Ok();
}

Status GroupScanner::scanLargeGroup(const Partition& partition, ScanProgress& progress) {
  const IndexGroup& group = groups_[partition.firstGroup];
  progress.scanningGroup(group.key, sourceFound_, alternativesFound_);
  entries_.clear();
  EntryRuns runs(spool_, runSpace_);
  Streamer source(*this, group.key, &sourceFound_, runs);
  ZORVAK_RETURN_IF_ERROR(readPart(partition, 0, source));
  Streamer alternatives(*this, group.key, &alternativesFound_, runs);
  ZORVAK_RETURN_IF_ERROR(readPart(partition, 1, alternatives));
  if (runs.empty()) return writeSection(group);
  // Too many to sort in memory: the last run too goes out, and the runs are merged.
  ZORVAK_RETURN_IF_ERROR(runs.spill(entries_));
  ZORVAK_RETURN_IF_ERROR(sections_.beginStreamedSection());
  ZORVAK_RETURN_IF_ERROR(
      runs.merge([&](const SectionEntry& entry) { return sections_.streamEntry(entry); }));
  return sections_.endStreamedSection(group.key, group.entryCount);
}

Status GroupScanner::addEntry(const uint16_t* headword, size_t length, const uint16_t* folded,
                              size_t foldedLength, const uint16_t* article, size_t articleLength) {
  uint64_t block = kNone;
  uint32_t start = 0;
  if (articleLength > 0) {
    ZORVAK_RETURN_IF_ERROR(articles_.feedArticleUnits(article, articleLength, &block, &start));
  }
  entries_.add(headword, length, folded, foldedLength, block, start,
               static_cast<uint32_t>(articleLength));
  return articles_.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr);
}

Status GroupScanner::writeSection(const IndexGroup& group) {
  entries_.sort();
  ZORVAK_RETURN_IF_ERROR(sections_.writeGroupSection(group.key, group.entryCount, entries_));
  entries_.clear();
  return Status::Ok();
}

}  // namespace zorvak
