#ifndef ZORVAK_COMPILER_ALTERNATIVES_FILE_H_
#define ZORVAK_COMPILER_ALTERNATIVES_FILE_H_

#include <cstddef>
#include <cstdint>

#include "compiler/alternatives.h"
#include "compiler/index_groups.h"
#include "format/headword_key.h"
#include "platform/buffered_writer.h"
#include "platform/file.h"

namespace zorvak {

// Writes the alternative headwords file: one record per alternative headword (entry mark, the
// word, article mark, reference mark, the target headword; 16-bit little-endian units), closed
// by one more entry mark. Each record's word is registered in the group of its key, with the
// record's position so that the group scan can read it back directly.
class AlternativesFile : public AlternativeSink {
 public:
  AlternativesFile(File& file, const HeadwordFolder& folder, IndexGroups& groups);

  Status addAlternative(const uint16_t* word, size_t wordLength, const uint16_t* target,
                        size_t targetLength) override;

  // Appends the closing entry mark and writes everything out.
  Status close();

 private:
  BufferedWriter writer_;
  const HeadwordFolder& folder_;
  IndexGroups& groups_;
  uint16_t word_[kTextBufferUnits];
  uint16_t folded_[kTextBufferUnits];
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_ALTERNATIVES_FILE_H_
