#ifndef ZORVAK_PLATFORM_MESSAGES_H_
#define ZORVAK_PLATFORM_MESSAGES_H_

// Every message the program prints when a run fails, in one place: a status carries one of these,
// and the driver prints it as it stands, without a line end. They sit at the bottom of the layout
// because the phases and the reading core report them too.

namespace zorvak::messages {

// The command line.
inline constexpr const char* kUsage = "input_file code_page";
inline constexpr const char* kCodePage = "error code page!";
// An option the program does not know, or a thread count that is not a number from 1 on.
inline constexpr const char* kOption = "error option!";

// Files: opening, creating, reading and writing, each file with its own message.
inline constexpr const char* kOpenInput = "error open input file!";
inline constexpr const char* kOpenWordForms = "error open wordforms file!";
inline constexpr const char* kCreateSpool = "error create tmp file!";
inline constexpr const char* kCreateSections = "error create sec file!";
inline constexpr const char* kCreateGroupTable = "error create dat file!";
inline constexpr const char* kCreateAlternatives = "error create add file!";
inline constexpr const char* kCreateOutput = "error create out file!";
inline constexpr const char* kReadInput = "error read input file!";
inline constexpr const char* kReadWordForms = "error read wordforms file!";
inline constexpr const char* kReadSpool = "error read tmp file!";
inline constexpr const char* kReadSections = "error read sec file!";
inline constexpr const char* kReadGroupTable = "error read dat file!";
inline constexpr const char* kReadAlternatives = "error read add file!";
inline constexpr const char* kWriteSpool = "error write tmp file!";
inline constexpr const char* kWriteSections = "error write sec file!";
inline constexpr const char* kWriteGroupTable = "error write dat file!";
inline constexpr const char* kWriteAlternatives = "error write add file!";
inline constexpr const char* kWriteOutput = "error write out file!";

// Reading the source dictionary and the word forms file.
inline constexpr const char* kSourceUtf8 = "error utf8!";
inline constexpr const char* kWordFormsUtf8 = "error wordforms utf8!";

// Reading a compiled dictionary.
inline constexpr const char* kDamagedFile = "error file!";

// Any phase.
inline constexpr const char* kOutOfMemory = "error out of memory!";

}  // namespace zorvak::messages

#endif  // ZORVAK_PLATFORM_MESSAGES_H_
