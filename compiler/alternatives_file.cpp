#include "compiler/alternatives_file.h"

#include <algorithm>

#include "compiler/units.h"
#include "platform/messages.h"

namespace zorvak {
namespace {

constexpr size_t kWriterCapacity = 256 * 1024;

}  // namespace

AlternativesFile::AlternativesFile(File& file, const HeadwordFolder& folder, IndexGroups& groups)
    : writer_(file, kWriterCapacity, messages::kWriteAlternatives),
      folder_(folder),
      groups_(groups) {}

Status AlternativesFile::addAlternative(const uint16_t* word, size_t wordLength,
                                        const uint16_t* target, size_t targetLength) {
  const uint64_t position = writer_.appended();
  const uint16_t entryMark = kEntryMark;
  const uint16_t marks[2] = {kArticleMark, kReferenceMark};
  ZORVAK_RETURN_IF_ERROR(writer_.append(&entryMark, 2));
  ZORVAK_RETURN_IF_ERROR(writer_.append(word, wordLength * 2));
  ZORVAK_RETURN_IF_ERROR(writer_.append(marks, sizeof(marks)));
  ZORVAK_RETURN_IF_ERROR(writer_.append(target, targetLength * 2));

  // The key of the word as the group scan will read it back: at most 1023 units.
  const size_t length = std::min(wordLength, kMaxTextUnits);
  std::copy(word, word + length, word_);
  word_[length] = 0;
  groups_.registerEntry(folder_.headwordKey(word_, folded_), kNone, position,
                        writer_.appended() - position);
  return Status::Ok();
}

Status AlternativesFile::close() {
  const uint16_t endMark = kEntryMark;
  ZORVAK_RETURN_IF_ERROR(writer_.append(&endMark, 2));
  return writer_.flush();
}

}  // namespace zorvak
