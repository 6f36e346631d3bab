#ifndef ZORVAK_CLI_TEXT_OUTPUT_H_
#define ZORVAK_CLI_TEXT_OUTPUT_H_

#include <cstdint>
#include <string>

namespace zorvak {

// UTF-8 from the command line or standard input as UTF-16 units, decoded the way a UTF-8
// source dictionary is decoded, so that a word copied from a source finds its entry.
std::u16string unitsOfUtf8(const std::string& text);

// Stored article text (in `codePage`) as UTF-8. With `oneLine`, line feeds become blanks and
// carriage returns tabs, so that an entry keeps to its line.
std::string articleUtf8(int32_t codePage, const std::string& stored, bool oneLine);

// Units as UTF-8 (pairs joined, lone surrogates as U+FFFD).
std::string utf8Of(const std::u16string& units);

// `text` (UTF-8) as a JSON string literal, quotes included.
std::string jsonString(const std::string& text);

}  // namespace zorvak

#endif  // ZORVAK_CLI_TEXT_OUTPUT_H_
