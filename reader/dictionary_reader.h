#ifndef ZORVAK_READER_DICTIONARY_READER_H_
#define ZORVAK_READER_DICTIONARY_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "format/headword_key.h"
#include "format/layout.h"
#include "platform/file.h"
#include "platform/status.h"
#include "reader/article_blocks.h"
#include "reader/entry_parser.h"
#include "reader/group_prefetch.h"
#include "reader/input_reader.h"
#include "reader/whole_stream.h"

namespace zorvak {

// Where a section's stream lay and what it held, as readSection found it.
struct SectionExtent {
  uint64_t end = 0;            // file offset after the last byte the stream took in
  uint64_t inflatedBytes = 0;  // bytes the stream yielded
  bool ended = false;          // the stream ended properly, so that `end` is where it ends
};

// Takes the entries of a group section one by one as they are parsed.
class SectionVisitor {
 public:
  virtual ~SectionVisitor() = default;
  // One completed entry: its header and its headword of entry.headwordLength units (at most
  // kMaxTextUnits, zero-terminated). Both are valid only during the call. A failure stops the
  // section and is returned by readSection.
  virtual Status visitEntry(const EntryHeader& entry, const uint16_t* headword) = 0;
  // True once the visitor has what it wants from the section: the section is inflated no
  // further, and readSection returns success.
  virtual bool done() const { return false; }
  // The header of an entry a few on from the one just visited, as the bytes at hand read before
  // that entry is parsed: a hint to make its article ready while the ones before are written.
  // Nothing in it is checked; the entry itself comes to visitEntry (or not) as always.
  virtual void upcoming(const EntryHeader& entry) { (void)entry; }
};

// A compiled dictionary opened for reading. Every part is read on demand through positioned
// reads: the group records one at a time, a group's section inflated and parsed as a stream, the
// articles through a cache of inflated article blocks. Nothing read from the file is trusted:
// offsets past the end of the file read as the end of the data, and every buffer grows with
// what the file really yields, never with a length stored in it.
//
// Failures come as statuses of two kinds: input/output when a read fails, damaged file when the
// file breaks a rule of its format. A damaged part never spoils the others, so a caller can go
// on with the next group or entry. The rules that only the whole file can break (sections back
// to back, counts that add up, articles in order) are the walk's (reader/dictionary_walk.h).
class DictionaryReader {
 public:
  // Opens the dictionary in `file`, which must stay open while the reader lives. Rejects, as a
  // damaged file, one that is too short for its header, has another magic, a text flag other
  // than 0 or 1, a code page the system does not support, offsets out of order, or groups but
  // a group table that does not begin inside the file.
  static Status open(File& file, std::unique_ptr<DictionaryReader>* reader,
                     size_t blockBudget = ArticleBlocks::kDefaultBudget);

  DictionaryReader(const DictionaryReader&) = delete;
  DictionaryReader& operator=(const DictionaryReader&) = delete;

  // The largest section text, and compressed size, inflated in one call.
  static constexpr size_t kWholeSectionText = size_t{4} << 20;
  static constexpr size_t kWholeSectionBytes = size_t{2} << 20;

  const Header& header() const { return header_; }
  uint32_t groupCount() const { return header_.groupCount; }
  // The code page of the stored text and of the text a reader writes.
  int32_t codePage() const { return static_cast<int32_t>(header_.codePage); }
  uint64_t fileSize() const { return input_.size(); }

  // Reads record `index` of the group table; a damaged file when the record lies outside the
  // file. Records are read where the table says, whatever the group count claims.
  Status readGroupRecord(uint64_t index, GroupRecord* record);

  // Inflates the section of `record` and hands every entry it holds to `visitor`, in order. A
  // damaged file when the section's stream breaks or ends inside an entry, after every entry
  // before that point has been handed over; an entry whose headword length is 0 or above
  // kMaxTextUnits ends the section there, as nothing after it can be told apart. `extent`, when
  // given, receives where the stream lay; for `end`, see readSectionAt.
  Status readSection(const GroupRecord& record, SectionVisitor& visitor,
                     SectionExtent* extent = nullptr, uint64_t end = kNone);
  // The same for the section whose stream begins at file offset `offset`. `end`, when the
  // caller knows it (where the next section begins, or the end of the file), is where the
  // stream should end: a section whose stream lies whole before it and whose text is at most
  // kWholeSectionText is then inflated in one call, a few times faster. What the visitor and
  // `extent` get is the same either way.
  Status readSectionAt(uint64_t offset, SectionVisitor& visitor, SectionExtent* extent = nullptr,
                       uint64_t end = kNone);
  // The folded headword of the entry being visited (its folded-headword slot up to the zero
  // unit), zero-terminated; valid during visitEntry only.
  const uint16_t* visitedFolded() const { return parser_.folded(); }

  // Reads the substitution table, (article data offset - 48) / 4 items from offset 48. A
  // damaged file when the table does not lie inside the file or is not a whole number of items.
  Status readSubstitutionTable(SubstitutionTable* table);

  // Hands the stored bytes of the article of `entry` to `sink`, in pieces, through the block
  // cache; nothing for an article length of 0. A damaged file when the entry's location breaks
  // a rule (an empty article with a block or a start; a block that is none or outside the
  // article data; a start past kBlockUnitLimit units, where no block lets an article begin),
  // when its block breaks before the article's end, or when the article runs past the end of
  // its block. A long article reaches the sink as it is inflated, so part of it may have been
  // handed over before the damage shows.
  Status fetchArticle(const EntryHeader& entry, ArticleSink& sink);
  // A hint that the article of `entry` is soon fetched (see ArticleBlocks::prefetch).
  void prefetchArticle(const EntryHeader& entry) const {
    if (entry.articleLength > 0 && entry.articleBlock != kNone &&
        entry.articleStart <= kBlockUnitLimit) {
      articles_.prefetch(entry.articleBlock, entry.articleStart);
    }
  }

  // From now on, group sections and the article blocks their entries name are inflated on
  // `workers` threads a few groups ahead of a walk through the first `groups` records in file
  // order, which tells the reader of each group it comes to with arriveAtGroup. With no
  // workers nothing changes. What the reader yields is the same either way.
  void prefetchGroups(size_t workers, uint64_t groups);
  // The walk comes to group `index`; fails when a read ahead for it failed.
  Status arriveAtGroup(uint64_t index);
  // Lets the block cache keep the heads of a group's blocks that do not fit its budget in an
  // unnamed file beside `beside` (see ArticleBlocks::spillBeside), for a walk that tells the
  // reader of each group with arriveAtGroup.
  void spillBeside(const std::string& beside) { articles_.spillBeside(beside); }

  // A walk will fetch no article from the blocks before `block` (from the article data offset)
  // again: the block cache lets them go (see ArticleBlocks::forgetBefore).
  void forgetBlocksBefore(uint64_t block) { articles_.forgetBefore(block); }

  // The block cache, for what it can tell about its work.
  const ArticleBlocks& articleBlocks() const { return articles_; }

 private:
  DictionaryReader(File& file, uint64_t size, const Header& header, size_t blockBudget);

  // Inflates the section stream in [start, end) in one call; false when it is not a sound
  // stream that ends there, or is too large (then the caller inflates it piece by piece).
  Status inflateSectionWhole(uint64_t start, uint64_t end, bool* whole, size_t* consumed);
  // Inflates the section piece by piece (see readSectionAt), or takes the pieces `streamed`
  // inflates on a worker.
  Status streamSection(uint64_t offset, SectionVisitor& visitor, SectionExtent* extent,
                       StreamedSection* streamed = nullptr);
  // Hands `count` inflated section bytes to the parser and each entry it completes to the
  // visitor; *stop once the visitor is done or the walk must end. The visitor is told of the
  // entries kHintDistance on (SectionVisitor::upcoming), so that their articles are in the
  // cache when they come.
  static constexpr int kHintDistance = 4;
  Status parseSection(const uint8_t* bytes, size_t count, SectionVisitor& visitor, bool* stop);

  InputReader input_;
  InputReader articleInput_;  // the file up to the end of the article data
  Header header_;
  ArticleBlocks articles_;
  EntryParser parser_;
  std::vector<uint8_t> sectionOutput_;  // one inflate call's output of a group section
  std::vector<uint8_t> sectionBytes_;   // a section's compressed bytes, to inflate whole
  WholeStream sectionStream_;
  PrefetchedGroup* prefetched_ = nullptr;    // what was inflated ahead for the current group
  std::unique_ptr<GroupPrefetch> prefetch_;  // last: it reads through the members above
};

}  // namespace zorvak

#endif  // ZORVAK_READER_DICTIONARY_READER_H_
