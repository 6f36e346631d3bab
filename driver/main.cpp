#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "driver/run.h"

int main(int argc, char** argv) {
  // A write past the file size limit then fails like any other write and is reported with the
  // message of its file, instead of ending the program on the spot.
  std::signal(SIGXFSZ, SIG_IGN);
  std::vector<std::string> arguments(argv + 1, argv + argc);
  return zorvak::runProgram(arguments, stdout);
}
