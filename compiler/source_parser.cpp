#include "compiler/source_parser.h"

namespace zorvak {

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
          spool_.put(u);
          append(u);
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
          // Text after a tab is set off from it by a blank.
          if (spool_.lastCode() == kTab && u != kBlank) spool_.put(kBlank);
          spool_.put(u);
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
