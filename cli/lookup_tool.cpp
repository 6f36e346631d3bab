#include "cli/lookup_tool.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "cli/text_output.h"
#include "format/headword_key.h"
#include "platform/file.h"
#include "reader/dictionary_reader.h"
#include "reader/headword_lookup.h"
#include "text/codepage.h"

#ifndef ZORVAK_VERSION
#define ZORVAK_VERSION "0.0.0"
#endif

namespace zorvak {
namespace {

constexpr const char* kUsageLine =
    "usage: zorvak-lookup [--prefix] [--json] dictionary_file [word ...]\n";

void printHelp(std::FILE* out) {
  std::fputs(kUsageLine, out);
  std::fputs(
      "\n"
      "Looks words up in a compiled dictionary (.zorvak) the way a reader finds them: by a\n"
      "binary search of its group table, one section and one article block a word. Words are\n"
      "the arguments after dictionary_file, or one a line from standard input when none is\n"
      "given. Letter case, punctuation and combining marks do not matter; a word form leads to\n"
      "its lemma.\n"
      "Output is UTF-8 whatever the dictionary's code page.\n"
      "\n"
      "Each entry found prints as \"headword  article\"; an alternative headword as\n"
      "\"form -> target\" followed by the target's entries. Words not found are named on\n"
      "standard error.\n"
      "\n"
      "  --prefix   list the headwords that begin with each word instead\n"
      "  --json     print one JSON object a word: query, found, entries (headword and article,\n"
      "             or target and the target's entries); with --prefix, headwords\n"
      "  --help     print this help and exit\n"
      "  --version  print the version and exit\n"
      "\n"
      "Options come before dictionary_file; every argument after it is a word, also one that\n"
      "begins with a hyphen.\n"
      "\n"
      "Code pages:\n"
      "  single-byte  437 850 855 860 861 863 865 866 874 1250 1251 1252 1253 1254 1255\n"
      "               1256 1257 1258 10000 10007 10017 10079 20127 20866 21866 28591 28592\n"
      "               28595 28605\n"
      "  double-byte  932 936 949 950\n"
      "  Unicode      65001 (UTF-8), 1200 (UTF-16LE)\n"
      "\n"
      "Exit status: 0 when every word was found, 1 when one was not, 2 for a usage error or a\n"
      "dictionary that cannot be read. The manual page zorvak-lookup(1) tells more.\n",
      out);
}

// Reads words one a line. A batch holds the lines that are already there, so that a file or
// a pipe is looked up in batches (each section inflated once a batch) while a person typing
// gets each answer at once.
class LineBatches {
 public:
  static constexpr size_t kBatchLines = 1024;

  explicit LineBatches(int fd) : fd_(fd) {}

  // The next batch; empty at the end of the input. False when reading failed.
  bool next(std::vector<std::string>* lines) {
    lines->clear();
    while (lines->size() < kBatchLines) {
      const size_t end = buffer_.find('\n', start_);
      if (end != std::string::npos) {
        lines->push_back(buffer_.substr(start_, end - start_));
        start_ = end + 1;
        continue;
      }
      if (eof_) {
        if (start_ < buffer_.size()) lines->push_back(buffer_.substr(start_));
        buffer_.clear();
        start_ = 0;
        break;
      }
      if (!lines->empty() && !readable()) break;
      buffer_.erase(0, start_);
      start_ = 0;
      char chunk[65536];
      const ssize_t got = ::read(fd_, chunk, sizeof(chunk));
      if (got < 0) {
        if (errno == EINTR) continue;
        return false;
      }
      if (got == 0) eof_ = true;
      buffer_.append(chunk, static_cast<size_t>(got));
    }
    for (std::string& line : *lines) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
    }
    return true;
  }

 private:
  bool readable() const {
    struct pollfd p = {fd_, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
  }

  int fd_;
  std::string buffer_;
  size_t start_ = 0;
  bool eof_ = false;
};

class LookupTool {
 public:
  LookupTool(std::FILE* out, std::FILE* err) : out_(out), err_(err) {}

  int run(const std::vector<std::string>& arguments, int input) {
    size_t next = 0;
    for (; next < arguments.size(); ++next) {
      const std::string& argument = arguments[next];
      if (argument == "--") {
        ++next;
        break;
      }
      if (argument.size() < 2 || argument[0] != '-') break;
      if (argument == "--help") {
        printHelp(out_);
        return 0;
      }
      if (argument == "--version") {
        std::fputs("zorvak-lookup " ZORVAK_VERSION "\n", out_);
        return 0;
      }
      if (argument == "--prefix") {
        prefix_ = true;
      } else if (argument == "--json") {
        json_ = true;
      } else {
        std::fprintf(err_, "zorvak-lookup: unknown option '%s'\n%s", argument.c_str(), kUsageLine);
        return 2;
      }
    }
    if (next == arguments.size()) {
      std::fputs(kUsageLine, err_);
      return 2;
    }
    name_ = arguments[next++];
    if (!open()) return 2;

    if (next < arguments.size()) {
      const std::vector<std::string> words(arguments.begin() + static_cast<std::ptrdiff_t>(next),
                                           arguments.end());
      if (!lookUp(words)) return 2;
    } else {
      LineBatches batches(input);
      std::vector<std::string> lines;
      for (;;) {
        if (!batches.next(&lines)) {
          std::fprintf(err_, "zorvak-lookup: cannot read standard input\n");
          return 2;
        }
        if (lines.empty()) break;
        if (!lookUp(lines)) return 2;
      }
    }
    if (troubled_) return 2;
    return missing_ ? 1 : 0;
  }

 private:
  bool open() {
    file_ = File::openSharedForReading(name_);
    if (!file_.isOpen()) {
      std::fprintf(err_, "zorvak-lookup: %s: cannot open\n", name_.c_str());
      return false;
    }
    Status status = DictionaryReader::open(file_, &reader_, kBlockBudget);
    if (status.ok() && !isSupportedCodePage(reader_->codePage())) {
      std::fprintf(err_, "zorvak-lookup: %s: code page %u is not supported\n", name_.c_str(),
                   reader_->header().codePage);
      return false;
    }
    if (status.ok()) status = HeadwordLookup::open(*reader_, &lookup_);
    if (!status.ok()) {
      report(status, nullptr);
      return false;
    }
    return true;
  }

  void report(const Status& status, const std::string* word) {
    const char* what = status.kind() == StatusKind::kDamagedFile
                           ? "damaged file (zorvak-check tells where)"
                           : "cannot be read";
    if (word != nullptr) {
      std::fprintf(err_, "zorvak-lookup: %s: %s, looking up '%s'\n", name_.c_str(), what,
                   word->c_str());
    } else {
      std::fprintf(err_, "zorvak-lookup: %s: %s\n", name_.c_str(), what);
    }
  }

  void notFound(const std::string& word) {
    missing_ = true;
    std::fflush(out_);
    std::fprintf(err_, "zorvak-lookup: not found: %s\n", word.c_str());
  }

  bool lookUp(const std::vector<std::string>& words) {
    std::vector<Query> queries;
    std::vector<std::string> asked;
    for (const std::string& word : words) {
      Query query = lookup_->prepare(unitsOfUtf8(word));
      if (query.text.empty()) continue;  // an empty line asks for nothing
      queries.push_back(std::move(query));
      asked.push_back(word);
    }
    if (prefix_) {
      for (size_t i = 0; i < queries.size(); ++i) {
        if (!listPrefix(queries[i], asked[i])) return false;
      }
      return true;
    }
    std::vector<LookupResult> results;
    Status status = lookup_->lookUp(queries, true, &results);
    if (!status.ok()) {
      report(status, nullptr);
      return false;
    }
    for (size_t i = 0; i < queries.size(); ++i) {
      if (!print(asked[i], results[i])) return false;
    }
    std::fflush(out_);
    return true;
  }

  bool article(const Match& match, std::string* text) {
    std::string fetched;
    if (!match.articleHeld) {
      Status status = lookup_->fetchArticle(match.entry.header, &fetched);
      if (!status.ok()) {
        report(status, nullptr);
        return false;
      }
    }
    *text = articleUtf8(reader_->codePage(), match.articleHeld ? match.article : fetched, !json_);
    return true;
  }

  bool printEntry(const Match& match, std::string* line) {
    std::string text;
    if (!article(match, &text)) return false;
    if (json_) {
      *line += "{\"headword\":" + jsonString(utf8Of(match.entry.headword)) +
               ",\"article\":" + jsonString(text) + "}";
    } else {
      *line += utf8Of(match.entry.headword) + "  " + text + "\n";
    }
    return true;
  }

  bool print(const std::string& word, const LookupResult& result) {
    if (!result.status.ok()) {
      report(result.status, &word);
      troubled_ = true;
    }
    std::string text;
    if (json_)
      text = "{\"query\":" + jsonString(word) +
             ",\"found\":" + (result.matches.empty() ? "false" : "true") + ",\"entries\":[";
    bool first = true;
    for (const Match& match : result.matches) {
      if (json_ && !first) text += ",";
      first = false;
      if (!match.alternative) {
        if (!printEntry(match, &text)) return false;
        continue;
      }
      if (json_) {
        text += "{\"headword\":" + jsonString(utf8Of(match.entry.headword)) +
                ",\"target\":" + jsonString(utf8Of(match.target)) + ",\"entries\":[";
      } else {
        text += utf8Of(match.entry.headword) + " -> " + utf8Of(match.target) + "\n";
      }
      for (size_t i = 0; i < match.targetEntries.size(); ++i) {
        if (json_ && i > 0) text += ",";
        if (!printEntry(match.targetEntries[i], &text)) return false;
      }
      if (json_) text += "]}";
    }
    if (json_) text += "]}\n";
    std::fwrite(text.data(), 1, text.size(), out_);
    if (result.matches.empty()) notFound(word);
    return true;
  }

  bool listPrefix(const Query& query, const std::string& word) {
    // Equal headwords compare equal, so they stand in one run of entries with one folded form:
    // each is listed once by remembering the headwords of the current run.
    std::u16string runFolded;
    std::vector<std::u16string> runHeadwords;
    bool found = false;
    std::string text;
    if (json_) text = "{\"query\":" + jsonString(word) + ",\"headwords\":[";
    Status status = lookup_->listPrefix(query, [&](const FoundEntry& entry) {
      const std::u16string folded = lookup_->prepareStored(entry.headword).folded;
      if (!found || compareFolded(reinterpret_cast<const uint16_t*>(folded.data()), folded.size(),
                                  reinterpret_cast<const uint16_t*>(runFolded.data()),
                                  runFolded.size()) != 0) {
        runFolded = folded;
        runHeadwords.clear();
      }
      for (const std::u16string& seen : runHeadwords) {
        if (seen == entry.headword) return Status::Ok();
      }
      runHeadwords.push_back(entry.headword);
      if (json_) {
        if (found) text += ",";
        text += jsonString(utf8Of(entry.headword));
      } else {
        text += utf8Of(entry.headword) + "\n";
      }
      found = true;
      if (text.size() > 65536) {
        std::fwrite(text.data(), 1, text.size(), out_);
        text.clear();
      }
      return Status::Ok();
    });
    if (json_) text += std::string("],\"found\":") + (found ? "true" : "false") + "}\n";
    std::fwrite(text.data(), 1, text.size(), out_);
    std::fflush(out_);
    if (!status.ok()) {
      report(status, &word);
      troubled_ = true;
      return status.kind() != StatusKind::kInputOutput;
    }
    if (!found) notFound(word);
    return true;
  }

  // The block cache of a lookup: the blocks of a batch's groups, a few MiB.
  static constexpr size_t kBlockBudget = size_t{4} << 20;

  std::FILE* out_;
  std::FILE* err_;
  bool prefix_ = false;
  bool json_ = false;
  bool missing_ = false;
  bool troubled_ = false;
  std::string name_;
  File file_;
  std::unique_ptr<DictionaryReader> reader_;
  std::unique_ptr<HeadwordLookup> lookup_;
};

}  // namespace

int runLookupTool(const std::vector<std::string>& arguments, int input, std::FILE* out,
                  std::FILE* err) {
  LookupTool tool(out, err);
  return tool.run(arguments, input);
}

}  // namespace zorvak
