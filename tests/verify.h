#ifndef ZORVAK_TESTS_VERIFY_H_
#define ZORVAK_TESTS_VERIFY_H_

// Reads a compiled dictionary completely and checks it against the rules of the format: the
// regions in order and back to back, every article block and group section a complete zlib
// stream of its own, entry counts that add up, every article inside its block, group keys
// ascending and equal to each entry's key, and the entries of each section in index order.

#include <cstdint>
#include <string>
#include <vector>

#include "format/layout.h"

namespace zorvak::testing {

// One entry of a group section.
struct CompiledEntry {
  EntryHeader header;
  std::u16string headword;
  std::u16string slot;    // the folded-headword slot, as stored (L units)
  std::u16string folded;  // the folded headword: the slot up to its zero unit
};

struct CompiledGroup {
  GroupRecord record;
  std::vector<CompiledEntry> entries;
  uint64_t sectionSize = 0;  // compressed bytes
};

struct ArticleBlock {
  uint64_t offset = 0;             // from the article data offset
  uint64_t size = 0;               // compressed bytes
  std::string text;                // inflated bytes
  std::vector<size_t> unitStarts;  // byte offset in `text` of each unit
};

struct CompiledDictionary {
  Header header;
  std::vector<SubstitutionItem> substitutions;
  std::vector<ArticleBlock> blocks;
  std::vector<CompiledGroup> groups;
  uint64_t fileSize = 0;

  // The stored bytes of an entry's article (in the header's code page), empty when it has none.
  std::string articleBytes(const EntryHeader& entry) const;
  // The entry of a group with this headword (UTF-16), or null.
  const CompiledEntry* find(const std::u16string& headword) const;
};

// Reads `bytes` as a compiled dictionary into *dictionary (as far as it can) and returns every
// rule it breaks, in words; empty when the file is sound.
std::vector<std::string> verifyCompiled(const std::string& bytes, CompiledDictionary* dictionary);

// The same for a file on disk.
std::vector<std::string> verifyCompiledFile(const std::string& name,
                                            CompiledDictionary* dictionary);

}  // namespace zorvak::testing

#endif  // ZORVAK_TESTS_VERIFY_H_
