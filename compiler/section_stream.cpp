#include "compiler/section_stream.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "compiler/units.h"
#include "format/layout.h"
#include "platform/messages.h"

namespace zorvak {
namespace {

// Entries of a streamed section are deflated in pieces of about this many bytes.
constexpr size_t kPieceBytes = 64 * 1024;

}  // namespace

SectionStream::SectionStream(CompressedOutput& output, uint32_t& finishedStreams,
                             size_t streamingBytes)
    : output_(output),
      finishedStreams_(finishedStreams),
      streamingBytes_(streamingBytes),
      stream_(messages::kWriteSections, DeflateStream::kOutputArea,
              streamingLevel(output.compression())) {}

void SectionStream::appendEntry(const EntryList& entries, const EntryRecord& record,
                                uint64_t articleBlock, std::vector<uint8_t>* bytes) {
  EntryHeader entry;
  entry.headwordLength = record.length;
  entry.articleBlock = articleBlock;
  entry.articleStart = record.articleStart;
  entry.articleLength = record.articleLength;
  const size_t at = bytes->size();
  bytes->resize(at + kEntryHeaderSize + 4 * size_t{record.length});
  uint8_t* out = bytes->data() + at;
  encodeEntryHeader(entry, out);
  out += kEntryHeaderSize;
  const uint16_t* headword = entries.headword(record);
  const uint16_t* folded = entries.folded(record);
  // The headword, then the folded-headword slot: the headword with its start overwritten by the
  // folded headword and, when that is shorter, a zero unit after it.
  uint16_t slot[kMaxTextUnits + 1];
  std::copy(headword, headword + record.length, slot);
  std::copy(folded, folded + record.foldedLength, slot);
  if (record.foldedLength < record.length) slot[record.foldedLength] = 0;
  std::memcpy(out, headword, 2 * size_t{record.length});
  std::memcpy(out + 2 * size_t{record.length}, slot, 2 * size_t{record.length});
}

Status SectionStream::writeGroupSection(uint32_t key, uint32_t entryCount,
                                        const EntryList& entries) {
  ++finishedStreams_;
  const std::vector<EntryRecord>& records = entries.records();
  size_t size = 0;
  for (const EntryRecord& r : records)
    size += kEntryHeaderSize + 4 * size_t{r.length};

  std::vector<uint8_t> bytes;
  if (size <= streamingBytes_) {
    bytes.reserve(size);
    uint64_t lastBlock = kNone;
    for (const EntryRecord& r : records) {
      appendEntry(entries, r, r.articleBlock, &bytes);
      if (r.articleBlock != kNone && (lastBlock == kNone || r.articleBlock > lastBlock))
        lastBlock = r.articleBlock;
    }
    // A group without entries still gets a complete stream of its own.
    return output_.addSection(key, entryCount, std::move(bytes), lastBlock);
  }

  // Every block's offset is known once everything before this section is written.
  ZORVAK_RETURN_IF_ERROR(output_.beginStreamedSection());
  ZORVAK_RETURN_IF_ERROR(stream_.open());
  uint64_t produced = 0;
  bool ended = false;
  for (size_t k = 0; k < records.size(); ++k) {
    const EntryRecord& r = records[k];
    appendEntry(entries, r, r.articleBlock == kNone ? kNone : output_.blockOffset(r.articleBlock),
                &bytes);
    const bool last = k + 1 == records.size();
    if (bytes.size() >= kPieceBytes || last) {
      ZORVAK_RETURN_IF_ERROR(stream_.deflateInput(bytes.data(), bytes.size(),
                                                  last ? Z_FINISH : Z_NO_FLUSH, output_.sections(),
                                                  &produced, &ended));
      bytes.clear();
    }
  }
  return output_.endStreamedSection(key, entryCount, produced);
}

}  // namespace zorvak
