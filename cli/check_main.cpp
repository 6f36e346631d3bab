#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "cli/check_tool.h"

int main(int argc, char** argv) {
  try {
    return zorvak::runCheckTool(std::vector<std::string>(argv + 1, argv + argc), stdout, stderr);
  } catch (const std::bad_alloc&) {
    std::fputs("zorvak-check: out of memory\n", stderr);
    return 2;
  }
}
