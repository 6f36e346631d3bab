#include "reader/dictionary_check.h"

#include <algorithm>
#include <atomic>
#include <cinttypes>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "format/headword_key.h"
#include "format/layout.h"
#include "reader/article_places.h"
#include "reader/dictionary_reader.h"
#include "reader/headword_lookup.h"
#include "reader/inflated_block.h"
#include "reader/input_reader.h"
#include "reader/stored_text.h"
#include "reader/whole_stream.h"
#include "reader/zlib_source.h"
#include "text/codepage.h"

namespace zorvak {
namespace {

// Lookups wait in batches of at most this many units of text or this many queries.
constexpr size_t kBatchUnits = size_t{256} << 10;
constexpr size_t kBatchQueries = 16384;
// The entries of a section looked up again, at most. A lookup reads its section from the start
// up to its word, so looking up every entry of a section of a million entries would read the
// section again for each batch: the square of its size. Past this many, an entry is found the
// way such a lookup would find it, from what the walk checks anyway: the group is found by the
// binary search for its key, the entry has that key and its own folded form in its slot, and
// no entry before it in the section sorts after it.
constexpr uint64_t kLookedUpPerSection = kBatchQueries;
// The block cache of a check: the blocks of one group's articles.
constexpr size_t kBlockBudget = size_t{16} << 20;
// Article data read at a time, and how much of a window must be left for the next block to be
// inflated from it in one call; a block's text inflated in one call at most.
constexpr size_t kBlockWindow = size_t{1} << 20;
constexpr size_t kBlockWindowMargin = size_t{256} << 10;
constexpr size_t kWholeBlockText = size_t{1} << 20;
// The lookups fetch no articles.
constexpr size_t kLookupBlockBudget = size_t{1} << 20;

std::string format(const char* pattern, ...) __attribute__((format(printf, 1, 2)));
std::string format(const char* pattern, ...) {
  char text[512];
  va_list arguments;
  va_start(arguments, pattern);
  std::vsnprintf(text, sizeof(text), pattern, arguments);
  va_end(arguments);
  return text;
}

std::string quoted(const std::u16string& units) {
  std::string out = "'";
  appendUtf8(units.substr(0, 80), &out);
  if (units.size() > 80) out += "...";
  return out + "'";
}

int compare(const std::u16string& a, const std::u16string& b) {
  return compareFolded(reinterpret_cast<const uint16_t*>(a.data()), a.size(),
                       reinterpret_cast<const uint16_t*>(b.data()), b.size());
}

// A block of the article data: its offset from the article data offset, its units, and where
// its reference marks are noted (see Checker::markUnits_).
struct Block {
  uint64_t offset;
  uint64_t units;
  uint64_t firstMark = 0;
  uint32_t marks = 0;
};

// A block's reference marks are noted only where an article may begin, up to kBlockUnitLimit:
// as the list of their units when there are at most kListedMarks, as a bit per unit otherwise,
// so that a block's notes take at most about 1 KiB whatever it holds.
constexpr uint32_t kListedMarks = 512;
constexpr size_t kMarkBitmapWords = kBlockUnitLimit / 16 + 1;

// Where an entry stands, for the messages.
struct Place {
  uint64_t group;
  uint32_t key;
  uint64_t entry;
  uint64_t offset;  // of the entry in the inflated section
};

std::string where(const Place& place) {
  return format("group %" PRIu64 " (key %08X), entry %" PRIu64 " at byte %" PRIu64
                " of its section",
                place.group, place.key, place.entry, place.offset);
}

class Checker : private SectionVisitor {
 public:
  Checker(File& file, CheckListener& listener, CheckSummary* summary)
      : file_(file), listener_(listener), summary_(*summary) {}

  Status run() {
    const int64_t size = file_.size();
    if (size < 0) return Status::InputOutput("cannot read the file");
    summary_ = CheckSummary{};
    summary_.fileSize = static_cast<uint64_t>(size);
    bool goOn = false;
    ZORVAK_RETURN_IF_ERROR(checkHeader(&goOn));
    if (!goOn) return Status::Ok();
    // The lookups read through a reader of their own, so that they can run while a section
    // is being walked.
    Status opened = DictionaryReader::open(file_, &reader_, kBlockBudget);
    if (opened.kind() == StatusKind::kDamagedFile) {
      // The reader refuses a header whose broken rule was named above (with --all).
      if (summary_.violations == 0) flag("header: not a header a reader accepts");
      return Status::Ok();
    }
    ZORVAK_RETURN_IF_ERROR(opened);
    ZORVAK_RETURN_IF_ERROR(DictionaryReader::open(file_, &lookupReader_, kLookupBlockBudget));
    ZORVAK_RETURN_IF_ERROR(HeadwordLookup::open(*lookupReader_, &lookup_));
    input_ = std::make_unique<InputReader>(file_, summary_.fileSize);
    if (std::thread::hardware_concurrency() > 1) {
      bool sound = false;
      ZORVAK_RETURN_IF_ERROR(checkSideBySide(&sound));
      if (sound) return Status::Ok();
    }
    ZORVAK_RETURN_IF_ERROR(checkBlocks());
    if (!stopped_) ZORVAK_RETURN_IF_ERROR(checkGroups());
    if (!stopped_) ZORVAK_RETURN_IF_ERROR(flushEntries());
    if (!stopped_) ZORVAK_RETURN_IF_ERROR(flushTargets());
    return Status::Ok();
  }

 private:
  // Checks the blocks on a thread of their own while the groups are checked, each entry's
  // article waiting until its block has been counted. Nothing is reported: *sound tells
  // whether the file broke no rule, and when it did (or a read failed), everything is put back
  // as it was, for the caller to check the file again one pass after the other, so that what
  // is reported, in its order, does not depend on the threads.
  Status checkSideBySide(bool* sound) {
    *sound = false;
    const CheckSummary before = summary_;
    sideBySide_ = true;
    flagged_ = false;
    blocksDone_ = false;
    Status blockStatus;
    std::exception_ptr blockFailure;
    std::thread blocks;
    try {
      blocks = std::thread([&] {
        try {
          blockStatus = checkBlocks();
        } catch (...) {
          blockFailure = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(blocksMutex_);
        blocksDone_ = true;
        blocksReady_.notify_all();
      });
    } catch (const std::system_error&) {
      // No room for a thread: one pass after the other.
      sideBySide_ = false;
      return Status::Ok();
    }
    struct Join {
      std::thread& thread;
      ~Join() { thread.join(); }
    };
    Status status;
    {
      Join join{blocks};
      status = checkGroups();
      if (status.ok()) status = flushEntries();
      if (status.ok()) status = flushTargets();
    }
    sideBySide_ = false;
    if (blockFailure != nullptr) std::rethrow_exception(blockFailure);
    *sound = status.ok() && blockStatus.ok() && !flagged_;
    if (*sound) return Status::Ok();
    summary_ = before;
    blocks_.clear();
    markUnits_.clear();
    places_ = std::make_unique<ArticlePlaces>();
    previousKey_ = 0;
    group_ = 0;
    key_ = 0;
    entries_ = 0;
    entryOffset_ = 0;
    previousFolded_.clear();
    pendingUnits_ = 0;
    pendingEntries_.clear();
    entryQueries_.clear();
    pendingTargets_.clear();
    targetQueries_.clear();
    targetSlots_.clear();
    return Status::Ok();
  }

  // A headword looked up again, and what it must find.
  struct PendingEntry {
    Place place;
    EntryHeader header;
    std::u16string headword;
    size_t query;  // in entryQueries_
  };
  // An alternative headword's target, which must be found.
  struct PendingTarget {
    Place place;
    std::u16string headword;
    size_t query;  // in targetQueries_
  };

  // Reports a broken rule; false once the listener wants no more.
  bool flag(const std::string& text) {
    if (sideBySide_) {
      flagged_ = true;
      return true;
    }
    ++summary_.violations;
    if (!listener_.violation(text)) stopped_ = true;
    return !stopped_;
  }

  Status checkHeader(bool* goOn) {
    *goOn = false;
    InputReader input(file_, summary_.fileSize);
    uint8_t bytes[kHeaderSize];
    size_t got = 0;
    ZORVAK_RETURN_IF_ERROR(input.readAt(0, bytes, kHeaderSize, &got));
    if (got < kHeaderSize) {
      flag(format("header: the file holds %zu bytes, fewer than a header's 48", got));
      return Status::Ok();
    }
    if (!decodeHeader(bytes, &header_)) {
      flag("header: no \"ZorvakNL\" magic, not a compiled dictionary");
      return Status::Ok();
    }
    summary_.codePage = header_.codePage;
    summary_.groups = header_.groupCount;
    if (header_.textFlag > kMaxTextFlag &&
        !flag(format("header: text flag %u, where 0 or 1 is expected", header_.textFlag))) {
      return Status::Ok();
    }
    if (!isSupportedCodePage(static_cast<int32_t>(header_.codePage)) &&
        !flag(format("header: code page %u is not supported", header_.codePage))) {
      return Status::Ok();
    }
    const uint64_t size = summary_.fileSize;
    if (header_.articleDataOffset < kHeaderSize ||
        (header_.articleDataOffset - kHeaderSize) % kSubstitutionItemSize != 0 ||
        header_.articleDataOffset > header_.groupTableOffset ||
        header_.groupTableOffset > header_.sectionDataOffset || header_.sectionDataOffset > size) {
      flag(format("header: offsets out of order: substitution table at 48, article data at %" PRIu64
                  ", group table at %" PRIu64 ", section data at %" PRIu64 ", file size %" PRIu64,
                  header_.articleDataOffset, header_.groupTableOffset, header_.sectionDataOffset,
                  size));
      return Status::Ok();
    }
    const uint64_t tableBytes = header_.sectionDataOffset - header_.groupTableOffset;
    records_ = std::min<uint64_t>(header_.groupCount, tableBytes / kGroupRecordSize);
    if (tableBytes != uint64_t{header_.groupCount} * kGroupRecordSize &&
        !flag(format("header: the group table holds %" PRIu64 " bytes, not 16 x %u groups",
                     tableBytes, header_.groupCount))) {
      return Status::Ok();
    }
    *goOn = header_.textFlag <= kMaxTextFlag;
    return Status::Ok();
  }

  // Counts the units of a block's text and notes its reference marks, piece by piece.
  struct BlockCount {
    UnitRule rule;
    std::vector<uint16_t>& marks;  // units of the marks up to kBlockUnitLimit, in order
    uint64_t units = 0;
    uint64_t bytes = 0;
    uint8_t pairLow = 0;
    uint64_t unitBytes = 0;  // of the last UTF-8 unit so far
    bool longUnit = false;   // a UTF-8 unit of more than three bytes, or one begun before

    void note(uint64_t unit) {
      if (unit <= kBlockUnitLimit) marks.push_back(static_cast<uint16_t>(unit));
    }

    void take(const uint8_t* text, size_t count) {
      const uint8_t* end = text + count;
      if (rule == UnitRule::kByte) {
        // One byte a unit; a mark is one byte, found by memchr.
        for (const uint8_t* p = text;; ++p) {
          p = static_cast<const uint8_t*>(
              std::memchr(p, kReferenceMark, static_cast<size_t>(end - p)));
          if (p == nullptr) break;
          note(units + static_cast<uint64_t>(p - text));
        }
        units += count;
        bytes += count;
        return;
      }
      if (rule == UnitRule::kUtf8) {
        for (size_t i = 0; i < count; ++i) {
          const uint8_t byte = text[i];
          const bool starts = (byte & 0xC0) != 0x80;
          if (byte == kReferenceMark) note(units);
          // Each unit is one to three bytes, from the block's first byte on.
          unitBytes = starts ? 1 : unitBytes + 1;
          longUnit |= !starts && (units == 0 || unitBytes > 3);
          units += starts;
        }
        bytes += count;
        return;
      }
      // Two bytes a unit: a unit begins at every even byte; it is a mark when it is 08 00.
      for (size_t i = 0; i < count; ++i, ++bytes) {
        const uint8_t byte = text[i];
        if (bytes % 2 == 0) {
          pairLow = byte;
          ++units;
        } else if (pairLow == kReferenceMark && byte == 0) {
          note(units - 1);
        }
      }
    }
  };

  Status checkBlocks() {
    const UnitRule rule = unitRuleFor(static_cast<int32_t>(header_.codePage));
    std::vector<uint8_t> out(ZlibSource::kOutputSize);
    // The article data is read in windows, and each block that lies whole in one is inflated
    // in one call; the others (a very long article, a broken stream) piece by piece.
    std::vector<uint8_t> window;
    uint64_t windowAt = 0;
    WholeStream whole;
    std::vector<uint16_t> blockMarks;
    uint64_t at = header_.articleDataOffset;
    while (at < header_.groupTableOffset) {
      if (at + kBlockWindowMargin > windowAt + window.size() &&
          windowAt + window.size() < header_.groupTableOffset) {
        windowAt = at;
        window.resize(
            static_cast<size_t>(std::min<uint64_t>(kBlockWindow, header_.groupTableOffset - at)));
        size_t got = 0;
        ZORVAK_RETURN_IF_ERROR(input_->readAt(at, window.data(), window.size(), &got));
        window.resize(got);
      }
      blockMarks.clear();
      BlockCount count{rule, blockMarks};
      uint64_t end = 0;
      bool complete = false;
      size_t consumed = 0;
      const size_t skip = static_cast<size_t>(at - windowAt);
      if (skip < window.size() &&
          whole.inflate(window.data() + skip, window.size() - skip, kWholeBlockText, &consumed)) {
        count.take(whole.text(), whole.textSize());
        end = at + consumed;
        complete = true;
      } else {
        ZlibSource source(*input_, at);
        ZlibSource::Outcome outcome = ZlibSource::Outcome::kMore;
        while (outcome == ZlibSource::Outcome::kMore) {
          size_t produced = 0;
          ZORVAK_RETURN_IF_ERROR(source.inflateStep(out.data(), &produced, &outcome));
          count.take(out.data(), produced);
        }
        end = source.endOffset();
        complete = outcome == ZlibSource::Outcome::kEnd;
      }
      const uint64_t offset = at - header_.articleDataOffset;
      if (!complete || end > header_.groupTableOffset) {
        flag(format("article block %" PRIu64 " at offset %" PRIu64
                    " of the article data: not a complete zlib stream inside the article data",
                    static_cast<uint64_t>(blocks_.size()), offset));
        return Status::Ok();
      }
      if (count.longUnit && !flag(format("article block %" PRIu64 " at offset %" PRIu64
                                         " of the article data: a unit of more than three bytes",
                                         static_cast<uint64_t>(blocks_.size()), offset))) {
        return Status::Ok();
      }
      {
        std::lock_guard<std::mutex> lock(blocksMutex_);
        Block block{offset, count.units, markUnits_.size(),
                    static_cast<uint32_t>(blockMarks.size())};
        if (blockMarks.size() <= kListedMarks) {
          markUnits_.insert(markUnits_.end(), blockMarks.begin(), blockMarks.end());
        } else {
          markUnits_.resize(markUnits_.size() + kMarkBitmapWords, 0);
          uint16_t* bits = markUnits_.data() + block.firstMark;
          for (const uint16_t unit : blockMarks)
            bits[unit / 16] = static_cast<uint16_t>(bits[unit / 16] | 1u << (unit % 16));
        }
        blocks_.push_back(block);
        blocksReady_.notify_all();
      }
      summary_.articleText += count.bytes;
      if (count.bytes > summary_.largestBlockText || blocks_.size() == 1) {
        summary_.largestBlockText = count.bytes;
        summary_.largestBlockOffset = offset;
      }
      at = end;
    }
    summary_.blocks = blocks_.size();
    summary_.articleBytes = header_.groupTableOffset - header_.articleDataOffset;
    return Status::Ok();
  }

  Status checkGroups() {
    uint64_t expectedOffset = 0;  // where this section must begin, from the section data
    bool knownOffset = true;
    uint64_t entryTotal = 0;
    for (uint64_t group = 0; group < records_ && !stopped_; ++group) {
      GroupRecord record;
      ZORVAK_RETURN_IF_ERROR(reader_->readGroupRecord(group, &record));
      const std::string name = format("group %" PRIu64 " (key %08X)", group, record.key);
      if (group > 0 && record.key <= previousKey_ &&
          !flag(name + format(": key not above the key %08X before it", previousKey_))) {
        break;
      }
      previousKey_ = record.key;
      if (knownOffset && record.sectionOffset != expectedOffset &&
          !flag(name + format(": section at offset %" PRIu64 " of the section data, where the "
                              "section before it ends at %" PRIu64,
                              record.sectionOffset, expectedOffset))) {
        break;
      }
      entryTotal += record.entryCount;
      uint64_t index = 0;
      GroupRecord found;
      bool hasGroup = false;
      // A search that meets a record the table does not hold (a group count past the table)
      // fails for the word as a reader's would.
      const Status searched = lookup_->findGroup(record.key, &index, &found, &hasGroup);
      if (searched.kind() == StatusKind::kInputOutput) return searched;
      if ((!searched.ok() || !hasGroup || index != group) &&
          !flag(name + ": not found by a binary search of the group table for its key")) {
        break;
      }

      group_ = group;
      key_ = record.key;
      entries_ = 0;
      entryOffset_ = 0;
      previousFolded_.clear();
      SectionExtent extent;
      // The section should end where the next one begins.
      uint64_t sectionStop = summary_.fileSize;
      if (group + 1 < records_) {
        GroupRecord next;
        const Status read = reader_->readGroupRecord(group + 1, &next);
        if (read.kind() == StatusKind::kInputOutput) return read;
        sectionStop = read.ok() ? header_.sectionDataOffset + next.sectionOffset : kNone;
      }
      Status status = reader_->readSection(record, *this, &extent, sectionStop);
      places_->endGroup();
      if (stopped_) break;
      if (status.kind() == StatusKind::kInputOutput) return status;
      const uint64_t sectionAt = header_.sectionDataOffset + record.sectionOffset;
      if (!status.ok()) {
        const char* what = extent.ended ? "ends inside an entry" : "is not a complete zlib stream";
        if (!flag(name + format(": the section at file offset %" PRIu64 " %s (after %" PRIu64
                                " entries)",
                                sectionAt, what, entries_))) {
          break;
        }
      }
      knownOffset = extent.ended;
      if (extent.ended) {
        const uint64_t end = extent.end;
        const bool last = group + 1 == records_;
        if (last && end != summary_.fileSize &&
            !flag(name + format(": the last section ends at file offset %" PRIu64
                                ", not at the end of the file (%" PRIu64 ")",
                                end, summary_.fileSize))) {
          break;
        }
        if (end < header_.sectionDataOffset) {
          knownOffset = false;
        } else {
          expectedOffset = end - header_.sectionDataOffset;
          summary_.sectionText += extent.inflatedBytes;
          if (extent.inflatedBytes > summary_.largestSectionText) {
            summary_.largestSectionText = extent.inflatedBytes;
            summary_.largestSectionGroup = group;
            summary_.largestSectionKey = record.key;
            summary_.largestSectionEntries = entries_;
          }
        }
      }
      if (status.ok() && entries_ != record.entryCount &&
          !flag(name + format(": the section holds %" PRIu64 " entries, the record says %u",
                              entries_, record.entryCount))) {
        break;
      }
      summary_.entries += entries_;
    }
    if (stopped_) return Status::Ok();
    if (records_ == 0 && header_.sectionDataOffset != summary_.fileSize &&
        !flag(format("section data: %" PRIu64 " bytes after the group table of no groups",
                     summary_.fileSize - header_.sectionDataOffset))) {
      return Status::Ok();
    }
    if (entryTotal != header_.entryCount) {
      flag(format("header: entry count %u, the group records add up to %" PRIu64,
                  header_.entryCount, entryTotal));
    }
    summary_.sectionBytes = summary_.fileSize - header_.sectionDataOffset;
    return Status::Ok();
  }

  // One entry of the section being checked.
  Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override {
    const Place place{group_, key_, entries_, entryOffset_};
    ++entries_;
    entryOffset_ += kEntryHeaderSize + 4 * uint64_t{entry.headwordLength};
    const std::u16string text(reinterpret_cast<const char16_t*>(headword), entry.headwordLength);
    const uint16_t* slot = reader_->visitedFolded();
    size_t foldedLength = 0;
    while (foldedLength < entry.headwordLength && slot[foldedLength] != 0)
      ++foldedLength;
    const std::u16string stored(reinterpret_cast<const char16_t*>(slot), foldedLength);

    Query query = lookup_->prepareStored(text);
    if (query.key != key_ && !flag(where(place) + ": headword " + quoted(text) +
                                   format(" has the key %08X, not its group's", query.key))) {
      return Status::Ok();
    }
    if (query.folded != stored &&
        !flag(where(place) + ": the folded slot of " + quoted(text) + " holds " + quoted(stored) +
              ", not its folded form " + quoted(query.folded))) {
      return Status::Ok();
    }
    if (place.entry > 0 && compare(previousFolded_, stored) > 0 &&
        !flag(where(place) + ": " + quoted(text) +
              " sorts before the entry above it (entries out of order)")) {
      return Status::Ok();
    }
    previousFolded_ = stored;
    ZORVAK_RETURN_IF_ERROR(checkArticle(place, entry, text));
    if (stopped_ || place.entry >= kLookedUpPerSection) return Status::Ok();

    pendingUnits_ += text.size();
    // The entries of one folded form, neighbours in their section, are looked up once.
    const bool sameForm = !pendingEntries_.empty() && entryQueries_.back().key == query.key &&
                          entryQueries_.back().folded == query.folded;
    if (!sameForm) entryQueries_.push_back(Query{{}, std::move(query.folded), query.key});
    pendingEntries_.push_back(
        PendingEntry{place, entry, std::move(query.text), entryQueries_.size() - 1});
    if (pendingUnits_ > kBatchUnits || pendingEntries_.size() >= kBatchQueries) {
      ZORVAK_RETURN_IF_ERROR(flushEntries());
    }
    return Status::Ok();
  }
  bool done() const override { return stopped_; }

  // Whether a reference mark stands at `unit` (at most kBlockUnitLimit) of `block`.
  bool markAt(const Block& block, uint32_t unit) const {
    const uint16_t* notes = markUnits_.data() + block.firstMark;
    if (block.marks > kListedMarks) return (notes[unit / 16] >> (unit % 16) & 1) != 0;
    return std::binary_search(notes, notes + block.marks, unit);
  }

  Status checkArticle(const Place& place, const EntryHeader& entry, const std::u16string& text) {
    if (entry.articleLength == 0) {
      if (entry.articleBlock != kNone || entry.articleStart != 0) {
        flag(where(place) + ": " + quoted(text) +
             " has an empty article but the location of one (block or start not none)");
      }
      return Status::Ok();
    }
    // Beside the groups, the blocks are still being counted: wait for the entry's.
    std::unique_lock<std::mutex> lock(blocksMutex_, std::defer_lock);
    if (sideBySide_) {
      lock.lock();
      blocksReady_.wait(lock, [&] {
        return blocksDone_ || (!blocks_.empty() && blocks_.back().offset >= entry.articleBlock);
      });
    }
    const auto block =
        std::lower_bound(blocks_.begin(), blocks_.end(), entry.articleBlock,
                         [](const Block& b, uint64_t offset) { return b.offset < offset; });
    if (block == blocks_.end() || block->offset != entry.articleBlock) {
      flag(where(place) + ": the article of " + quoted(text) +
           format(" is in a block at offset %" PRIu64 ", where no block begins",
                  entry.articleBlock));
      return Status::Ok();
    }
    if (entry.articleStart > kBlockUnitLimit) {
      flag(where(place) + ": the article of " + quoted(text) +
           format(" begins at unit %u of its block, past unit %u, where no block lets an "
                  "article begin",
                  entry.articleStart, kBlockUnitLimit));
      return Status::Ok();
    }
    if (uint64_t{entry.articleStart} + entry.articleLength > block->units) {
      flag(where(place) + ": the article of " + quoted(text) +
           format(" (units %u to %" PRIu64 ") runs past the end of its block (%" PRIu64 " units)",
                  entry.articleStart, uint64_t{entry.articleStart} + entry.articleLength,
                  block->units));
      return Status::Ok();
    }
    const uint64_t end = uint64_t{entry.articleStart} + entry.articleLength;
    switch (places_->check(entry.articleBlock, entry.articleStart, end)) {
      case ArticlePlaces::Verdict::kFree:
        places_->take(entry.articleBlock, entry.articleStart, end);
        break;
      case ArticlePlaces::Verdict::kBeforeFloor:
        flag(where(place) + ": the article of " + quoted(text) +
             " lies before the end of an article of an earlier group");
        return Status::Ok();
      case ArticlePlaces::Verdict::kOverlap:
        flag(where(place) + ": the article of " + quoted(text) +
             " overlaps another article of its group");
        return Status::Ok();
      case ArticlePlaces::Verdict::kTooManyBlocks:
        flag(where(place) +
             ": the articles of the group lie in more blocks than a reader "
             "follows");
        return Status::Ok();
    }
    if (entry.articleLength > kMaxTextUnits + 1 || !markAt(*block, entry.articleStart))
      return Status::Ok();
    // An alternative headword's article: the reference mark and the target.
    std::string stored;
    Status status = lookup_->fetchArticleFrom(*reader_, entry, &stored);
    if (status.kind() == StatusKind::kInputOutput) return status;
    if (!status.ok()) {
      flag(where(place) + ": the article of " + quoted(text) + " cannot be read from its block");
      return Status::Ok();
    }
    const int32_t codePage = static_cast<int32_t>(header_.codePage);
    const size_t mark = codePage == kCodePageUtf16 ? 2 : 1;
    const uint8_t* data = reinterpret_cast<const uint8_t*>(stored.data());
    if (stored.size() < mark || data[0] != kReferenceMark || (mark == 2 && data[1] != 0)) {
      return Status::Ok();
    }
    ++summary_.alternatives;
    std::u16string target;
    decodeStoredText(codePage, data + mark, stored.size() - mark, &target);
    if (target.empty()) {
      flag(where(place) + ": the alternative headword " + quoted(text) + " names no target");
      return Status::Ok();
    }
    pendingUnits_ += target.size();
    // Each target is looked up once a batch, however many alternative headwords lead to it.
    const auto [slot, added] = targetSlots_.try_emplace(target, targetQueries_.size());
    if (added) targetQueries_.push_back(lookup_->prepareStored(target));
    pendingTargets_.push_back(PendingTarget{place, text, slot->second});
    if (pendingUnits_ > kBatchUnits || pendingTargets_.size() >= kBatchQueries) {
      ZORVAK_RETURN_IF_ERROR(flushTargets());
    }
    return Status::Ok();
  }

  // Every waiting headword must be found, with its own article location.
  Status flushEntries() {
    ZORVAK_RETURN_IF_ERROR(lookup_->findEntries(entryQueries_, &results_, &statuses_));
    // Each entry is sought among what the lookup of its form found by a binary search, so that
    // a form shared by many entries costs no more than their number times its logarithm.
    const auto before = [](const FoundEntry& a, const FoundEntry& b) {
      return std::tie(a.headword, a.header.headwordLength, a.header.articleBlock,
                      a.header.articleStart, a.header.articleLength) <
             std::tie(b.headword, b.header.headwordLength, b.header.articleBlock,
                      b.header.articleStart, b.header.articleLength);
    };
    for (std::vector<FoundEntry>& found : results_) {
      if (found.size() > 1) std::sort(found.begin(), found.end(), before);
    }
    for (size_t i = 0; i < pendingEntries_.size() && !stopped_; ++i) {
      PendingEntry& pending = pendingEntries_[i];
      const std::vector<FoundEntry>& found = results_[pending.query];
      FoundEntry sought{pending.header, std::move(pending.headword)};
      if (!std::binary_search(found.begin(), found.end(), sought, before)) {
        flag(where(pending.place) + ": " + quoted(sought.headword) +
             " is not found by a lookup of the word");
      }
    }
    entryQueries_.clear();
    pendingEntries_.clear();
    pendingUnits_ = 0;
    return Status::Ok();
  }

  // Every waiting target must be the headword of an entry.
  Status flushTargets() {
    ZORVAK_RETURN_IF_ERROR(lookup_->findEntries(targetQueries_, &results_, &statuses_));
    std::vector<bool> present(targetQueries_.size());
    for (size_t q = 0; q < targetQueries_.size(); ++q) {
      present[q] = std::any_of(
          results_[q].begin(), results_[q].end(),
          [&](const FoundEntry& entry) { return entry.headword == targetQueries_[q].text; });
    }
    for (size_t i = 0; i < pendingTargets_.size() && !stopped_; ++i) {
      const PendingTarget& pending = pendingTargets_[i];
      if (!present[pending.query]) {
        flag(where(pending.place) + ": the alternative headword " + quoted(pending.headword) +
             " leads to " + quoted(targetQueries_[pending.query].text) +
             ", which no entry has as its headword");
      }
    }
    targetQueries_.clear();
    pendingTargets_.clear();
    targetSlots_.clear();
    pendingUnits_ = 0;
    return Status::Ok();
  }

  File& file_;
  CheckListener& listener_;
  CheckSummary& summary_;
  bool stopped_ = false;
  Header header_;
  uint64_t records_ = 0;  // group records that lie inside the group table
  std::unique_ptr<InputReader> input_;
  std::unique_ptr<DictionaryReader> reader_;
  std::unique_ptr<DictionaryReader> lookupReader_;
  std::unique_ptr<HeadwordLookup> lookup_;
  std::unique_ptr<ArticlePlaces> places_ = std::make_unique<ArticlePlaces>();
  std::vector<Block> blocks_;
  // Checking blocks and groups side by side: blocks_ and markUnits_ grow under the mutex.
  bool sideBySide_ = false;
  std::atomic<bool> flagged_{false};
  std::mutex blocksMutex_;
  std::condition_variable blocksReady_;
  bool blocksDone_ = false;
  // The reference marks of the article data, block by block (see kListedMarks). Only an
  // alternative headword's article holds one, as its first unit, so an entry's article is read
  // only when a mark stands where it begins.
  std::vector<uint16_t> markUnits_;
  // What a batch of lookups found, kept from one batch to the next for their room.
  std::vector<std::vector<FoundEntry>> results_;
  std::vector<Status> statuses_;
  uint32_t previousKey_ = 0;
  // The section being checked.
  uint64_t group_ = 0;
  uint32_t key_ = 0;
  uint64_t entries_ = 0;
  uint64_t entryOffset_ = 0;
  std::u16string previousFolded_;
  // Lookups waiting to be made.
  size_t pendingUnits_ = 0;
  std::vector<PendingEntry> pendingEntries_;
  std::vector<Query> entryQueries_;
  std::vector<PendingTarget> pendingTargets_;
  std::vector<Query> targetQueries_;
  std::unordered_map<std::u16string, size_t> targetSlots_;  // target -> its query
};

}  // namespace

Status checkDictionary(File& file, CheckListener& listener, CheckSummary* summary) {
  Checker checker(file, listener, summary);
  return checker.run();
}

}  // namespace zorvak
