// Golden runs: each folder under tests/golden holds a run of the program and everything it must
// leave, to the byte:
//   args     the arguments, one a line
//   in/      files put into the scratch folder before the run
//   stdout   what the program prints
//   status   its exit status
//   files    the names in the folder after the run, one a line
//   out/     files that must hold exactly these bytes after the run (optional)

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/harness.h"

namespace zorvak::testing {
namespace {

const std::string kGoldenDir = std::string(ZORVAK_SOURCE_DIR) + "/tests/golden";

class GoldenRun : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenRun, MatchesToTheByte) {
  const std::string dir = kGoldenDir + "/" + GetParam();
  ScratchFolder folder;
  for (const std::string& name : listFolder(dir + "/in")) {
    folder.write(name, readFile(dir + "/in/" + name));
  }
  RunResult result = folder.run(linesOf(readFile(dir + "/args")));
  EXPECT_EQ(result.output, readFile(dir + "/stdout"));
  EXPECT_EQ(result.status, std::stoi(readFile(dir + "/status")));
  EXPECT_EQ(folder.list(), linesOf(readFile(dir + "/files")));
  for (const std::string& name : listFolder(dir + "/out")) {
    EXPECT_EQ(folder.read(name), readFile(dir + "/out/" + name)) << name;
  }
}

INSTANTIATE_TEST_SUITE_P(Golden, GoldenRun, ::testing::ValuesIn(listFolder(kGoldenDir)),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
}  // namespace zorvak::testing
