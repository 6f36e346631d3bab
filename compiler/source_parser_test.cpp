// The source parser and the text spool: what reaches the spool, and which entries are
// registered with which positions.

#include "compiler/source_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "compiler/spool_writer.h"
#include "compiler/test_support.h"

namespace zorvak::testing {
namespace {

struct Registered {
  std::u16string headword;
  uint64_t position;
  bool operator==(const Registered&) const = default;
};

class Recorder : public EntryListener {
 public:
  Status entryEnded(const uint16_t* headword, size_t length, uint64_t position) override {
    entries.push_back({std::u16string(headword, headword + length), position});
    EXPECT_EQ(headword[length], 0);
    return Status::Ok();
  }
  std::vector<Registered> entries;
};

struct Parsed {
  std::u16string spool;
  std::vector<Registered> entries;
};

// Parses `input` in pieces cut at `cuts`, then closes the spool with its end mark.
Parsed parse(const std::u16string& input, std::vector<size_t> cuts = {},
             size_t capacity = SpoolWriter::kDefaultCapacity) {
  ScratchFile file;
  SpoolWriter spool(file.file, capacity);
  Recorder recorder;
  SourceParser parser(spool, recorder);
  cuts.push_back(input.size());
  size_t from = 0;
  for (size_t cut : cuts) {
    EXPECT_TRUE(parser.parseUnits(unitData(input) + from, cut - from).ok());
    from = cut;
  }
  spool.put(kEntryMark);
  EXPECT_TRUE(spool.flush().ok());
  return Parsed{file.units(), recorder.entries};
}

std::u16string spoolOf(const std::string& input) {
  return parse(units(input)).spool;
}

TEST(SourceParser, TwoEntriesAndTheirPositions) {
  Parsed p = parse(units("a  x_b  y_"));
  EXPECT_EQ(p.spool, units("|a~x|b~y|"));
  EXPECT_EQ(p.spool.size() * 2, 18u);
  EXPECT_EQ(p.entries, (std::vector<Registered>{{u"a", 0}, {u"b", 8}}));
}

TEST(SourceParser, BlanksAndTabs) {
  // A blank that ends an article is taken back by the next entry mark.
  EXPECT_EQ(spoolOf("a  x _b  y_"), units("|a~x|b~y|"));
  // A single blank stays inside the headword.
  Parsed p = parse(units("ab km  x_"));
  EXPECT_EQ(p.spool, units("|ab km~x|"));
  EXPECT_EQ(p.entries[0].headword, u"ab km");
  // Two blanks of any kind separate; blanks after the separator are dropped, inner ones kept.
  EXPECT_EQ(spoolOf("a^^b_"), units("|a~b|"));
  EXPECT_EQ(spoolOf("a ^ b_"), units("|a~b|"));
  EXPECT_EQ(spoolOf("a   b  k_"), units("|a~b  k|"));
  // Text after a tab is set off by a blank; tabs pass.
  EXPECT_EQ(spoolOf("a  x^y_"), units("|a~x^ y|"));
  EXPECT_EQ(spoolOf("a  x^ y_"), units("|a~x^ y|"));
  EXPECT_EQ(spoolOf("a  x^^y_"), units("|a~x^^ y|"));
  EXPECT_EQ(spoolOf("a  ^x_"), units("|a~^ x|"));
}

TEST(SourceParser, LineEnds) {
  // A line without the separator runs on into the next one.
  Parsed p = parse(units("word_next  t_"));
  EXPECT_EQ(p.entries, (std::vector<Registered>{{u"wordnext", 0}}));
  EXPECT_EQ(parse(units("word _next  t_")).entries[0].headword, u"word next");
  EXPECT_EQ(parse(units("dog^the_")).entries.size(), 0u);
  // Blank lines and leading blanks give nothing; CR LF is LF.
  EXPECT_EQ(spoolOf("  __  a  b_"), units("|a~b|"));
  EXPECT_EQ(spoolOf("a  b#_"), units("|a~b|"));
  // Controls inside an article are dropped.
  EXPECT_EQ(spoolOf(std::string("a  b\x07"
                                "c_")),
            units("|a~bc|"));
}

TEST(SourceParser, UnfinishedLastEntryStaysUnregistered) {
  Parsed p = parse(units("a  x_b  y"));
  EXPECT_EQ(p.spool, units("|a~x|b~y|"));
  EXPECT_EQ(p.entries.size(), 1u);
  EXPECT_EQ(parse(u"").spool, units("|"));
}

TEST(SourceParser, LongHeadwordReachesTheSpoolWhole) {
  const std::string headword(1100, 'h');
  Parsed p = parse(units(headword + "  x_"));
  EXPECT_EQ(p.spool, units("|" + headword + "~x|"));
  ASSERT_EQ(p.entries.size(), 1u);
  EXPECT_EQ(p.entries[0].headword, units(headword.substr(0, 1023)));
  // Cut right after a single blank: the blank is the headword's last unit.
  const std::string twoWords = std::string(1022, 'h') + " k";
  EXPECT_EQ(parse(units(twoWords + "  x_")).entries[0].headword,
            units(std::string(1022, 'h') + " "));
}

TEST(SourceParser, ChunkBoundariesChangeNothing) {
  const std::u16string input = units("  a b  x ^y z _#__cd\tq  k  _e  _f  g");
  const Parsed whole = parse(input);
  for (size_t cut = 0; cut <= input.size(); ++cut) {
    for (size_t second = cut; second <= input.size(); second += 3) {
      const Parsed split = parse(input, {cut, second});
      EXPECT_EQ(split.spool, whole.spool) << cut << " " << second;
      EXPECT_EQ(split.entries, whole.entries) << cut << " " << second;
    }
  }
}

TEST(SpoolWriter, BlankBeforeAMarkIsNeverStoredAcrossWriteOuts) {
  // With a buffer of 4 units the blank after x is the first unit of a new buffer; the same
  // blank at every other place of the buffer behaves the same.
  const std::u16string input = units("a  x _bc  y _d  z _");
  for (size_t capacity = 1; capacity <= 8; ++capacity) {
    EXPECT_EQ(parse(input, {}, capacity).spool, units("|a~x|bc~y|d~z|")) << capacity;
  }
  // Positions still count every stored unit.
  EXPECT_EQ(parse(input, {}, 3).entries,
            (std::vector<Registered>{{u"a", 0}, {u"bc", 8}, {u"d", 18}}));
}

TEST(SpoolWriter, OnlyTheLastBlankIsTakenBack) {
  // Of two blanks at the end of an article only the one right before the mark goes.
  for (size_t capacity = 1; capacity <= 5; ++capacity) {
    EXPECT_EQ(parse(units("a  b  c  _"), {}, capacity).spool, units("|a~b  c |")) << capacity;
  }
}

}  // namespace
}  // namespace zorvak::testing
