#include "decompressor/decompressor.h"

#include "decompressor/decompress_run.h"

namespace zorvak {

Status decompressDictionary(DictionaryReader& reader, File& output, DecompressProgress& progress) {
  DecompressRun run(reader, output, progress);
  return run.decompressDictionary();
}

}  // namespace zorvak
