#ifndef ZORVAK_COMPILER_COMPILE_FILES_H_
#define ZORVAK_COMPILER_COMPILE_FILES_H_

#include "platform/file.h"

namespace zorvak {

// The files of a compile run, opened (and the last five truncated) by the driver and shared
// with the compiler's phases for the whole run.
struct CompileFiles {
  File input;         // the source dictionary
  File spool;         // input + ".tmp": the text spool
  File sections;      // input + ".sec": the section stream
  File groupTable;    // input + ".dat": the group table
  File alternatives;  // input + ".add": the alternative headwords
  File output;        // the compiled dictionary, under a temporary name until complete
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_COMPILE_FILES_H_
