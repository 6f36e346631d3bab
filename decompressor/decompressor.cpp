#include "decompressor/decompressor.h"

#include "decompressor/decompress_run.h"

namespace zorvak {

DecompressResult decompressDictionary(File& input, File& output, std::FILE* console) {
  const int64_t size = input.size();
  if (size < 0) return DecompressResult{Status::Error("error read input file!"), false};
  DecompressRun run(input, static_cast<uint64_t>(size), output, console);
  return run.decompressDictionary();
}

}  // namespace zorvak
