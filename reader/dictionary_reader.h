#ifndef ZORVAK_READER_DICTIONARY_READER_H_
#define ZORVAK_READER_DICTIONARY_READER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "format/layout.h"
#include "platform/file.h"
#include "platform/status.h"
#include "reader/article_blocks.h"
#include "reader/entry_parser.h"
#include "reader/input_reader.h"

namespace zorvak {

// Takes the entries of a group section one by one as they are parsed.
class SectionVisitor {
 public:
  virtual ~SectionVisitor() = default;
  // One completed entry: its header and its headword of entry.headwordLength units (at most
  // kMaxTextUnits, zero-terminated). Both are valid only during the call. A failure stops the
  // section and is returned by readSection.
  virtual Status visitEntry(const EntryHeader& entry, const uint16_t* headword) = 0;
};

// A compiled dictionary opened for reading. Every part is read on demand through positioned
// reads: the group records one at a time, a group's section inflated and parsed as a stream, the
// articles through a cache of inflated article blocks. Nothing read from the file is trusted:
// offsets past the end of the file read as the end of the data, and every buffer grows with
// what the file really yields, never with a length stored in it.
//
// Failures come as statuses of two kinds: input/output when a read fails, damaged file when the
// file breaks a rule of its format. A damaged part never spoils the others, so a caller can go
// on with the next group or entry.
class DictionaryReader {
 public:
  // Opens the dictionary in `file`, which must stay open while the reader lives. Rejects, as a
  // damaged file, one that is too short for its header, has another magic, a text flag other
  // than 0 or 1, offsets out of order, or groups but a group table that does not begin inside
  // the file.
  static Status open(File& file, std::unique_ptr<DictionaryReader>* reader);

  DictionaryReader(const DictionaryReader&) = delete;
  DictionaryReader& operator=(const DictionaryReader&) = delete;

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
  // before that point has been handed over. An entry whose headword length is 0 or above
  // kMaxTextUnits is never completed: the rest of its section is taken as its text.
  Status readSection(const GroupRecord& record, SectionVisitor& visitor);

  // The article of `entry` through the block cache (empty for an article length of 0). A
  // damaged file when its block breaks before the article's end or the article runs past the
  // end of its block.
  Status fetchArticle(const EntryHeader& entry, ArticleText* text);

  // The block cache, for what it can tell about its work.
  const ArticleBlocks& articleBlocks() const { return articles_; }

 private:
  DictionaryReader(File& file, uint64_t size, const Header& header);

  InputReader input_;
  Header header_;
  ArticleBlocks articles_;
  EntryParser parser_;
  std::vector<uint8_t> sectionOutput_;  // one inflate call's output of a group section
};

}  // namespace zorvak

#endif  // ZORVAK_READER_DICTIONARY_READER_H_
