#include "compiler/spool_writer.h"

namespace zorvak {

SpoolWriter::SpoolWriter(File& file, size_t capacity)
    : writer_(file, capacity * 2, messages::kWriteSpool) {}

void SpoolWriter::putText(const uint16_t* units, size_t count) {
  size_t i = 0;
  // After a mark, a held blank or a stored blank the rules decide unit by unit.
  while (i < count && (blankHeld_ || lastCode_ == kEntryMark || lastCode_ == kArticleMark ||
                       lastCode_ == kBlank)) {
    put(units[i++]);
  }
  size_t last = count;
  while (last > i && units[last - 1] == kBlank)
    --last;
  if (last > i) {
    // Every blank inside the run has a unit other than a blank after it, so it is stored.
    (void)writer_.append(units + i, (last - i) * 2);
    lastCode_ = units[last - 1];
  }
  for (i = last; i < count; ++i)
    put(units[i]);
}

Status SpoolWriter::flush() {
  if (blankHeld_) {
    blankHeld_ = false;
    store(kBlank);
  }
  return writer_.flush();
}

}  // namespace zorvak
