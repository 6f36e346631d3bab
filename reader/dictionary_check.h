#ifndef ZORVAK_READER_DICTIONARY_CHECK_H_
#define ZORVAK_READER_DICTIONARY_CHECK_H_

#include <cstdint>
#include <string>

#include "platform/file.h"
#include "platform/status.h"

namespace zorvak {

// Takes the rules a compiled dictionary breaks, one at a time, in words.
class CheckListener {
 public:
  virtual ~CheckListener() = default;
  // A rule broken, with where it is broken (group, entry, offset). Returns whether to go on
  // looking for more.
  virtual bool violation(const std::string& text) = 0;
};

// What a check saw of the file.
struct CheckSummary {
  uint64_t fileSize = 0;
  uint32_t codePage = 0;
  uint64_t groups = 0;
  uint64_t entries = 0;
  uint64_t alternatives = 0;
  uint64_t blocks = 0;
  uint64_t articleBytes = 0;  // article data as stored
  uint64_t articleText = 0;   // article data inflated
  uint64_t sectionBytes = 0;  // section data as stored
  uint64_t sectionText = 0;   // section data inflated
  uint64_t largestSectionGroup = 0;
  uint32_t largestSectionKey = 0;
  uint64_t largestSectionEntries = 0;
  uint64_t largestSectionText = 0;
  uint64_t largestBlockOffset = 0;  // from the article data offset
  uint64_t largestBlockText = 0;
  uint64_t violations = 0;
};

// Checks every rule of a compiled dictionary, in file order: the header and its offsets; the
// article blocks, complete zlib streams back to back; the group table, keys ascending and
// unique; every section a complete stream where its record says, ending where the next begins,
// holding its record's number of entries, each keyed and folded as its headword says, in
// comparator order, with its article inside its block; the entry counts adding up to the
// header's; every alternative headword's target present. Then every headword and alternative
// headword is looked up again through the group table, as a reader finds it (in a section of
// more entries than a batch holds, those after the first batch are found from what the walk
// checks of them, which is what a reader's lookup depends on, so that the check does not read
// a large section again for every batch).
//
// Memory stays bounded: sections and blocks are streamed, the blocks' unit counts (16 bytes a
// block) are kept, and the lookups wait in batches of bounded size. Returns a failure only when
// the file cannot be read; the rules broken go to `listener`.
Status checkDictionary(File& file, CheckListener& listener, CheckSummary* summary);

}  // namespace zorvak

#endif  // ZORVAK_READER_DICTIONARY_CHECK_H_
