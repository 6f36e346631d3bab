#include "compiler/source_parser.h"

#include <algorithm>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvak {
namespace {

// The end of the run of units from `p` on that are all at or above `floor` (U+0020 for article
// text, U+0021 for headword text), eight units at a time where the processor allows.
const uint16_t* runEnd(const uint16_t* p, const uint16_t* end, uint16_t floor) {
#if defined(__SSE2__)
  // Units are compared as unsigned numbers: u >= floor exactly when the saturating difference
  // floor - u is 0.
  const __m128i limit = _mm_set1_epi16(static_cast<short>(floor));
  const __m128i zero = _mm_setzero_si128();
  for (; end - p >= 8; p += 8) {
    const __m128i chunk = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i below = _mm_cmpeq_epi16(_mm_subs_epu16(limit, chunk), zero);
    const int mask = _mm_movemask_epi8(below) ^ 0xFFFF;
    if (mask != 0) return p + __builtin_ctz(static_cast<unsigned>(mask)) / 2;
  }
#endif
  while (p < end && *p >= floor)
    ++p;
  return p;
}

}  // namespace

SourceParser::SourceParser(SpoolWriter& spool, EntryListener& listener)
    : spool_(spool), listener_(listener) {}

Status SourceParser::parseUnits(const uint16_t* units, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const uint16_t u = units[i];
    switch (state_) {
      case State::kIdle:
        if (u > kBlank) {
          entryPosition_ = spool_.put(kEntryMark);
          spool_.put(u);
          headword_[0] = u;
          headword_[1] = 0;
          length_ = 1;
          state_ = State::kHeadword;
        }
        break;
      case State::kHeadword:
        if (u == kTab || u == kBlank) {
          state_ = State::kHeadwordBlank;
        } else if (u > kBlank) {
          // A run of headword text goes in as one piece.
          const size_t run =
              static_cast<size_t>(runEnd(units + i, units + count, kBlank + 1) - (units + i));
          spool_.putText(units + i, run);
          const size_t kept = std::min(run, kMaxTextUnits - length_);
          std::copy(units + i, units + i + kept, headword_ + length_);
          length_ += kept;
          headword_[length_] = 0;
          i += run - 1;
        }
        break;
      case State::kHeadwordBlank:
        if (u == kTab || u == kBlank) {
          spool_.put(kArticleMark);
          state_ = State::kArticle;
        } else if (u > kBlank) {
          // A single blank stays inside the headword as one blank.
          spool_.put(kBlank);
          append(kBlank);
          spool_.put(u);
          append(u);
          state_ = State::kHeadword;
        }
        break;
      case State::kArticle:
        if (u >= kBlank) {
          // Text after a tab is set off from it by a blank; the run of text up to the next tab,
          // line end or other control goes in as one piece.
          if (spool_.lastCode() == kTab && u != kBlank) spool_.put(kBlank);
          const size_t run =
              static_cast<size_t>(runEnd(units + i, units + count, kBlank) - (units + i));
          spool_.putText(units + i, run);
          i += run - 1;
        } else if (u == kLineFeed) {
          state_ = State::kIdle;
          ZORVAK_RETURN_IF_ERROR(listener_.entryEnded(headword_, length_, entryPosition_));
        } else if (u == kTab) {
          spool_.put(kTab);
        }
        break;
    }
  }
  return spool_.status();
}

}  // namespace zorvak
