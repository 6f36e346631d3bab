#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/lookup_tool.h"

int main(int argc, char** argv) {
  try {
    return zorvak::runLookupTool(std::vector<std::string>(argv + 1, argv + argc), 0, stdout,
                                 stderr);
  } catch (const std::bad_alloc&) {
    std::fputs("zorvak-lookup: out of memory\n", stderr);
    return 2;
  }
}
