#ifndef ZORVAK_DRIVER_HELP_H_
#define ZORVAK_DRIVER_HELP_H_

#include <cstdio>

namespace zorvak {

// What the arguments are and which code pages the tool reads.
void printHelp(std::FILE* console);
void printVersion(std::FILE* console);

}  // namespace zorvak

#endif  // ZORVAK_DRIVER_HELP_H_
