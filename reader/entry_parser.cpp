#include "reader/entry_parser.h"

#include "format/coding.h"

namespace zorvak {
namespace {

// Steps of the parser: the fields of the entry header one unit at a time, then the two texts.
enum Step {
  kLengthLow = 0,
  kLengthHigh = 1,
  kBlock0 = 2,
  kBlock1 = 3,
  kBlock2 = 4,
  kBlock3 = 5,
  kStartLow = 6,
  kStartHigh = 7,
  kArticleLengthLow = 8,
  kArticleLengthHigh = 9,
  kHeadword = 10,
  kFolded = 11,
};

// Stores a text unit as long as the buffer has room; the fill counts stored units only, so a
// length above the buffer's is never reached.
void storeUnit(uint16_t* buffer, uint32_t* fill, uint16_t unit) {
  if (*fill < kMaxTextUnits) {
    buffer[*fill] = unit;
    ++*fill;
    buffer[*fill] = 0;
  }
}

}  // namespace

void EntryParser::reset() {
  pending_ = false;
  broken_ = false;
  step_ = kLengthLow;
  fieldUnits_ = 0;
}

size_t EntryParser::takeWhole(const uint8_t* bytes, size_t count, bool* complete) {
  const uint32_t length = decodeFixed32(bytes);
  if (length == 0 || length > kMaxTextUnits) {
    // As unit by unit: the length is read, and nothing after it can be told apart.
    fieldUnits_ = 0;
    headword_[0] = 0;
    folded_[0] = 0;
    entry_.headwordLength = length;
    broken_ = true;
    return count;
  }
  const size_t size = kEntryHeaderSize + 4 * size_t{length};
  if (count < size) return 0;
  entry_ = decodeEntryHeader(bytes);
  for (uint32_t i = 0; i < length; ++i) {
    headword_[i] = decodeFixed16(bytes + kEntryHeaderSize + 2 * i);
    folded_[i] = decodeFixed16(bytes + kEntryHeaderSize + 2 * (length + i));
  }
  headword_[length] = 0;
  folded_[length] = 0;
  fieldUnits_ = length;
  *complete = true;
  return size;
}

size_t EntryParser::take(const uint8_t* bytes, size_t count, bool* complete) {
  *complete = false;
  if (broken_) return count;
  // An entry that lies whole in the bytes is taken at once.
  if (step_ == kLengthLow && !pending_ && count >= kEntryHeaderSize) {
    const size_t taken = takeWhole(bytes, count, complete);
    if (taken > 0) return taken;
  }
  for (size_t i = 0; i < count; ++i) {
    if (!pending_ && step_ >= kHeadword && count - i >= 2) i += takeText(bytes + i, count - i);
    if (i == count) break;
    if (!pending_) {
      low_ = bytes[i];
      pending_ = true;
      continue;
    }
    pending_ = false;
    if (takeUnit(static_cast<uint16_t>(low_ | (bytes[i] << 8)))) {
      *complete = true;
      return i + 1;
    }
    if (broken_) return count;
  }
  return count;
}

size_t EntryParser::takeText(const uint8_t* bytes, size_t count) {
  // Whole units up to the one before the end of the field; the last goes through takeUnit.
  uint16_t* buffer = step_ == kHeadword ? headword_ : folded_;
  size_t taken = 0;
  while (taken + 2 <= count && fieldUnits_ + 1 < entry_.headwordLength &&
         fieldUnits_ < kMaxTextUnits) {
    buffer[fieldUnits_++] = static_cast<uint16_t>(bytes[taken] | (bytes[taken + 1] << 8));
    taken += 2;
  }
  buffer[fieldUnits_] = 0;
  return taken;
}

bool EntryParser::takeUnit(uint16_t unit) {
  switch (step_) {
    case kLengthLow:
      fieldUnits_ = 0;
      headword_[0] = 0;
      folded_[0] = 0;
      entry_.headwordLength = unit;
      break;
    case kLengthHigh:
      entry_.headwordLength += uint32_t{unit} << 16;
      broken_ = entry_.headwordLength == 0 || entry_.headwordLength > kMaxTextUnits;
      break;
    case kBlock0:
      entry_.articleBlock = unit;
      break;
    case kBlock1:
    case kBlock2:
    case kBlock3:
      entry_.articleBlock += uint64_t{unit} << (16 * (step_ - kBlock0));
      break;
    case kStartLow:
      entry_.articleStart = unit;
      break;
    case kStartHigh:
      entry_.articleStart += uint32_t{unit} << 16;
      break;
    case kArticleLengthLow:
      entry_.articleLength = unit;
      break;
    case kArticleLengthHigh:
      entry_.articleLength += uint32_t{unit} << 16;
      break;
    case kHeadword:
      storeUnit(headword_, &fieldUnits_, unit);
      if (fieldUnits_ == entry_.headwordLength) {
        fieldUnits_ = 0;
        step_ = kFolded;
      }
      return false;
    case kFolded:
      storeUnit(folded_, &fieldUnits_, unit);
      if (fieldUnits_ == entry_.headwordLength) {
        step_ = kLengthLow;
        return true;
      }
      return false;
  }
  ++step_;
  return false;
}

}  // namespace zorvak
