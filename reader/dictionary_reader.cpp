#include "reader/dictionary_reader.h"

#include <algorithm>
#include <deque>
#include <optional>

#include "format/coding.h"
#include "platform/messages.h"
#include "reader/zlib_source.h"
#include "text/codepage.h"

namespace zorvak {

DictionaryReader::DictionaryReader(File& file, uint64_t size, const Header& header,
                                   size_t blockBudget)
    : input_(file, size),
      articleInput_(file, std::min(size, header.groupTableOffset)),
      header_(header),
      articles_(articleInput_, header.articleDataOffset, static_cast<int32_t>(header.codePage),
                blockBudget) {}

Status DictionaryReader::open(File& file, std::unique_ptr<DictionaryReader>* reader,
                              size_t blockBudget) {
  const int64_t size = file.size();
  if (size < 0) return Status::InputOutput(messages::kReadInput);
  InputReader input(file, static_cast<uint64_t>(size));
  uint8_t bytes[kHeaderSize];
  size_t got = 0;
  ZORVAK_RETURN_IF_ERROR(input.readAt(0, bytes, kHeaderSize, &got));
  Header header;
  if (got != kHeaderSize || !decodeHeader(bytes, &header) || !headerIsValid(header) ||
      !isSupportedCodePage(static_cast<int32_t>(header.codePage))) {
    return Status::DamagedFile(messages::kDamagedFile);
  }
  // Without a first record there is nothing to salvage.
  const uint64_t tableRoom =
      header.groupTableOffset < input.size() ? input.size() - header.groupTableOffset : 0;
  if (header.groupCount > 0 && tableRoom < kGroupRecordSize) {
    return Status::DamagedFile(messages::kDamagedFile);
  }
  reader->reset(new DictionaryReader(file, static_cast<uint64_t>(size), header, blockBudget));
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

Status DictionaryReader::readSection(const GroupRecord& record, SectionVisitor& visitor,
                                     SectionExtent* extent, uint64_t end) {
  // The sum wraps like any 64-bit offset; a section past the end of the file yields nothing.
  return readSectionAt(header_.sectionDataOffset + record.sectionOffset, visitor, extent, end);
}

Status DictionaryReader::inflateSectionWhole(uint64_t start, uint64_t end, bool* whole,
                                             size_t* consumed) {
  *whole = false;
  if (end == kNone || end <= start || end > input_.size() || end - start > kWholeSectionBytes) {
    return Status::Ok();
  }
  const size_t size = static_cast<size_t>(end - start);
  sectionBytes_.resize(size);
  size_t got = 0;
  ZORVAK_RETURN_IF_ERROR(input_.readAt(start, sectionBytes_.data(), size, &got));
  if (got == size) {
    *whole = sectionStream_.inflate(sectionBytes_.data(), size, kWholeSectionText, consumed);
  }
  // Large compressed bytes are not kept between sections.
  if (size > (size_t{256} << 10)) std::vector<uint8_t>().swap(sectionBytes_);
  return Status::Ok();
}

namespace {

// The start of the entry after the one at `entry`, by its headword length, when the bytes up to
// `end` hold that one whole; null otherwise.
const uint8_t* entryAfter(const uint8_t* entry, const uint8_t* end) {
  if (entry == nullptr || static_cast<size_t>(end - entry) < kEntryHeaderSize) return nullptr;
  const uint32_t length = decodeFixed32(entry);
  if (length == 0 || length > kMaxTextUnits) return nullptr;
  const size_t size = kEntryHeaderSize + 4 * size_t{length};
  return static_cast<size_t>(end - entry) < size ? nullptr : entry + size;
}

}  // namespace

Status DictionaryReader::parseSection(const uint8_t* bytes, size_t count, SectionVisitor& visitor,
                                      bool* stop) {
  *stop = false;
  const uint8_t* const end = bytes + count;
  // The entry last hinted (kHintDistance - 1 on from the next one), found by the headword
  // lengths of the entries between, as far as these bytes hold them; null when not known.
  const uint8_t* hinted = nullptr;
  while (count > 0) {
    bool complete = false;
    const size_t taken = parser_.take(bytes, count, &complete);
    bytes += taken;
    count -= taken;
    if (!complete) {
      if (parser_.broken()) return Status::DamagedFile(messages::kDamagedFile);
      continue;
    }
    ZORVAK_RETURN_IF_ERROR(visitor.visitEntry(parser_.entry(), parser_.headword()));
    if (parser_.broken()) return Status::DamagedFile(messages::kDamagedFile);
    if (visitor.done()) {
      *stop = true;
      return Status::Ok();
    }
    if (hinted != nullptr && hinted >= bytes) {
      hinted = entryAfter(hinted, end);
    } else {
      hinted = bytes;
      for (int step = 0; step < kHintDistance && hinted != nullptr; ++step)
        hinted = entryAfter(hinted, end);
    }
    if (hinted != nullptr && static_cast<size_t>(end - hinted) >= kEntryHeaderSize) {
      visitor.upcoming(EntryHeader{decodeFixed32(hinted), decodeFixed64(hinted + 4),
                                   decodeFixed32(hinted + 12), decodeFixed32(hinted + 16)});
    }
  }
  return Status::Ok();
}

Status DictionaryReader::readSectionAt(uint64_t offset, SectionVisitor& visitor,
                                       SectionExtent* extent, uint64_t end) {
  bool whole = false;
  size_t consumed = 0;
  const uint8_t* text = nullptr;
  size_t textSize = 0;
  const bool prefetchedHere = prefetched_ != nullptr && prefetched_->sectionStart == offset &&
                              prefetched_->sectionEnd == end;
  if (prefetchedHere && prefetched_->sectionStreamed) {
    // A worker inflates it (it would not inflate in one call) while the visitor takes it.
    prefetched_->sectionStreamed = false;
    StreamedSection& streamed = prefetched_->stream;
    // Before each entry the heads the worker made for it are offered to the block cache, and
    // those lent for the entries before and not taken are let go.
    struct TakingHeads : SectionVisitor {
      TakingHeads(SectionVisitor& visitor, StreamedSection& streamed,
                  std::unordered_map<uint64_t, InflatedBlock>& offered)
          : visitor(visitor), streamed(streamed), offered(offered) {}
      ~TakingHeads() override {
        for (const StreamedSection::Named& named : lent)
          offered.erase(named.key);
      }
      Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override {
        while (!lent.empty() && lent.front().entry < visited) {
          offered.erase(lent.front().key);
          lent.pop_front();
        }
        if (visited + kHintDistance >= next) {
          ZORVAK_RETURN_IF_ERROR(
              streamed.takeHeads(visited, visited + kHintDistance, &offered, &lent, &next));
        }
        ++visited;
        return visitor.visitEntry(entry, headword);
      }
      bool done() const override { return visitor.done(); }
      void upcoming(const EntryHeader& entry) override { visitor.upcoming(entry); }
      SectionVisitor& visitor;
      StreamedSection& streamed;
      std::unordered_map<uint64_t, InflatedBlock>& offered;
      std::deque<StreamedSection::Named> lent;
      uint64_t visited = 0;
      uint64_t next = 0;  // the first entry a head may still come for
    } taking(visitor, streamed, prefetched_->heads);
    const Status status = streamSection(offset, taking, extent, &streamed);
    streamed.stop();
    return status;
  }
  if (prefetchedHere && prefetched_->sectionWhole) {
    whole = true;
    consumed = prefetched_->sectionConsumed;
    text = prefetched_->sectionText.data();
    textSize = prefetched_->sectionText.size();
  } else {
    ZORVAK_RETURN_IF_ERROR(inflateSectionWhole(offset, end, &whole, &consumed));
    text = sectionStream_.text();
    textSize = sectionStream_.textSize();
  }
  if (!whole) return streamSection(offset, visitor, extent);

  // Counts the entries visited, so that a walk that stops early can be told where.
  struct Counting : SectionVisitor {
    explicit Counting(SectionVisitor& visitor) : visitor(visitor) {}
    Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override {
      ++visited;
      return visitor.visitEntry(entry, headword);
    }
    bool done() const override { return visitor.done(); }
    void upcoming(const EntryHeader& entry) override { visitor.upcoming(entry); }
    SectionVisitor& visitor;
    uint64_t visited = 0;
  } counting(visitor);
  parser_.reset();
  bool stop = false;
  const Status status = parseSection(text, textSize, counting, &stop);
  if (stop) return Status::Ok();
  if (status.ok()) {
    if (extent != nullptr) *extent = SectionExtent{offset + consumed, textSize, true};
    return parser_.idle() ? Status::Ok() : Status::DamagedFile(messages::kDamagedFile);
  }
  // The walk stopped inside the stream: where the stream stood then is what inflating it piece
  // by piece tells, so it is inflated again that way up to the same entry, without visiting.
  struct Replay : SectionVisitor {
    Status visitEntry(const EntryHeader&, const uint16_t*) override {
      return ++visited == stopAt ? failure : Status::Ok();
    }
    uint64_t visited = 0;
    uint64_t stopAt = 0;
    Status failure;
  } replay;
  if (!parser_.broken()) {
    replay.stopAt = counting.visited;
    replay.failure = status;
  }
  (void)streamSection(offset, replay, extent);
  return status;
}

Status DictionaryReader::streamSection(uint64_t offset, SectionVisitor& visitor,
                                       SectionExtent* extent, StreamedSection* streamed) {
  parser_.reset();
  std::optional<ZlibSource> source;
  StreamedSection::Piece own;
  if (streamed == nullptr) {
    // Most sections are inflated whole: the room for streaming is made on first use.
    if (sectionOutput_.empty()) sectionOutput_.resize(ZlibSource::kOutputSize);
    source.emplace(input_, offset);
    own.bytes = sectionOutput_.data();
  }
  SectionExtent found{offset, 0, false};
  Status status;
  bool stop = false;
  for (bool more = true; more && status.ok() && !visitor.done();) {
    const StreamedSection::Piece* piece = &own;
    if (streamed != nullptr) {
      piece = &streamed->next();
    } else {
      own.status = source->inflateStep(sectionOutput_.data(), &own.produced, &own.outcome);
      own.endOffset = source->endOffset();
      own.inflatedBytes = source->inflatedBytes();
    }
    ZORVAK_RETURN_IF_ERROR(piece->status);
    found.end = piece->endOffset;
    found.inflatedBytes = piece->inflatedBytes;
    if (piece->outcome == ZlibSource::Outcome::kBroken) {
      status = Status::DamagedFile(messages::kDamagedFile);
      break;
    }
    status = parseSection(piece->bytes, piece->produced, visitor, &stop);
    if (stop) return Status::Ok();
    found.ended = piece->outcome == ZlibSource::Outcome::kEnd;
    more = !found.ended;
  }
  if (extent != nullptr) *extent = found;
  if (status.ok() && !parser_.idle()) status = Status::DamagedFile(messages::kDamagedFile);
  return status;
}

void DictionaryReader::prefetchGroups(size_t workers, uint64_t groups) {
  prefetched_ = nullptr;
  articles_.offer(nullptr);
  prefetch_.reset();
  if (workers > 0) {
    prefetch_ = std::make_unique<GroupPrefetch>(input_, articleInput_, header_, groups, workers);
  }
}

Status DictionaryReader::arriveAtGroup(uint64_t index) {
  articles_.beginGroup();
  if (prefetch_ == nullptr) return Status::Ok();
  prefetched_ = prefetch_->arrive(index);
  if (prefetched_ == nullptr) {
    articles_.offer(nullptr);
  } else {
    // A head the cache takes is held there: it no longer counts against the prefetch's budget.
    articles_.offer(&prefetched_->heads, [this, group = prefetched_](size_t bytes) {
      prefetch_->giveBack(group, bytes);
    });
  }
  return prefetched_ != nullptr ? prefetched_->status : Status::Ok();
}

Status DictionaryReader::readSubstitutionTable(SubstitutionTable* table) {
  table->items.clear();
  const uint64_t end = header_.articleDataOffset;
  if (end < kHeaderSize || end > input_.size() ||
      (end - kHeaderSize) % kSubstitutionItemSize != 0) {
    return Status::DamagedFile(messages::kDamagedFile);
  }
  // The table lies inside the file, so its size is bounded by what the file holds.
  uint8_t bytes[1024 * kSubstitutionItemSize];
  for (uint64_t at = kHeaderSize; at < end;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(sizeof(bytes), end - at));
    size_t got = 0;
    ZORVAK_RETURN_IF_ERROR(input_.readAt(at, bytes, want, &got));
    if (got != want) return Status::DamagedFile(messages::kDamagedFile);
    for (size_t i = 0; i < got; i += kSubstitutionItemSize)
      table->items.push_back(decodeSubstitutionItem(bytes + i));
    at += got;
  }
  return Status::Ok();
}

Status DictionaryReader::fetchArticle(const EntryHeader& entry, ArticleSink& sink) {
  const Status damaged = Status::DamagedFile(messages::kDamagedFile);
  if (entry.articleLength == 0) {
    return entry.articleBlock == kNone && entry.articleStart == 0 ? Status::Ok() : damaged;
  }
  const uint64_t at = header_.articleDataOffset + entry.articleBlock;
  if (entry.articleBlock == kNone || at < header_.articleDataOffset ||
      at >= header_.groupTableOffset || entry.articleStart > kBlockUnitLimit) {
    return damaged;
  }
  bool found = false;
  ZORVAK_RETURN_IF_ERROR(
      articles_.fetch(entry.articleBlock, entry.articleStart, entry.articleLength, sink, &found));
  return found ? Status::Ok() : damaged;
}

}  // namespace zorvak
