#ifndef ZORVAK_READER_HEADWORD_LOOKUP_H_
#define ZORVAK_READER_HEADWORD_LOOKUP_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "format/headword_key.h"
#include "format/layout.h"
#include "platform/status.h"
#include "reader/dictionary_reader.h"

namespace zorvak {

// A word to look up: its text cleaned up the way the compiler cleans a headword, its folded
// form and its key.
struct Query {
  std::u16string text;
  std::u16string folded;
  uint32_t key = 0;
};

// An entry of a group section: its entry header and its headword.
struct FoundEntry {
  EntryHeader header;
  std::u16string headword;
};

// One entry a query found, with its article and, for an alternative headword, where it leads.
struct Match {
  FoundEntry entry;
  // The article as stored (in the header's code page), when `articleHeld`; otherwise it is
  // fetched again through the reader when it is wanted.
  std::string article;
  bool articleHeld = false;
  bool alternative = false;
  std::u16string target;             // the headword an alternative leads to
  std::vector<Match> targetEntries;  // the entries of that headword (never alternatives)
};

// What one query found; empty matches when the word is not in the dictionary.
struct LookupResult {
  // Damaged when a part of the file that this query needed could not be read; the matches are
  // then what could be had.
  Status status;
  std::vector<Match> matches;
};

// Looks words up in a compiled dictionary the way a reader on a device does: the key of the
// query's folded form (folded with the file's own substitution table) is found by a binary
// search of the group table, the group's section is inflated up to the last entry that can
// match, and the entries equal to the query under the entry comparator are taken; their
// articles come through the reader's block cache, and alternative headwords are followed to
// the entries of their targets.
//
// Queries are taken in batches: a batch is ordered by key and folded form first, so that each
// section it needs is inflated once, as far as its last query, and the articles of one group,
// which lie in neighbouring blocks, are fetched together. Memory grows with one section's
// entry, the blocks in the cache and the batch's results, never with the dictionary.
class HeadwordLookup {
 public:
  // Articles held in the results of one batch, at most; beyond it they are fetched again when
  // printed.
  static constexpr size_t kHeldArticleBudget = size_t{8} << 20;

  // Reads the substitution table of `reader`'s file, which must outlive the lookup.
  static Status open(DictionaryReader& reader, std::unique_ptr<HeadwordLookup>* lookup);

  HeadwordLookup(const HeadwordLookup&) = delete;
  HeadwordLookup& operator=(const HeadwordLookup&) = delete;

  // A query for the words a user typed: units below U+0020 other than the tab are dropped, tabs
  // and runs of blanks become one blank, blanks at either end go, and the text is cut to 1023
  // units; then it is folded.
  Query prepare(const std::u16string& text) const;
  // A query for a headword exactly as stored (an alternative's target), only folded.
  Query prepareStored(const std::u16string& headword) const;

  // The entries equal to each query under the entry comparator, results[i] for queries[i].
  // With `follow`, articles are fetched and alternative headwords followed; without it only
  // the entries are found.
  Status lookUp(const std::vector<Query>& queries, bool follow, std::vector<LookupResult>* results);

  // Hands every entry whose folded headword begins with the prefix's folded form to `take`, in
  // file order: the one group of its key when the folded prefix has two units or more, the
  // groups of keys (u << 16) to (u << 16 | 0xFFFF) when it has one unit u, every group when it
  // has none. A failure of `take` stops the listing and is returned.
  Status listPrefix(const Query& prefix, const std::function<Status(const FoundEntry&)>& take);

  // The entries equal to each query, found[i] for queries[i], without their articles;
  // statuses[i] tells whether query i's section could be read whole.
  Status findEntries(const std::vector<Query>& queries, std::vector<std::vector<FoundEntry>>* found,
                     std::vector<Status>* statuses);

  // Binary search of the group table: *found tells whether a group has `key`; *index is that
  // group, or the first group whose key is greater (the group count when there is none).
  Status findGroup(uint32_t key, uint64_t* index, GroupRecord* record, bool* found);

  // The article of an entry as stored; empty for an empty article.
  Status fetchArticle(const EntryHeader& entry, std::string* article) {
    return fetchArticleFrom(reader_, entry, article);
  }
  // The same through another reader of the same file.
  static Status fetchArticleFrom(DictionaryReader& reader, const EntryHeader& entry,
                                 std::string* article);

  DictionaryReader& reader() { return reader_; }

 private:
  HeadwordLookup(DictionaryReader& reader, const SubstitutionTable& table);

  Query foldQuery(std::u16string text) const;
  // Group record `index`, through a small cache that keeps the records a binary search reads
  // most (those near the middle of the table).
  Status groupRecord(uint64_t index, GroupRecord* record);
  // Where the section of group `index` should end: where the next one begins, or at the end of
  // the file; none when the next record cannot be read.
  Status sectionEnd(uint64_t index, uint64_t* end);
  // Fetches the article of `match` and tells whether it is an alternative headword's.
  Status readMatchArticle(Match* match, size_t* held);

  DictionaryReader& reader_;
  HeadwordFolder folder_;
  struct CachedRecord {
    uint64_t index = kNone;
    GroupRecord record;
  };
  std::vector<CachedRecord> recordCache_;
};

}  // namespace zorvak

#endif  // ZORVAK_READER_HEADWORD_LOOKUP_H_
