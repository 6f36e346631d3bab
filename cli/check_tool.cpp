#include "cli/check_tool.h"

#include <cinttypes>

#include "cli/text_output.h"
#include "platform/file.h"
#include "reader/dictionary_check.h"

#ifndef ZORVAK_VERSION
#define ZORVAK_VERSION "0.0.0"
#endif

namespace zorvak {
namespace {

constexpr const char* kUsageLine = "usage: zorvak-check [--all] [--json] dictionary_file\n";

void printHelp(std::FILE* out) {
  std::fputs(kUsageLine, out);
  std::fputs(
      "\n"
      "Checks a compiled dictionary (.zorvak) before it ships: the header and its offsets, every\n"
      "article block and group section a complete zlib stream where the file says, group keys\n"
      "ascending, entry counts adding up, every entry keyed, folded and ordered as a reader\n"
      "expects, every article inside its block, every alternative headword's target present;\n"
      "then every headword and alternative headword is looked up again through the group table,\n"
      "exactly as a reader finds it.\n"
      "\n"
      "A sound file gets a short summary on standard output. A broken rule is named on standard\n"
      "error with where it is broken (group, entry, offset).\n"
      "\n"
      "  --all      report every broken rule, not only the first\n"
      "  --json     print the summary and the broken rules as one JSON object on standard output\n"
      "  --help     print this help and exit\n"
      "  --version  print the version and exit\n"
      "\n"
      "Code pages: those zorvak compiles; a file that names another breaks a rule\n"
      "  single-byte  437 850 855 860 861 863 865 866 874 1250 1251 1252 1253 1254 1255\n"
      "               1256 1257 1258 10000 10007 10017 10079 20127 20866 21866 28591 28592\n"
      "               28595 28605\n"
      "  double-byte  932 936 949 950\n"
      "  Unicode      65001 (UTF-8), 1200 (UTF-16LE)\n"
      "\n"
      "Exit status: 0 when the file is sound, 1 when it breaks a rule, 2 for a usage error or a\n"
      "file that cannot be read. The manual page zorvak-check(1) tells more.\n",
      out);
}

std::string ratio(uint64_t text, uint64_t stored) {
  char out[32];
  if (stored == 0) return "-";
  std::snprintf(out, sizeof(out), "%.2f", static_cast<double>(text) / static_cast<double>(stored));
  return out;
}

class Listener : public CheckListener {
 public:
  Listener(bool all, bool json, const std::string& name, std::FILE* err)
      : all_(all), json_(json), name_(name), err_(err) {}

  bool violation(const std::string& text) override {
    if (json_) {
      violations_.push_back(text);
    } else {
      std::fprintf(err_, "zorvak-check: %s: %s\n", name_.c_str(), text.c_str());
    }
    return all_;
  }
  const std::vector<std::string>& violations() const { return violations_; }

 private:
  bool all_;
  bool json_;
  const std::string& name_;
  std::FILE* err_;
  std::vector<std::string> violations_;
};

void printSummary(const std::string& name, const CheckSummary& s, std::FILE* out) {
  std::fprintf(out, "%s: sound\n", name.c_str());
  std::fprintf(out,
               "  code page %u; groups %" PRIu64 ", entries %" PRIu64
               " (alternative headwords %" PRIu64 "), article blocks %" PRIu64 "\n",
               s.codePage, s.groups, s.entries, s.alternatives, s.blocks);
  std::fprintf(out, "  articles: %" PRIu64 " bytes of text stored in %" PRIu64 " (%s : 1)\n",
               s.articleText, s.articleBytes, ratio(s.articleText, s.articleBytes).c_str());
  std::fprintf(out, "  index: %" PRIu64 " bytes of entries stored in %" PRIu64 " (%s : 1)\n",
               s.sectionText, s.sectionBytes, ratio(s.sectionText, s.sectionBytes).c_str());
  std::fprintf(out, "  file: %" PRIu64 " bytes (%s : 1 over its text and index)\n", s.fileSize,
               ratio(s.articleText + s.sectionText, s.fileSize).c_str());
  std::fprintf(out,
               "  largest section: group %" PRIu64 " (key %08X), %" PRIu64 " entries, %" PRIu64
               " bytes inflated\n",
               s.largestSectionGroup, s.largestSectionKey, s.largestSectionEntries,
               s.largestSectionText);
  std::fprintf(out,
               "  largest block: at %" PRIu64 " of the article data, %" PRIu64 " bytes inflated\n",
               s.largestBlockOffset, s.largestBlockText);
}

void printJson(const std::string& name, const CheckSummary& s,
               const std::vector<std::string>& violations, std::FILE* out) {
  std::string text = "{\"file\":" + jsonString(name) +
                     ",\"sound\":" + (violations.empty() ? "true" : "false") + ",\"violations\":[";
  for (size_t i = 0; i < violations.size(); ++i) {
    if (i > 0) text += ',';
    text += jsonString(violations[i]);
  }
  text += "]";
  const std::pair<const char*, uint64_t> fields[] = {
      {"code_page", s.codePage},
      {"groups", s.groups},
      {"entries", s.entries},
      {"alternative_headwords", s.alternatives},
      {"article_blocks", s.blocks},
      {"file_bytes", s.fileSize},
      {"article_bytes", s.articleBytes},
      {"article_text_bytes", s.articleText},
      {"section_bytes", s.sectionBytes},
      {"section_text_bytes", s.sectionText},
      {"largest_section_group", s.largestSectionGroup},
      {"largest_section_key", s.largestSectionKey},
      {"largest_section_entries", s.largestSectionEntries},
      {"largest_section_text_bytes", s.largestSectionText},
      {"largest_block_offset", s.largestBlockOffset},
      {"largest_block_text_bytes", s.largestBlockText},
  };
  for (const auto& [field, value] : fields)
    text += std::string(",\"") + field + "\":" + std::to_string(value);
  text += "}\n";
  std::fwrite(text.data(), 1, text.size(), out);
}

}  // namespace

int runCheckTool(const std::vector<std::string>& arguments, std::FILE* out, std::FILE* err) {
  bool all = false;
  bool json = false;
  std::vector<std::string> names;
  bool options = true;
  for (const std::string& argument : arguments) {
    if (options && argument == "--") {
      options = false;
    } else if (options && argument == "--help") {
      printHelp(out);
      return 0;
    } else if (options && argument == "--version") {
      std::fputs("zorvak-check " ZORVAK_VERSION "\n", out);
      return 0;
    } else if (options && argument == "--all") {
      all = true;
    } else if (options && argument == "--json") {
      json = true;
    } else if (options && argument.size() > 1 && argument[0] == '-') {
      std::fprintf(err, "zorvak-check: unknown option '%s'\n%s", argument.c_str(), kUsageLine);
      return 2;
    } else {
      names.push_back(argument);
    }
  }
  if (names.size() != 1) {
    std::fputs(kUsageLine, err);
    return 2;
  }
  const std::string& name = names[0];
  File file = File::openSharedForReading(name);
  if (!file.isOpen()) {
    std::fprintf(err, "zorvak-check: %s: cannot open\n", name.c_str());
    return 2;
  }
  Listener listener(all, json, name, err);
  CheckSummary summary;
  const Status status = checkDictionary(file, listener, &summary);
  if (!status.ok()) {
    std::fprintf(err, "zorvak-check: %s: cannot be read\n", name.c_str());
    return 2;
  }
  if (json) {
    printJson(name, summary, listener.violations(), out);
  } else if (summary.violations == 0) {
    printSummary(name, summary, out);
  } else if (all) {
    std::fprintf(err, "zorvak-check: %s: %" PRIu64 " rules broken\n", name.c_str(),
                 summary.violations);
  }
  return summary.violations == 0 ? 0 : 1;
}

}  // namespace zorvak
