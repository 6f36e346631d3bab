#ifndef ZORVAK_COMPILER_GROUP_SCAN_H_
#define ZORVAK_COMPILER_GROUP_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "compiler/article_stream.h"
#include "compiler/entry_list.h"
#include "compiler/entry_reader.h"
#include "compiler/entry_runs.h"
#include "compiler/index_groups.h"
#include "compiler/scan_progress.h"
#include "compiler/section_stream.h"
#include "format/headword_key.h"
#include "platform/file.h"
#include "platform/messages.h"
#include "platform/status.h"

namespace zorvak {

// Turns the index groups, in key order, into their sections: reads each group's entries back
// from the text spool (in source order) and from the alternative headwords file (in the order
// they were produced), feeds their article text to the article stream, orders them by folded
// headword and writes them as the group's section.
//
// Groups are taken in partitions: runs of groups in key order whose entries take a bounded
// number of bytes together. A partition's entries are read into memory at once and handed out
// group by group, so that no entry is read more than twice whatever the order of the source.
// Where a partition's entries fill most of the stretch of the file they lie in (a sorted
// source) that stretch is read as it stands and the few other entries in it are passed over;
// the entries of every other partition are first copied, in one pass over the file, into a
// region of their own behind the end of the spool. A group larger than a partition is read as
// a stream, entry by entry.
//
// Bytes of the spool and of the alternative headwords file that no later read needs are given
// back to the file system as soon as they are read (File::release): the copying pass's stretch
// of a file outside the stretches read directly, a region once its partition is read, a stretch
// once no later partition's stretch reaches into it. So the temporaries never hold much more
// than one copy of the entries, and their pages need never be written to the disk.
//
// How much is held at once is bounded by ScanLimits; any limits give the same file.
struct ScanLimits {
  // The bytes and the number of entries of a partition.
  size_t partitionBytes = size_t{8} << 20;
  uint32_t partitionEntries = 1 << 18;
  // A large group's entries are sorted in memory up to this many bytes at a time.
  size_t sortBytes = size_t{16} << 20;
  // A file this long or longer is copied out in two halves.
  uint64_t splitBytes = uint64_t{4} << 20;
  // The copying pass gives back what it has read in steps of this many bytes (a multiple of
  // the page size), at multiples of it.
  uint64_t releaseStep = uint64_t{8} << 20;
};

class GroupScanner {
 public:
  // With `copyBeside`, the copying pass runs over the two halves of a file at once, the second
  // on a thread of its own.
  GroupScanner(File& spool, File& alternatives, const IndexGroups& groups,
               const HeadwordFolder& folder, ArticleStream& articles, SectionStream& sections,
               ScanLimits limits = {}, bool copyBeside = false);

  // Scans every group, in the order of the (sorted) index groups, telling `progress` of each
  // before it is scanned.
  Status scanGroups(ScanProgress& progress);

  // Source entries and alternative headwords found so far, over all groups.
  uint32_t sourceEntriesFound() const { return sourceFound_; }
  uint32_t alternativesFound() const { return alternativesFound_; }

 private:
  // How one file's entries of a partition are read: straight from a stretch of the file, or
  // from the partition's region behind the end of the spool. The copying pass takes the file
  // in two halves, and each half's entries go to a region of their own, read one after the
  // other; each is as large as the partition's entries, so that either half may hold them all.
  struct Part {
    uint64_t bytes = 0;  // the entries' bytes in their file
    uint64_t first = kNone;
    uint64_t end = 0;
    bool direct = true;
    uint64_t region[2] = {0, 0};  // the regions' offsets in the spool file
    uint64_t filled[2] = {0, 0};  // bytes copied into each
    // A stretch read directly may be given back from `first` up to here once read: where the
    // first stretch of a later partition read directly starts.
    uint64_t releasableEnd = 0;
  };
  struct Partition {
    uint32_t firstGroup = 0;
    uint32_t endGroup = 0;
    uint64_t bytes = 0;
    uint64_t entries = 0;
    Part parts[2];          // the text spool's entries, then the alternative headwords'
    bool streamed = false;  // one group too large to be held: read entry by entry
  };
  // An entry of the partition in memory: where it stands, its group and its folded headword.
  struct LoadedEntry {
    uint32_t start;   // its headword's first unit in units_
    uint32_t group;   // from the partition's first group
    uint32_t folded;  // its folded headword in folded_
    uint16_t length;
    uint16_t foldedLength;
  };
  class Distributor;
  class Loader;
  class Streamer;

  Status planPartitions();
  uint32_t partitionOf(uint32_t group) const;
  // Copies the entries of the partitions not read directly out of file `part` (0: the spool,
  // 1: the alternative headwords file) into their regions.
  Status distribute(int part);
  // Copies those of half `half` of the file, [begin, end), into the regions of that half.
  Status distributeHalf(int part, int half, uint64_t begin, uint64_t end, size_t bufferBytes);
  // Where the second half of file `part` starts: the first entry from its middle on, or its end.
  Status findHalf(int part, uint64_t* half);
  File& fileOf(int part) { return part == 0 ? spool_ : alternatives_; }
  static const char* readMessageOf(int part) {
    return part == 0 ? messages::kReadSpool : messages::kReadAlternatives;
  }
  // Reads the entries of a partition into memory and scans its groups.
  Status scanPartition(const Partition& partition, ScanProgress& progress);
  // Scans the only group of a partition as its entries are read.
  Status scanLargeGroup(const Partition& partition, ScanProgress& progress);
  // Reads one part of a partition (its stretch or its regions) through `sink`, then gives
  // back what no later partition reads of it.
  Status readPart(const Partition& partition, int part, EntrySink& sink);
  // Gives back the bytes of [begin, end) of file `part` outside every stretch read directly.
  void releaseOutsideStretches(int part, uint64_t begin, uint64_t end) const;
  // Feeds an entry's article to the article stream and adds the entry to the list.
  Status addEntry(const uint16_t* headword, size_t length, const uint16_t* folded,
                  size_t foldedLength, const uint16_t* article, size_t articleLength);
  Status writeSection(const IndexGroup& group);

  File& spool_;
  File& alternatives_;
  const IndexGroups& groups_;
  const HeadwordFolder& folder_;
  ArticleStream& articles_;
  SectionStream& sections_;
  ScanLimits limits_;
  bool copyBeside_;

  std::vector<Partition> partitions_;
  uint64_t fileEnds_[2] = {0, 0};  // where the last registered entry of each file ends
  // The stretches of each file read directly: ordered, apart, each [first, end).
  std::vector<std::pair<uint64_t, uint64_t>> stretches_[2];
  uint64_t runSpace_ = 0;  // behind the regions: where sorted runs may go
  EntryReader reader_;
  // The entries of the partition in memory, their units and their folded headwords.
  std::vector<uint16_t> units_;
  std::vector<uint16_t> folded_;
  std::vector<LoadedEntry> loaded_;
  std::vector<uint32_t> order_;

  EntryList entries_;
  uint32_t sourceFound_ = 0;
  uint32_t alternativesFound_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_GROUP_SCAN_H_
