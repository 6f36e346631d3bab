#include "reader/dictionary_reader.h"

#include "platform/messages.h"
#include "reader/zlib_source.h"

namespace zorvak {

DictionaryReader::DictionaryReader(File& file, uint64_t size, const Header& header)
    : input_(file, size),
      header_(header),
      articles_(input_, header.articleDataOffset, static_cast<int32_t>(header.codePage)),
      sectionOutput_(ZlibSource::kOutputSize) {}

Status DictionaryReader::open(File& file, std::unique_ptr<DictionaryReader>* reader) {
  const int64_t size = file.size();
  if (size < 0) return Status::InputOutput(messages::kReadInput);
  InputReader input(file, static_cast<uint64_t>(size));
  uint8_t bytes[kHeaderSize];
  size_t got = 0;
  ZORVAK_RETURN_IF_ERROR(input.readAt(0, bytes, kHeaderSize, &got));
  Header header;
  if (got != kHeaderSize || !decodeHeader(bytes, &header) || !headerIsValid(header)) {
    return Status::DamagedFile(messages::kDamagedFile);
  }
  // Without a first record there is nothing to salvage.
  const uint64_t tableRoom =
      header.groupTableOffset < input.size() ? input.size() - header.groupTableOffset : 0;
  if (header.groupCount > 0 && tableRoom < kGroupRecordSize) {
    return Status::DamagedFile(messages::kDamagedFile);
  }
  reader->reset(new DictionaryReader(file, static_cast<uint64_t>(size), header));
  return Status::Ok();
}

Status DictionaryReader::readGroupRecord(uint64_t index, GroupRecord* record) {
  uint8_t bytes[kGroupRecordSize];
  size_t got = 0;
  // An index beyond 2^60 or a sum that wraps cannot be a record of this file.
  const uint64_t at = header_.groupTableOffset + index * kGroupRecordSize;
  if (index < (uint64_t{1} << 60) && at >= header_.groupTableOffset) {
    ZORVAK_RETURN_IF_ERROR(input_.readAt(at, bytes, kGroupRecordSize, &got));
  }
  if (got < kGroupRecordSize) return Status::DamagedFile(messages::kDamagedFile);
  *record = decodeGroupRecord(bytes);
  return Status::Ok();
}

Status DictionaryReader::readSection(const GroupRecord& record, SectionVisitor& visitor) {
  parser_.reset();
  // The sum wraps like any 64-bit offset; a section past the end of the file yields nothing.
  ZlibSource source(input_, header_.sectionDataOffset + record.sectionOffset);
  for (;;) {
    size_t produced = 0;
    ZlibSource::Outcome outcome;
    ZORVAK_RETURN_IF_ERROR(source.inflateStep(sectionOutput_.data(), &produced, &outcome));
    if (outcome == ZlibSource::Outcome::kBroken) return Status::DamagedFile(messages::kDamagedFile);
    const uint8_t* bytes = sectionOutput_.data();
    while (produced > 0) {
      bool complete = false;
      const size_t taken = parser_.take(bytes, produced, &complete);
      bytes += taken;
      produced -= taken;
      if (complete) ZORVAK_RETURN_IF_ERROR(visitor.visitEntry(parser_.entry(), parser_.headword()));
    }
    if (outcome == ZlibSource::Outcome::kEnd) break;
  }
  if (!parser_.idle()) return Status::DamagedFile(messages::kDamagedFile);
  return Status::Ok();
}

Status DictionaryReader::fetchArticle(const EntryHeader& entry, ArticleText* text) {
  if (entry.articleLength == 0) {
    *text = ArticleText{true, nullptr, 0};
    return Status::Ok();
  }
  ZORVAK_RETURN_IF_ERROR(
      articles_.fetch(entry.articleBlock, entry.articleStart, entry.articleLength, text));
  if (!text->found) return Status::DamagedFile(messages::kDamagedFile);
  return Status::Ok();
}

}  // namespace zorvak
