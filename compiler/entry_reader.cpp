#include "compiler/entry_reader.h"

#include <algorithm>

#include "compiler/units.h"
#include "format/layout.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvak {
namespace {

// The first entry mark from `p` on, or `end`; eight units at a time where the processor allows.
const uint16_t* findEntryMark(const uint16_t* p, const uint16_t* end) {
#if defined(__SSE2__)
  const __m128i mark = _mm_set1_epi16(static_cast<short>(kEntryMark));
  for (; end - p >= 8; p += 8) {
    const __m128i units = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const int found = _mm_movemask_epi8(_mm_cmpeq_epi16(units, mark));
    if (found != 0) return p + __builtin_ctz(static_cast<unsigned>(found)) / 2;
  }
#endif
  return std::find(p, end, kEntryMark);
}

}  // namespace

Status EntryReader::parse(const uint16_t* units, size_t count, EntrySink& sink) {
  const uint16_t* p = units;
  const uint16_t* end = units + count;
  while (p < end) {
    switch (state_) {
      case State::kSeek:
      case State::kSkip:
        p = findEntryMark(p, end);
        if (p == end) break;
        ++p;
        length_ = 0;
        headword_[0] = 0;
        state_ = State::kHeadword;
        break;
      case State::kHeadword: {
        const uint16_t u = *p++;
        if (u == kArticleMark) {
          bool take = false;
          ZORVAK_RETURN_IF_ERROR(sink.headword(headword_, length_, &take));
          state_ = take ? State::kArticle : State::kSkip;
        } else if (u == kEntryMark) {
          // An entry without an article mark holds nothing; the next one starts here.
          length_ = 0;
          headword_[0] = 0;
        } else if (length_ < kMaxTextUnits) {
          headword_[length_++] = u;
          headword_[length_] = 0;
        }
        break;
      }
      case State::kArticle: {
        const uint16_t* mark = findEntryMark(p, end);
        if (mark > p) ZORVAK_RETURN_IF_ERROR(sink.article(p, static_cast<size_t>(mark - p)));
        p = mark;
        if (p < end) {
          ZORVAK_RETURN_IF_ERROR(sink.entryEnd());
          ++p;
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

Status EntryReader::finish(EntrySink& sink) {
  const bool open = state_ == State::kArticle;
  state_ = State::kSeek;
  return open ? sink.entryEnd() : Status::Ok();
}

Status EntryReader::read(File& file, uint64_t begin, uint64_t end, const char* readError,
                         EntrySink& sink) {
  state_ = State::kSeek;
  for (uint64_t position = begin; position + 1 < end;) {
    const size_t want = static_cast<size_t>(std::min<uint64_t>(end - position, kReadBytes));
    if (bufferUnits_ * 2 < want) {
      bufferUnits_ = (want + 1) / 2;
      buffer_ = std::make_unique_for_overwrite<uint16_t[]>(bufferUnits_);
    }
    const int64_t got = file.readAt(position, buffer_.get(), want);
    if (got < 2) return Status::InputOutput(readError);
    const size_t units = static_cast<size_t>(got) / 2;
    ZORVAK_RETURN_IF_ERROR(parse(buffer_.get(), units, sink));
    position += units * 2;
    sink.passed(position);
  }
  return finish(sink);
}

}  // namespace zorvak
