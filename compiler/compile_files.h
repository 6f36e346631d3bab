#ifndef ZORVAK_COMPILER_COMPILE_FILES_H_
#define ZORVAK_COMPILER_COMPILE_FILES_H_

#include "platform/file.h"

namespace zorvak {

// The files of a compile run, opened and created by the driver and shared with the compiler's
// phases for the whole run. All but the input are the run's own and have no name; the messages
// of the temporaries name them by the extension each once had beside the input.
struct CompileFiles {
  File input;         // the source dictionary
  File spool;         // ".tmp": the text spool
  File sections;      // ".sec": the section stream
  File groupTable;    // ".dat": the group table
  File alternatives;  // ".add": the alternative headwords
  File output;        // the compiled dictionary, named input + ".zorvak" once complete
};

}  // namespace zorvak

#endif  // ZORVAK_COMPILER_COMPILE_FILES_H_
