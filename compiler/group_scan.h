#ifndef ZORVAK_COMPILER_GROUP_SCAN_H_
#define ZORVAK_COMPILER_GROUP_SCAN_H_

#include <cstddef>
#include <cstdint>
#include <memory>

#include "compiler/article_stream.h"
#include "compiler/entry_list.h"
#include "compiler/index_groups.h"
#include "compiler/section_stream.h"
#include "format/headword_key.h"
#include "platform/file.h"
#include "platform/status.h"

namespace zorvak {

// Turns one index group into its section: reads the group's entries back from the text spool
// (in source order) and from the alternative headwords file (in the order they were produced),
// feeds their article text to the article stream, orders them by folded headword and writes
// them as the group's section with its group record. Only the group's own entries are read,
// each once.
class GroupScanner {
 public:
  GroupScanner(File& spool, File& alternatives, const IndexGroups& groups,
               const HeadwordFolder& folder, ArticleStream& articles, SectionStream& sections);

  Status scanGroup(const IndexGroup& group);

  // Source entries and alternative headwords found so far, over all groups.
  uint32_t sourceEntriesFound() const { return sourceFound_; }
  uint32_t alternativesFound() const { return alternativesFound_; }

 private:
  enum class State { kSeek, kHeadword, kArticle, kSkip };

  // Reads the entries of one chain, in runs of entries that stand back to back in the file.
  Status scanChain(File& file, const char* readMessage, const EntryChains& chains, uint32_t first,
                   uint32_t* found);
  // Runs the entry reader over units of a run; entries start at their entry marks.
  Status scanUnits(const uint16_t* units, size_t count, uint32_t* found);
  // Ends the entry being read, if it is one of the group's.
  Status endEntry();

  File& spool_;
  File& alternatives_;
  const IndexGroups& groups_;
  const HeadwordFolder& folder_;
  ArticleStream& articles_;
  SectionStream& sections_;

  uint32_t key_ = 0;
  State state_ = State::kSeek;
  uint16_t headword_[kTextBufferUnits] = {};
  size_t length_ = 0;
  uint16_t folded_[kTextBufferUnits] = {};
  size_t foldedLength_ = 0;
  uint64_t articleBlock_ = kNone;
  uint32_t articleStart_ = 0;
  uint32_t articleLength_ = 0;

  EntryList entries_;
  std::unique_ptr<uint16_t[]> readBuffer_;
  uint32_t sourceFound_ = 0;
  uint32_t alternativesFound_ = 0;
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_GROUP_SCAN_H_
