// Lookups in dictionaries the compiler wrote, through the group table as a reader makes them:
// every headword with its own article, every word form and headword word leading to its
// target, other letter cases and foldings, prefixes, and files whose order was edited.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/file.h"
#include "reader/dictionary_reader.h"
#include "reader/headword_lookup.h"
#include "reader/stored_text.h"
#include "tests/compiled_edit.h"
#include "tests/harness.h"
#include "tests/tool_run.h"
#include "tests/verify.h"
#include "text/encode.h"

namespace zorvak::testing {
namespace {

struct Entry {
  std::u16string headword;
  std::u16string article;
};

struct Alternative {
  std::u16string form;
  std::vector<std::u16string> targets;  // every lemma the form leads to
};

struct Case {
  const char* name;
  int32_t codePage;
  std::vector<Entry> entries;
  std::u16string forms;  // the word forms file, encoded like the source
  int allWords;
  std::vector<Alternative> alternatives;
};

// `units` in a code page as the compiler reads it; 932 from a few known Shift-JIS pairs.
std::string encoded(int32_t codePage, const std::u16string& units) {
  if (codePage == 1200) {
    std::string out;
    for (char16_t unit : units) {
      out.push_back(static_cast<char>(unit & 0xFF));
      out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
  }
  if (codePage == 932) {
    std::string out;
    for (char16_t unit : units) {
      if (unit == u'日') {
        out += "\x93\xFA";
      } else if (unit == u'本') {
        out += "\x96\x7B";
      } else if (unit == u'ｶ') {
        out += "\xB6";
      } else {
        out.push_back(static_cast<char>(unit));  // ASCII
      }
    }
    return out;
  }
  std::vector<uint16_t> in(units.begin(), units.end());
  in.push_back(0);
  std::vector<uint8_t> out(3 * in.size() + 1);
  EncoderState state;
  encoderReset(state);
  const int32_t n = encodeText(state, codePage, in.data(), out.data());
  encoderRelease(state);
  return std::string(out.begin(), out.begin() + n);
}

std::string source(const Case& c) {
  std::u16string text;
  for (const Entry& entry : c.entries)
    text += entry.headword + u"  " + entry.article + u"\n";
  return encoded(c.codePage, text);
}

// A compiled dictionary in a scratch folder, opened for lookups.
class Compiled {
 public:
  explicit Compiled(const Case& c) {
    folder_.write("d.txt", source(c));
    std::vector<std::string> arguments = {"d.txt", std::to_string(c.codePage),
                                          std::to_string(c.allWords)};
    if (!c.forms.empty()) {
      folder_.write("d.forms", encoded(c.codePage, c.forms));
      arguments.push_back("d.forms");
    }
    const RunResult run = folder_.run(arguments);
    EXPECT_EQ(run.status, 0) << run.output;
    open();
  }
  // Opens the compiled file again, after an edit.
  void open() {
    lookup.reset();
    reader.reset();
    file_ = File::openSharedForReading(path());
    ASSERT_TRUE(file_.isOpen());
    ASSERT_TRUE(DictionaryReader::open(file_, &reader).ok());
    ASSERT_TRUE(HeadwordLookup::open(*reader, &lookup).ok());
  }
  std::string path() const { return folder_.file("d.txt.zorvak"); }
  const ScratchFolder& folder() const { return folder_; }

  // What one query finds, as "headword=article" and "form->target" lines.
  std::vector<std::u16string> find(const std::u16string& word) {
    std::vector<LookupResult> results;
    EXPECT_TRUE(lookup->lookUp({lookup->prepare(word)}, true, &results).ok());
    EXPECT_TRUE(results[0].status.ok());
    std::vector<std::u16string> found;
    for (const Match& match : results[0].matches) {
      if (match.alternative) {
        found.push_back(match.entry.headword + u"->" + match.target);
        for (const Match& target : match.targetEntries)
          found.push_back(u"  " + describe(target));
      } else {
        found.push_back(describe(match));
      }
    }
    return found;
  }
  std::u16string describe(const Match& match) {
    std::u16string article;
    EXPECT_TRUE(match.articleHeld);
    decodeStoredText(reader->codePage(), reinterpret_cast<const uint8_t*>(match.article.data()),
                     match.article.size(), &article);
    return match.entry.headword + u"=" + article;
  }

  std::unique_ptr<DictionaryReader> reader;
  std::unique_ptr<HeadwordLookup> lookup;

 private:
  ScratchFolder folder_;
  File file_;
};

std::string utf8(const std::u16string& units) {
  std::string out;
  appendUtf8(units, &out);
  return out;
}

bool contains(const std::vector<std::u16string>& found, const std::u16string& line) {
  return std::find(found.begin(), found.end(), line) != found.end();
}

class EveryHeadword : public ::testing::TestWithParam<Case> {};

TEST_P(EveryHeadword, IsFoundWithItsArticleAndEveryAlternativeLeadsToItsTargets) {
  const Case& c = GetParam();
  Compiled compiled(c);
  const ToolResult check =
      runTool(ZORVAK_CHECK_BINARY, {compiled.path()}, compiled.folder().path());
  EXPECT_EQ(check.status, 0) << check.err;

  for (const Entry& entry : c.entries) {
    EXPECT_TRUE(contains(compiled.find(entry.headword), entry.headword + u"=" + entry.article))
        << utf8(entry.headword);
  }
  for (const Alternative& alternative : c.alternatives) {
    const std::vector<std::u16string> found = compiled.find(alternative.form);
    for (const std::u16string& target : alternative.targets) {
      EXPECT_TRUE(contains(found, alternative.form + u"->" + target)) << utf8(alternative.form);
      for (const Entry& entry : c.entries) {
        if (entry.headword == target) {
          EXPECT_TRUE(contains(found, u"  " + target + u"=" + entry.article)) << utf8(target);
        }
      }
    }
  }
}

const Case kCases[] = {
    {"single_byte",
     1251,
     {{u"дом", u"house"},
      {u"Дом", u"home"},
      {u"ёж", u"hedgehog"},
      {u"take off", u"remove"},
      {u"-ing", u"suffix"},
      {u"x-ray", u"picture"}},
     u"ёж: ежи\n",
     1,
     {{u"ежи", {u"ёж"}}, {u"off", {u"take off"}}, {u"ing", {u"-ing"}}}},
    {"utf8",
     65001,
     {{u"café", u"coffee"},
      {u"naïve", u"simple"},
      {u"€", u"euro"},
      {u"𝄞 clef", u"music"},
      {u"go", u"to move"},
      {u"wend", u"to go"},
      {u"(to) run", u"to hurry"}},
     u"go: went\nwend: went\n",
     0,
     {{u"went", {u"go", u"wend"}}, {u"to)", {u"(to) run"}}}},
    {"utf16",
     1200,
     {{u"straße", u"street"}, {u"𝄞", u"clef"}, {u"ice cream", u"frozen"}, {u"Ωmega", u"last"}},
     u"ice cream: ice creams\nstraße: strasse\n",
     1,
     {{u"cream", {u"ice cream"}}, {u"strasse", {u"straße"}}}},
    {"double_byte",
     932,
     {{u"日本", u"Japan"}, {u"ｶ", u"ka"}, {u"go", u"to move"}},
     u"go: went\n",
     0,
     {{u"went", {u"go"}}}},
};

INSTANTIATE_TEST_SUITE_P(CodePages, EveryHeadword, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Lookup, AnotherLetterCaseOrFoldingFindsTheSameEntries) {
  Compiled compiled(kCases[1]);
  const std::pair<std::u16string, std::u16string> same[] = {
      {u"CAFÉ", u"café"},     {u"NaÏvE", u"naïve"},        {u"  go ", u"go"},
      {u"GO", u"go"},         {u"(TO)\tRUN", u"(to) run"}, {u"[to] run", u"(to) run"},
      {u"𝄞  CLEF", u"𝄞 clef"}};
  for (const auto& [query, headword] : same) {
    const std::vector<std::u16string> found = compiled.find(query);
    EXPECT_FALSE(found.empty()) << utf8(query);
    EXPECT_EQ(found, compiled.find(headword)) << utf8(query);
  }
  // Entries that differ only in letter case are both found, and IO is filed as IE.
  Compiled cyrillic(kCases[0]);
  EXPECT_EQ(cyrillic.find(u"ДОМ"), (std::vector<std::u16string>{u"дом=house", u"Дом=home"}));
  EXPECT_EQ(cyrillic.find(u"ЕЖ"), cyrillic.find(u"ёж"));
  EXPECT_TRUE(cyrillic.find(u"домик").empty());
}

TEST(Lookup, PrefixesInsideAGroupAndAcrossGroups) {
  Case c = kCases[1];
  c.entries = {{u"mouse", u"a"}, {u"mous", u"b"}, {u"Maus", u"c"},  {u"mice", u"d"},
               {u"moose", u"e"}, {u"m", u"f"},    {u"apple", u"g"}, {u"n", u"h"}};
  c.forms.clear();
  c.alternatives.clear();
  Compiled compiled(c);
  const auto list = [&](const std::u16string& prefix) {
    std::vector<std::u16string> headwords;
    EXPECT_TRUE(compiled.lookup
                    ->listPrefix(compiled.lookup->prepare(prefix),
                                 [&](const FoundEntry& entry) {
                                   headwords.push_back(entry.headword);
                                   return Status::Ok();
                                 })
                    .ok());
    return headwords;
  };
  using Words = std::vector<std::u16string>;
  EXPECT_EQ(list(u"MOU"), (Words{u"mous", u"mouse"}));
  EXPECT_EQ(list(u"mo"), (Words{u"moose", u"mous", u"mouse"}));
  EXPECT_EQ(list(u"M"), (Words{u"m", u"Maus", u"mice", u"moose", u"mous", u"mouse"}));
  EXPECT_EQ(list(u"mx"), Words{});
  EXPECT_EQ(list(u"o"), Words{});
}

// A file edited so that its order disagrees with the comparator loses words to a lookup, and
// the check says why.
TEST(Lookup, EditedOrderLosesWordsAndTheCheckSaysSo) {
  Case c = kCases[1];
  c.entries = {
      {u"apple", u"a"}, {u"apricot", u"b"}, {u"apron", u"c"}, {u"bee", u"d"}, {u"cat", u"e"}};
  Compiled compiled(c);
  ASSERT_EQ(compiled.find(u"apple").size(), 1u);

  struct Edit {
    const char* name;
    void (*apply)(CompiledParts&);
    const char16_t* word;  // lost to the lookup
    const char* violation;
  };
  const Edit edits[] = {
      {"groups swapped", [](CompiledParts& parts) { std::swap(parts.groups[0], parts.groups[2]); },
       u"cat", "key not above"},
      {"entries swapped",
       [](CompiledParts& parts) {
         std::swap(parts.groups[0].entries[0], parts.groups[0].entries[2]);
       },
       u"apple", "out of order"},
  };
  const std::string original = compiled.folder().read("d.txt.zorvak");
  for (const Edit& edit : edits) {
    CompiledParts parts = readParts(original);
    edit.apply(parts);
    compiled.folder().write("d.txt.zorvak", assemble(parts));
    compiled.open();
    EXPECT_TRUE(compiled.find(edit.word).empty()) << edit.name;
    const ToolResult check =
        runTool(ZORVAK_CHECK_BINARY, {"--all", compiled.path()}, compiled.folder().path());
    EXPECT_EQ(check.status, 1) << edit.name;
    EXPECT_NE(check.err.find(edit.violation), std::string::npos) << check.err;
    EXPECT_NE(check.err.find("not found by"), std::string::npos) << check.err;
  }
}

}  // namespace
}  // namespace zorvak::testing
