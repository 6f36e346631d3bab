// The decompressor over whole compiled dictionaries, sound or damaged. Whatever the file, the
// run ends in success or in "error file!" (reads and writes do not fail here). Success means
// that every entry the header counts was written; and a file that keeps every rule of the
// format is never taken for damaged.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "decompressor/decompressor.h"
#include "format/coding.h"
#include "format/layout.h"
#include "fuzz/fuzz_support.h"
#include "platform/file.h"
#include "platform/messages.h"
#include "reader/dictionary_reader.h"
#include "tests/verify.h"

namespace zorvak::fuzz {
namespace {

// The counters of the last group written.
class Counters : public DecompressProgress {
 public:
  void groupWritten(uint32_t, uint32_t main, uint32_t alternative) override {
    written = uint64_t{main} + alternative;
  }
  void decompressFinished() override {}
  uint64_t written = 0;
};

}  // namespace
}  // namespace zorvak::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zorvak;
  using namespace zorvak::fuzz;
  const std::string folder = scratchFolder();
  const std::string inputName = folder + "/d.zorvak";
  const std::string outputName = folder + "/d.zorvak.txt";
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  writeFile(inputName, bytes);
  File input = File::openForReading(inputName);
  File output = File::openOrCreate(outputName);
  FUZZ_CHECK(input.isOpen() && output.isOpen() && output.truncate());

  std::unique_ptr<DictionaryReader> reader;
  Status status = DictionaryReader::open(input, &reader);
  Counters counters;
  if (status.ok()) status = decompressDictionary(*reader, output, counters);
  reader.reset();
  input.close();
  output.close();

  testing::CompiledDictionary dictionary;
  const bool sound = testing::verifyCompiled(std::string(bytes), &dictionary).empty();
  if (!status.ok()) {
    FUZZ_CHECK(status.kind() == StatusKind::kDamagedFile);
    FUZZ_CHECK(std::string(status.message()) == messages::kDamagedFile);
    FUZZ_CHECK(!sound);
    return 0;
  }
  FUZZ_CHECK(size >= kHeaderSize && counters.written == decodeFixed32(data + 20));
  return 0;
}
