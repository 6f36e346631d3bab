#ifndef ZORVAK_DECOMPRESSOR_DECOMPRESSOR_H_
#define ZORVAK_DECOMPRESSOR_DECOMPRESSOR_H_

#include <cstdio>

#include "driver/platform/file.h"
#include "driver/platform/status.h"

namespace zorvak {

// What a decompress run leaves for the driver: a failure message (or none), and whether the
// text written so far belongs in place of the input's ".txt" (false when the input was
// rejected before any line was written, so that an existing text stays as it was).
struct DecompressResult {
  Status status;
  bool keepOutput = true;
};

// Writes every entry of the compiled dictionary `input` to `output` as one line of text in the
// dictionary's code page, printing a progress line per group on `console`. The encoder state
// that writes the headwords lives for this one call.
//
// A damaged file is salvaged: every line that can be rebuilt is written and every group gets
// its progress line; when a group section or an article could not be inflated, or a section
// ended inside an entry, the result is "error file!" with the output kept.
DecompressResult decompressDictionary(File& input, File& output, std::FILE* console);

}  // namespace zorvak

#endif  // ZORVAK_DECOMPRESSOR_DECOMPRESSOR_H_
