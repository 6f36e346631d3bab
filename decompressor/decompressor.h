#ifndef ZORVAK_DECOMPRESSOR_DECOMPRESSOR_H_
#define ZORVAK_DECOMPRESSOR_DECOMPRESSOR_H_

#include <cstddef>

#include "decompressor/decompress_progress.h"
#include "platform/file.h"
#include "platform/status.h"
#include "reader/dictionary_reader.h"

namespace zorvak {

// Writes every entry of the opened compiled dictionary `reader` to `output` as one line of text
// in the dictionary's code page, reporting each group to `progress`. The encoder state that
// writes the headwords lives for this one call.
//
// A damaged file is salvaged: every line that can be rebuilt is written and every group that
// the table holds is reported; when a group section or an article could not be inflated, or a
// section ended inside an entry, the result is a damaged-file status once all is written. An
// input/output status means the text is incomplete.
//
// `workers` threads inflate sections and article blocks ahead of the writing; none: all in the
// caller's thread. The text is the same for any number.
Status decompressDictionary(DictionaryReader& reader, File& output, DecompressProgress& progress,
                            size_t workers = 0);

// Whether the text a decompress wrote belongs in place of the input's ".txt": after success and
// after a salvage, not after a failed read or write.
inline bool decompressedTextIsKept(const Status& status) {
  return status.ok() || status.kind() == StatusKind::kDamagedFile;
}

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_DECOMPRESSOR_H_
