#ifndef ZORVAK_FUZZ_FUZZ_SUPPORT_H_
#define ZORVAK_FUZZ_FUZZ_SUPPORT_H_

// What the fuzz targets share: a check that stops the run with a message, and a scratch folder
// of the process for the files a target has to put on disk.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

// Stops the process (a finding) when `condition` does not hold.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

namespace zorvak::fuzz {

// A folder of this process under $TMPDIR (or /tmp), made on first use and removed with
// everything in it when the process ends.
const std::string& scratchFolder();

// Writes `bytes` to the file `name`, replacing what it held.
void writeFile(const std::string& name, std::string_view bytes);
// The whole content of a file; empty when it cannot be read.
std::string readFile(const std::string& name);
// Removes every file in the scratch folder.
void clearScratchFolder();

// Splits fuzz input into parts at a separator line, so that one input can carry several files.
// The parts are views into `input`; a missing part is empty.
struct Parts {
  std::string_view first;
  std::string_view second;
};
inline constexpr std::string_view kPartSeparator = "\n--8<--\n";
Parts splitInput(std::string_view input);

}  // namespace zorvak::fuzz

#endif  // ZORVAK_FUZZ_FUZZ_SUPPORT_H_
