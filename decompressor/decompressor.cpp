#include "decompressor/decompressor.h"

#include "decompressor/decompress_run.h"

namespace zorvak {

Status decompressDictionary(DictionaryReader& reader, File& output, DecompressProgress& progress,
                            size_t workers) {
  DecompressRun run(reader, output, progress, workers);
  return run.decompressDictionary();
}

}  // namespace zorvak
