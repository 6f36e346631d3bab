#ifndef ZORVAK_READER_DICTIONARY_WALK_H_
#define ZORVAK_READER_DICTIONARY_WALK_H_

#include <cstddef>
#include <cstdint>

#include "format/layout.h"
#include "platform/status.h"
#include "reader/article_blocks.h"
#include "reader/article_places.h"
#include "reader/dictionary_reader.h"

namespace zorvak {

// A walk through a whole compiled dictionary, group after group in file order, that holds the
// file to the rules only the whole can break, so that a damaged file costs no more than what it
// holds and is never read as sound:
// - the group table holds exactly the header's group count of records, keys ascending;
// - the sections lie back to back from the start of the section data to the end of the file,
//   each holding as many entries as its record says, and the records' counts and the entries
//   add up to the header's entry count;
// - the articles of each group lie after those of the groups before it, and no two articles of
//   a group overlap.
// Each section is inflated once: a section is read where the one before it ended, or, when
// that is not known, where its record says if that lies after everything read so far; a
// section that would be read again is skipped. Each unit of article text is handed out at most
// once, so the text a walk writes grows with the file's content only.
//
// Every damage comes as a damaged-file status from the step that finds it; the walk goes on
// with the next entry or group, so that the rest is salvaged.
class DictionaryWalk : private SectionVisitor {
 public:
  explicit DictionaryWalk(DictionaryReader& reader);
  DictionaryWalk(const DictionaryWalk&) = delete;
  DictionaryWalk& operator=(const DictionaryWalk&) = delete;

  // The group records the walk takes: those that the group table holds between its offset and
  // the section data, whatever the header's group count says.
  uint64_t groupCount() const { return groupCount_; }

  // Lets `workers` threads inflate the sections and blocks of the next groups ahead of the walk
  // (see DictionaryReader::prefetchGroups); the walk yields the same.
  void prefetch(size_t workers) { reader_.prefetchGroups(workers, groupCount_); }

  // Reads record `index` (0, 1, ... in turn) into *record and hands the entries of its section
  // to `visitor`; the visitor fetches their articles with fetchArticle. A damaged-file status
  // when the group breaks a rule; an input/output status (or the visitor's failure) when the
  // walk cannot go on.
  Status walkGroup(uint64_t index, GroupRecord* record, SectionVisitor& visitor);

  // Hands the article of an entry of the group being walked to `sink` (see
  // DictionaryReader::fetchArticle). A damaged file, with nothing handed over, also when the
  // article lies before an article of an earlier group or overlaps one of this group.
  Status fetchArticle(const EntryHeader& entry, ArticleSink& sink);
  // A hint that fetchArticle(entry) comes soon: what it will look at is fetched into the
  // processor's cache. Changes nothing.
  void prefetchArticle(const EntryHeader& entry) {
    if (entry.articleLength == 0 || entry.articleBlock == kNone) return;
    // The blocks hinted a short while ago are in the cache, and so are the articles that
    // follow the last ones cut from them.
    uint64_t& recent = hinted_[(entry.articleBlock * 0x9E3779B97F4A7C15u) >> 60];
    if (recent == entry.articleBlock) return;
    recent = entry.articleBlock;
    places_.prefetch(entry.articleBlock, entry.articleStart);
    reader_.prefetchArticle(entry);
  }

  // After the last group: the rules of the whole file (the counts of the header, the regions
  // of the layout, the last section ending where the file ends).
  Status finish() const;

 private:
  Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override;
  void upcoming(const EntryHeader& entry) override {
    if (visitor_ != nullptr) visitor_->upcoming(entry);
  }
  // Where the section of group `index` should end, for the reader to inflate it in one call:
  // where the next record's section begins, or the end of the file after the last group.
  // None when the next record cannot be read; fails when the read fails.
  Status sectionEnd(uint64_t index, uint64_t* end);

  DictionaryReader& reader_;
  uint64_t groupCount_ = 0;
  bool tableWhole_ = true;  // the group table holds whole records only
  // Sections: where the next one begins when the one before ended properly (`chained_`), and
  // the end of everything inflated so far.
  uint64_t nextSection_ = 0;
  bool chained_ = true;
  uint64_t sectionFloor_ = 0;
  uint32_t lastKey_ = 0;
  uint64_t recordEntries_ = 0;
  uint64_t entries_ = 0;
  // The group being walked.
  SectionVisitor* visitor_ = nullptr;
  uint64_t groupEntries_ = 0;
  ArticlePlaces places_;
  uint64_t hinted_[16] = {kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone,
                          kNone, kNone, kNone, kNone, kNone, kNone, kNone, kNone};
};

}  // namespace zorvak

#endif  // ZORVAK_READER_DICTIONARY_WALK_H_
