// The decompressor and the check over whole compiled dictionaries, sound or damaged. Whatever
// the file, the decompress ends in success or in "error file!" (reads and writes do not fail
// here), and success means that every entry the header counts was written. A file that keeps
// every rule of the format, as the check and the tests' verifier see it, is never taken for
// damaged.
//
// Each input is also run with the checksums of its zlib streams made right again: a mutation
// inside a stream then reaches the entry parser and the article cutter instead of being stopped
// by the stream's checksum.

#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "decompressor/decompressor.h"
#include "format/coding.h"
#include "format/layout.h"
#include "fuzz/fuzz_support.h"
#include "platform/file.h"
#include "platform/messages.h"
#include "reader/dictionary_check.h"
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

// Rewrites the Adler-32 trailer of each zlib stream of the run that begins at `at` (streams
// back to back, up to `end`) to the checksum of what its deflate data yields. Stops at the first
// stream that is not one.
void repairStreams(std::string& file, uint64_t at, uint64_t end) {
  end = std::min<uint64_t>(end, file.size());
  std::vector<uint8_t> out(65536);
  while (at < end && end - at >= 6) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(file.data());
    if ((bytes[at] & 0x0F) != 8 || (bytes[at] * 256 + bytes[at + 1]) % 31 != 0) return;
    z_stream stream{};
    if (inflateInit2(&stream, -15) != Z_OK) return;
    stream.next_in = const_cast<Bytef*>(bytes + at + 2);
    stream.avail_in = static_cast<uInt>(end - at - 2);
    uLong adler = adler32(0, nullptr, 0);
    int result = Z_OK;
    while (result == Z_OK) {
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(out.size());
      result = inflate(&stream, Z_NO_FLUSH);
      adler = adler32(adler, out.data(), static_cast<uInt>(out.size() - stream.avail_out));
      // A stream that inflates to more than a fuzz input should ever give is left as it is.
      if (stream.total_out > (uint64_t{64} << 20)) result = Z_DATA_ERROR;
    }
    const uint64_t trailer = at + 2 + stream.total_in;
    inflateEnd(&stream);
    if (result != Z_STREAM_END || end - trailer < 4) return;
    for (int i = 0; i < 4; ++i)
      file[trailer + i] = static_cast<char>(adler >> (24 - 8 * i));
    at = trailer + 4;
  }
}

// Counts the rules the check finds broken.
class Violations : public CheckListener {
 public:
  bool violation(const std::string&) override {
    ++count;
    return true;
  }
  uint64_t count = 0;
};

std::string withStreamsRepaired(const std::string& file) {
  Header header;
  if (file.size() < kHeaderSize ||
      !decodeHeader(reinterpret_cast<const uint8_t*>(file.data()), &header)) {
    return file;
  }
  std::string repaired = file;
  repairStreams(repaired, header.articleDataOffset, header.groupTableOffset);
  repairStreams(repaired, header.sectionDataOffset, repaired.size());
  return repaired;
}

void decompressAndCheck(const std::string& bytes) {
  const std::string folder = scratchFolder();
  const std::string inputName = folder + "/d.zorvak";
  const std::string outputName = folder + "/d.zorvak.txt";
  writeFile(inputName, bytes);
  File input = File::openForReading(inputName);
  File output = File::openOrCreate(outputName);
  FUZZ_CHECK(input.isOpen() && output.isOpen() && output.truncate());

  std::unique_ptr<DictionaryReader> reader;
  Status status = DictionaryReader::open(input, &reader);
  Counters counters;
  if (status.ok()) status = decompressDictionary(*reader, output, counters);
  reader.reset();
  output.close();
  Violations violations;
  CheckSummary summary;
  FUZZ_CHECK(checkDictionary(input, violations, &summary).ok());
  input.close();

  testing::CompiledDictionary dictionary;
  const std::vector<std::string> problems = testing::verifyCompiled(bytes, &dictionary);
  if (!status.ok()) {
    FUZZ_CHECK(status.kind() == StatusKind::kDamagedFile);
    FUZZ_CHECK(std::string(status.message()) == messages::kDamagedFile);
    FUZZ_CHECK(!problems.empty());
    FUZZ_CHECK(violations.count > 0);
    return;
  }
  FUZZ_CHECK(bytes.size() >= kHeaderSize &&
             counters.written ==
                 decodeFixed32(reinterpret_cast<const uint8_t*>(bytes.data()) + 20));
}

}  // namespace
}  // namespace zorvak::fuzz

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zorvak::fuzz;
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  decompressAndCheck(bytes);
  const std::string repaired = withStreamsRepaired(bytes);
  if (repaired != bytes) decompressAndCheck(repaired);
  return 0;
}
