#include "reader/dictionary_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "reader/test_dictionary.h"

namespace zorvak::testing {
namespace {

// A compiled dictionary made in memory, written to a scratch file and opened.
class OpenedDictionary {
 public:
  explicit OpenedDictionary(const Bytes& bytes) {
    char pattern[] = "/tmp/zorvak_reader_XXXXXX";
    const int fd = mkstemp(pattern);
    name_ = pattern;
    ::close(fd);
    std::ofstream(name_, std::ios::binary) << bytes;
    file_ = File::openForReading(name_);
    status = DictionaryReader::open(file_, &reader);
  }
  ~OpenedDictionary() {
    reader.reset();
    file_.close();
    unlink(name_.c_str());
  }

  Status status;
  std::unique_ptr<DictionaryReader> reader;

 private:
  std::string name_;
  File file_;
};

// Collects the headwords of a section, as UTF-16 strings.
struct Headwords : SectionVisitor {
  Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override {
    words.emplace_back(headword, headword + entry.headwordLength);
    return Status::Ok();
  }
  std::vector<std::u16string> words;
};

TEST(DictionaryReader, GroupsAreReadInAnyOrderAndArticlesFetchedByEntry) {
  TestDictionary dictionary(1252);
  dictionary.blocks = {"onetwo", "three"};
  dictionary.groups = {{1, {{u"a", 0, 0, 3}}}, {2, {{u"b", 0, 3, 3}, {u"c", 1, 0, 5}}}};
  OpenedDictionary opened(dictionary.build());
  ASSERT_TRUE(opened.status.ok());
  DictionaryReader& reader = *opened.reader;
  EXPECT_EQ(reader.groupCount(), 2u);
  EXPECT_EQ(reader.codePage(), 1252);

  GroupRecord second;
  ASSERT_TRUE(reader.readGroupRecord(1, &second).ok());
  EXPECT_EQ(second.key, 2u);
  EXPECT_EQ(second.entryCount, 2u);
  struct : SectionVisitor {
    Status visitEntry(const EntryHeader& entry, const uint16_t*) override {
      TextSink text;
      ZORVAK_RETURN_IF_ERROR(reader->fetchArticle(entry, text));
      articles.push_back(text.text);
      return Status::Ok();
    }
    DictionaryReader* reader;
    std::vector<std::string> articles;
  } articles;
  articles.reader = &reader;
  ASSERT_TRUE(reader.readSection(second, articles).ok());
  EXPECT_EQ(articles.articles, (std::vector<std::string>{"two", "three"}));

  GroupRecord first;
  ASSERT_TRUE(reader.readGroupRecord(0, &first).ok());
  Headwords headwords;
  ASSERT_TRUE(reader.readSection(first, headwords).ok());
  EXPECT_EQ(headwords.words, std::vector<std::u16string>{u"a"});

  // Past the table the records run into the section data, then out of the file.
  GroupRecord record;
  const Status beyond = reader.readGroupRecord(uint64_t{1} << 40, &record);
  EXPECT_EQ(beyond.kind(), StatusKind::kDamagedFile);
  EXPECT_EQ(reader.readGroupRecord(~uint64_t{0}, &record).kind(), StatusKind::kDamagedFile);
}

TEST(DictionaryReader, DamageIsReportedWithItsKindAndSpoilsNothingElse) {
  TestDictionary dictionary(1252);
  dictionary.blocks = {"abc"};
  dictionary.groups = {{1, {{u"a", 0, 0, 2}, {u"b", 0, 2, 5}}}};
  OpenedDictionary opened(dictionary.build());
  ASSERT_TRUE(opened.status.ok());
  DictionaryReader& reader = *opened.reader;
  // Locations that no sound file holds: one past the end of its block, an empty article with a
  // block or a start, a block that is none or lies outside the article data, and a start past
  // the last unit at which a block lets an article begin.
  const uint64_t pastArticles = dictionary.build().size();
  for (const EntryHeader& bad :
       {EntryHeader{1, 0, 2, 5}, EntryHeader{1, 0, 0, 0}, EntryHeader{1, kNone, 3, 0},
        EntryHeader{1, kNone, 0, 1}, EntryHeader{1, pastArticles, 0, 1},
        EntryHeader{1, 0, kBlockUnitLimit + 1, 1}}) {
    TextSink text;
    EXPECT_EQ(reader.fetchArticle(bad, text).kind(), StatusKind::kDamagedFile)
        << bad.articleBlock << "/" << bad.articleStart << "/" << bad.articleLength;
    EXPECT_EQ(text.text, "");
  }
  TextSink text;
  ASSERT_TRUE(reader.fetchArticle(EntryHeader{1, 0, 0, 2}, text).ok());
  EXPECT_EQ(text.text, "ab");

  GroupRecord broken{1, 1, dictionary.build().size()};  // a section that is not there
  Headwords headwords;
  EXPECT_EQ(reader.readSection(broken, headwords).kind(), StatusKind::kDamagedFile);
  EXPECT_TRUE(headwords.words.empty());
}

TEST(DictionaryReader, OpeningRejectsAGroupTableThatBeginsOutsideTheFile) {
  TestDictionary dictionary(1252);
  dictionary.blocks = {"x"};
  dictionary.groups = {{1, {{u"h", 0, 0, 1}}}};
  Bytes file = dictionary.build();
  TestDictionary far = dictionary;
  far.header.groupCount = 1;
  far.header.articleDataOffset = kHeaderSize;
  far.header.groupTableOffset = file.size() - kGroupRecordSize + 1;
  far.header.sectionDataOffset = file.size();
  OpenedDictionary rejected(far.build(true));
  EXPECT_EQ(rejected.status.kind(), StatusKind::kDamagedFile);
  EXPECT_STREQ(rejected.status.message(), "error file!");
  // Without groups the table may lie anywhere.
  far.header.groupCount = 0;
  EXPECT_TRUE(OpenedDictionary(far.build(true)).status.ok());
}

// What a walk reads of each group: the entries visited (up to `limit` a section) with each
// one's article, the status, and where the stream lay.
std::string walkGroups(const Bytes& file, size_t workers, uint64_t limit) {
  OpenedDictionary opened(file);
  EXPECT_TRUE(opened.status.ok());
  DictionaryReader& reader = *opened.reader;
  reader.prefetchGroups(workers, reader.groupCount());
  struct Limited : Headwords {
    Status visitEntry(const EntryHeader& entry, const uint16_t* headword) override {
      TextSink sink;
      const Status status = reader->fetchArticle(entry, sink);
      texts += sink.text + std::to_string(static_cast<int>(status.kind())) + ",";
      return Headwords::visitEntry(entry, headword);
    }
    bool done() const override { return words.size() >= limit; }
    uint64_t limit = 0;
    DictionaryReader* reader = nullptr;
    std::string texts;
  };
  std::string seen;
  for (uint32_t i = 0; i < reader.groupCount(); ++i) {
    EXPECT_TRUE(reader.arriveAtGroup(i).ok());
    GroupRecord record;
    GroupRecord next;
    EXPECT_TRUE(reader.readGroupRecord(i, &record).ok());
    const uint64_t sections = reader.header().sectionDataOffset;
    const uint64_t end = i + 1 < reader.groupCount() && reader.readGroupRecord(i + 1, &next).ok()
                             ? sections + next.sectionOffset
                             : reader.fileSize();
    Limited visitor;
    visitor.limit = limit;
    visitor.reader = &reader;
    SectionExtent extent;
    const Status status =
        reader.readSectionAt(sections + record.sectionOffset, visitor, &extent, end);
    seen += std::to_string(visitor.words.size()) + " " +
            (visitor.words.empty()
                 ? ""
                 : std::string(visitor.words.back().begin(), visitor.words.back().end())) +
            " " + std::to_string(static_cast<int>(status.kind())) + " " +
            std::to_string(extent.end) + " " + std::to_string(extent.inflatedBytes) + " " +
            std::to_string(extent.ended) + "\n" + visitor.texts;
  }
  return seen;
}

// A section far too large to inflate in one call is streamed by a worker while the walk reads
// it, and the worker inflates the blocks its entries name ahead of the walk; the walk sees what
// it sees when it streams the section and inflates the blocks itself, sound or cut short, read
// whole or let go of early. The entries name many blocks in no order, some of them again, one
// that the worker cannot hold whole, one past the article data, and none.
TEST(DictionaryReader, SectionStreamedByAWorkerReadsAsOneStreamedByTheWalk) {
  TestDictionary dictionary(1252);
  constexpr uint64_t kBlocks = 300;
  for (uint64_t b = 0; b < kBlocks; ++b)
    dictionary.blocks.push_back("block " + std::to_string(b) + std::string(b % 7 * 100, 'x'));
  dictionary.blocks.push_back(std::string(InflatedBlock::kHeldBytes, 'h'));
  std::vector<TestEntry> large;
  for (int i = 0; i < 40000; ++i) {
    std::u16string word = u"w";
    for (int n = i; word.size() < 24; n /= 3)
      word += static_cast<char16_t>(u'a' + n % 3);
    const uint64_t block = i % 97 == 0 ? kBlocks : i % 89 == 0 ? kBlocks + 5 : i * 7919 % kBlocks;
    if (i % 13 == 0) {
      large.push_back({word});
    } else {
      large.push_back({word, block, 2, 4});
    }
  }
  dictionary.groups = {{1, {{u"a", 0, 0, 2}}}, {2, large}};
  const Bytes sound = dictionary.build();
  for (const Bytes& file : {sound, sound.substr(0, sound.size() - 30000)}) {
    for (const uint64_t limit : {uint64_t{5}, uint64_t{30000}, kNone}) {
      const std::string own = walkGroups(file, 0, limit);
      EXPECT_EQ(walkGroups(file, 1, limit), own) << file.size() << " " << limit;
      EXPECT_EQ(walkGroups(file, 3, limit), own) << file.size() << " " << limit;
    }
  }
}

}  // namespace
}  // namespace zorvak::testing
