#include "driver/help.h"

#ifndef ZORVAK_VERSION
#define ZORVAK_VERSION "0.0.0"
#endif

namespace zorvak {

void printHelp(std::FILE* console) {
  std::fputs(
      "usage: zorvak [options] input_file [code_page [all_words [word_forms_file]]]\n"
      "       zorvak --help | -h | --version\n"
      "\n"
      "Compiles a text dictionary (one entry a line: headword, two blanks or tabs, article)\n"
      "into input_file.zorvak, or with code page 0 writes a compiled dictionary back as text\n"
      "into input_file.txt.\n"
      "\n"
      "Options (before input_file; \"--\" ends them):\n"
      "  --threads N      N threads compress the dictionary, or with code page 0 inflate\n"
      "                   and write the text (default: one per core); the compiled file and\n"
      "                   the text are the same for every N, and 1 uses no other thread\n"
      "  --smallest       a smaller compiled file, much slower to make: every block and group\n"
      "                   at the highest compression; it reads as any other\n"
      "  --help, -h       print this help\n"
      "  --version        print the name and version\n"
      "\n"
      "  input_file       the source dictionary, or with code page 0 a compiled dictionary\n"
      "  code_page        the code page of the source and word forms files (default 1251);\n"
      "                   0 decompresses input_file\n"
      "  all_words        not 0: every word of every headword also leads to its entry\n"
      "                   (default 0: only the first word of a headword that does not begin\n"
      "                   with a letter or digit)\n"
      "  word_forms_file  lines \"lemma: form, form, ...\"; each form also leads to the\n"
      "                   entries of its lemma\n"
      "\n"
      "Code pages:\n"
      "  single-byte  437 850 855 860 861 863 865 866 874 1250 1251 1252 1253 1254 1255\n"
      "               1256 1257 1258 10000 10007 10017 10079 20127 20866 21866 28591 28592\n"
      "               28595 28605\n"
      "  double-byte  932 936 949 950 (the article text is stored as UTF-8, code page 65001)\n"
      "  Unicode      65001 (UTF-8), 1200 (UTF-16LE)\n"
      "\n"
      "Exit status: 0 on success, 1 after an error message, 2 after the usage line.\n"
      "The manual page zorvak(1) describes the files, the output and the messages.\n",
      console);
}

void printVersion(std::FILE* console) {
  std::fputs("zorvak " ZORVAK_VERSION "\n", console);
}

}  // namespace zorvak
