// Damaged compiled dictionaries: each folder under tests/damaged holds one file that breaks a
// rule of the format, or costs far more to read than it holds (made by make_damaged.py from
// sample.zorvak), and what decompressing it must give:
//   d.zorvak or d.zorvak.gz   the file (gzip-compressed when it is large)
//   stdout, status, files     as for the golden runs
//   out/d.zorvak.txt          the text, to the byte (when it is small)
//   text                      else its size and CRC-32, in hexadecimal
// Every run is held to bounds of memory, processor time and bytes written that a reader that
// trusted the file would break by far.

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/harness.h"

namespace zorvak::testing {
namespace {

const std::string kDamagedDir = std::string(ZORVAK_SOURCE_DIR) + "/tests/damaged";

std::string gunzip(const std::string& name) {
  gzFile in = gzopen(name.c_str(), "rb");
  EXPECT_NE(in, nullptr) << name;
  std::string bytes;
  char buffer[65536];
  for (int got; in != nullptr && (got = gzread(in, buffer, sizeof(buffer))) > 0;)
    bytes.append(buffer, static_cast<size_t>(got));
  if (in != nullptr) gzclose(in);
  return bytes;
}

std::vector<std::string> caseNames() {
  std::vector<std::string> names;
  for (const std::string& name : listFolder(kDamagedDir)) {
    if (!listFolder(kDamagedDir + "/" + name).empty()) names.push_back(name);
  }
  return names;
}

class DamagedFile : public ::testing::TestWithParam<std::string> {};

TEST_P(DamagedFile, IsSalvagedWithinBounds) {
  const std::string dir = kDamagedDir + "/" + GetParam();
  ScratchFolder folder;
  const std::vector<std::string> given = listFolder(dir);
  const bool packed = std::count(given.begin(), given.end(), "d.zorvak.gz") > 0;
  folder.write("d.zorvak", packed ? gunzip(dir + "/d.zorvak.gz") : readFile(dir + "/d.zorvak"));

  RunOptions options;
#ifndef __SANITIZE_ADDRESS__
  // The address sanitizer reserves far more address space than this.
  options.memoryLimit = 96u << 20;
#endif
  options.cpuLimit = 60;
  options.fileSizeLimit = 128u << 20;
  const RunResult result = folder.run({"d.zorvak", "0"}, options);
  EXPECT_EQ(result.output, readFile(dir + "/stdout"));
  EXPECT_EQ(result.status, std::stoi(readFile(dir + "/status")));
  EXPECT_EQ(folder.list(), linesOf(readFile(dir + "/files")));
  if (std::count(given.begin(), given.end(), "out") > 0) {
    EXPECT_EQ(folder.read("d.zorvak.txt"), readFile(dir + "/out/d.zorvak.txt"));
  }
  if (std::count(given.begin(), given.end(), "text") > 0) {
    const std::string text = folder.read("d.zorvak.txt");
    char summary[64];
    std::snprintf(
        summary, sizeof(summary), "%zu %08lx\n", text.size(),
        crc32(0, reinterpret_cast<const Bytef*>(text.data()), static_cast<uInt>(text.size())));
    EXPECT_EQ(summary, readFile(dir + "/text"));
  }
}

INSTANTIATE_TEST_SUITE_P(Damaged, DamagedFile, ::testing::ValuesIn(caseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace zorvak::testing
