#include "compiler/group_scan.h"

#include <algorithm>

#include "compiler/units.h"
#include "format/layout.h"
#include "platform/messages.h"

namespace zorvak {
namespace {

// Entries that stand back to back in a file are read together, up to this many bytes at once.
constexpr uint64_t kRunBytes = 1 << 20;
constexpr size_t kReadUnits = kRunBytes / 2;

}  // namespace

GroupScanner::GroupScanner(File& spool, File& alternatives, const IndexGroups& groups,
                           const HeadwordFolder& folder, ArticleStream& articles,
                           SectionStream& sections)
    : spool_(spool),
      alternatives_(alternatives),
      groups_(groups),
      folder_(folder),
      articles_(articles),
      sections_(sections),
      readBuffer_(std::make_unique<uint16_t[]>(kReadUnits)) {}

Status GroupScanner::scanGroup(const IndexGroup& group) {
  key_ = group.key;
  entries_.clear();
  // Source entries in source order, then alternative headwords in the order they were made:
  // the order in which their article text enters the article data.
  ZORVAK_RETURN_IF_ERROR(scanChain(spool_, messages::kReadSpool, groups_.sourceChains(),
                                   group.sourceEntries.first, &sourceFound_));
  ZORVAK_RETURN_IF_ERROR(scanChain(alternatives_, messages::kReadAlternatives,
                                   groups_.alternativeChains(), group.alternativeRecords.first,
                                   &alternativesFound_));
  entries_.sort();
  ZORVAK_RETURN_IF_ERROR(sections_.writeGroupSection(key_, group.entryCount, entries_));
  entries_.clear();
  return Status::Ok();
}

Status GroupScanner::scanChain(File& file, const char* readMessage, const EntryChains& chains,
                               uint32_t first, uint32_t* found) {
  uint32_t entry = first;
  while (entry != EntryChains::kNoEntry) {
    // A run: this entry and the ones of the chain that directly follow it in the file.
    const uint64_t begin = chains.begin(entry);
    uint32_t last = entry;
    for (;;) {
      const uint32_t next = chains.next(last);
      if (next != last + 1 || chains.end(next) - begin > kRunBytes) break;
      last = next;
    }
    const uint64_t end = chains.end(last);
    state_ = State::kSeek;
    for (uint64_t position = begin; position < end;) {
      const size_t want = static_cast<size_t>(std::min<uint64_t>(end - position, kRunBytes));
      const int64_t got = file.readAt(position, readBuffer_.get(), want);
      if (got < 2) return Status::InputOutput(readMessage);
      const size_t units = static_cast<size_t>(got) / 2;
      ZORVAK_RETURN_IF_ERROR(scanUnits(readBuffer_.get(), units, found));
      position += units * 2;
    }
    // The run ends where the next entry mark of the file stands.
    ZORVAK_RETURN_IF_ERROR(endEntry());
    entry = chains.next(last);
  }
  return Status::Ok();
}

Status GroupScanner::scanUnits(const uint16_t* units, size_t count, uint32_t* found) {
  for (size_t i = 0; i < count; ++i) {
    const uint16_t u = units[i];
    switch (state_) {
      case State::kSeek:
      case State::kSkip:
        if (u == kEntryMark) {
          length_ = 0;
          headword_[0] = 0;
          state_ = State::kHeadword;
        }
        break;
      case State::kHeadword:
        if (u == kArticleMark) {
          articleBlock_ = kNone;
          articleStart_ = 0;
          articleLength_ = 0;
          if (folder_.headwordKey(headword_, folded_, &foldedLength_) == key_) {
            state_ = State::kArticle;
            ++*found;
          } else {
            state_ = State::kSkip;
          }
        } else if (length_ < kMaxTextUnits) {
          headword_[length_++] = u;
          headword_[length_] = 0;
        }
        break;
      case State::kArticle: {
        // Article text runs to the next entry mark; it is fed as one piece.
        const uint16_t* end = std::find(units + i, units + count, kEntryMark);
        const size_t text = static_cast<size_t>(end - (units + i));
        if (text > 0) {
          const bool first = articleBlock_ == kNone;
          ZORVAK_RETURN_IF_ERROR(articles_.feedArticleUnits(
              units + i, text, first ? &articleBlock_ : nullptr, first ? &articleStart_ : nullptr));
          articleLength_ += static_cast<uint32_t>(text);
          i += text;
        }
        if (i < count) {
          // units[i] is the entry mark that starts the next entry.
          ZORVAK_RETURN_IF_ERROR(endEntry());
          length_ = 0;
          headword_[0] = 0;
          state_ = State::kHeadword;
        }
        break;
      }
    }
  }
  return Status::Ok();
}

Status GroupScanner::endEntry() {
  if (state_ != State::kArticle) return Status::Ok();
  state_ = State::kSeek;
  entries_.add(headword_, length_, folded_, foldedLength_, articleBlock_, articleStart_,
               articleLength_);
  return articles_.feedArticleUnit(0, ArticleStream::kEntryEnd, nullptr, nullptr);
}

}  // namespace zorvak
