#include "reader/dictionary_walk.h"

#include <algorithm>

#include "platform/messages.h"

namespace zorvak {
namespace {

Status damaged() {
  return Status::DamagedFile(messages::kDamagedFile);
}

}  // namespace

DictionaryWalk::DictionaryWalk(DictionaryReader& reader) : reader_(reader) {
  const Header& header = reader.header();
  const uint64_t tableEnd = std::min(header.sectionDataOffset, reader.fileSize());
  const uint64_t room = header.groupTableOffset < tableEnd ? tableEnd - header.groupTableOffset : 0;
  groupCount_ = room / kGroupRecordSize;
  tableWhole_ = room % kGroupRecordSize == 0;
  nextSection_ = header.sectionDataOffset;
  sectionFloor_ = header.sectionDataOffset;
}

Status DictionaryWalk::walkGroup(uint64_t index, GroupRecord* record, SectionVisitor& visitor) {
  *record = GroupRecord{};
  ZORVAK_RETURN_IF_ERROR(reader_.readGroupRecord(index, record));
  ZORVAK_RETURN_IF_ERROR(reader_.arriveAtGroup(index));
  Status status;
  if (index > 0 && record->key <= lastKey_) status = damaged();
  lastKey_ = record->key;
  recordEntries_ += record->entryCount;

  const uint64_t sectionData = reader_.header().sectionDataOffset;
  const uint64_t stated = sectionData + record->sectionOffset;
  const bool wraps = stated < sectionData;
  uint64_t at = nextSection_;
  if (chained_) {
    // Sections lie back to back: this one begins where the one before ended.
    if (wraps || stated != at) status = damaged();
  } else {
    // Where the section before ended is not known: the record is taken at its word, unless it
    // points back into what was read already.
    if (wraps || stated < sectionFloor_) return damaged();
    at = stated;
  }

  uint64_t end = kNone;
  ZORVAK_RETURN_IF_ERROR(sectionEnd(index, &end));
  visitor_ = &visitor;
  groupEntries_ = 0;
  SectionExtent extent;
  const Status read = reader_.readSectionAt(at, *this, &extent, end);
  visitor_ = nullptr;
  places_.endGroup();
  // The articles of the next groups lie after this one's: the blocks before are done with.
  reader_.forgetBlocksBefore(places_.floorBlock());
  if (!read.ok() && read.kind() != StatusKind::kDamagedFile) return read;
  if (status.ok()) status = read;
  sectionFloor_ = std::max(sectionFloor_, extent.end);
  chained_ = extent.ended;
  nextSection_ = extent.end;
  if (groupEntries_ != record->entryCount && status.ok()) status = damaged();
  return status;
}

Status DictionaryWalk::sectionEnd(uint64_t index, uint64_t* end) {
  *end = reader_.fileSize();
  if (index + 1 >= groupCount_) return Status::Ok();
  GroupRecord next;
  const Status read = reader_.readGroupRecord(index + 1, &next);
  if (!read.ok() && read.kind() != StatusKind::kDamagedFile) return read;
  const uint64_t sectionData = reader_.header().sectionDataOffset;
  const uint64_t start = sectionData + next.sectionOffset;
  *end = read.ok() && start >= sectionData ? start : kNone;
  return Status::Ok();
}

Status DictionaryWalk::visitEntry(const EntryHeader& entry, const uint16_t* headword) {
  ++groupEntries_;
  ++entries_;
  return visitor_->visitEntry(entry, headword);
}

Status DictionaryWalk::fetchArticle(const EntryHeader& entry, ArticleSink& sink) {
  // A location that no block can hold is the reader's to reject.
  if (entry.articleLength == 0 || entry.articleBlock == kNone ||
      entry.articleStart > kBlockUnitLimit) {
    return reader_.fetchArticle(entry, sink);
  }
  const uint64_t block = entry.articleBlock;
  const uint64_t start = entry.articleStart;
  const uint64_t end = start + entry.articleLength;
  if (places_.check(block, start, end) != ArticlePlaces::Verdict::kFree) return damaged();
  // The units are the group's once any of their text has been handed over.
  struct Counting : ArticleSink {
    explicit Counting(ArticleSink& sink) : sink(sink) {}
    Status take(const uint8_t* bytes, size_t count) override {
      handed += count;
      return sink.take(bytes, count);
    }
    ArticleSink& sink;
    uint64_t handed = 0;
  } counting(sink);
  const Status status = reader_.fetchArticle(entry, counting);
  if (status.ok() || counting.handed > 0) places_.take(block, start, end);
  return status;
}

Status DictionaryWalk::finish() const {
  const Header& header = reader_.header();
  const bool sound = tableWhole_ && groupCount_ == header.groupCount &&
                     header.sectionDataOffset <= reader_.fileSize() && chained_ &&
                     nextSection_ == reader_.fileSize() && recordEntries_ == header.entryCount &&
                     entries_ == header.entryCount && header.articleDataOffset >= kHeaderSize &&
                     (header.articleDataOffset - kHeaderSize) % kSubstitutionItemSize == 0;
  return sound ? Status::Ok() : damaged();
}

}  // namespace zorvak
