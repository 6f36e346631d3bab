// zorvak-check on the sample dictionary as the compiler writes it and with one rule broken at a
// time: each damage is named, and only the first without --all.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "tests/compiled_edit.h"
#include "tests/harness.h"
#include "tests/tool_run.h"

namespace zorvak::testing {
namespace {

// The sample dictionary compiled with its word forms, once for all cases.
const std::string& sample() {
  static const std::string bytes = [] {
    ScratchFolder folder;
    folder.write("sample.txt", readFile(std::string(ZORVAK_SOURCE_DIR) + "/examples/sample.txt"));
    folder.write("sample.forms.txt",
                 readFile(std::string(ZORVAK_SOURCE_DIR) + "/examples/sample.forms.txt"));
    EXPECT_EQ(folder.run({"sample.txt", "65001", "0", "sample.forms.txt"}).status, 0);
    return folder.read("sample.txt.zorvak");
  }();
  return bytes;
}

CompiledEntry& entryOf(CompiledParts& parts, const std::u16string& headword) {
  for (CompiledGroup& group : parts.groups) {
    for (CompiledEntry& entry : group.entries) {
      if (entry.headword == headword) return entry;
    }
  }
  throw std::runtime_error("no such entry");
}

// The file with the one entry edited.
std::string withEntry(const std::u16string& headword, void (*edit)(CompiledEntry&)) {
  CompiledParts parts = readParts(sample());
  edit(entryOf(parts, headword));
  return assemble(parts);
}

std::string patched(uint64_t offset, uint32_t value) {
  std::string bytes = sample();
  patch32(bytes, offset, value);
  return bytes;
}

uint64_t groupTable() {
  return readParts(sample()).header.groupTableOffset;
}

struct Damage {
  const char* name;
  std::string (*make)();
  const char* named;
};

const Damage kDamages[] = {
    {"short", [] { return sample().substr(0, 40); }, "fewer than a header's 48"},
    {"magic",
     [] {
       std::string bytes = sample();
       bytes[0] = 'X';
       return bytes;
     },
     "no \"ZorvakNL\" magic"},
    {"text_flag", [] { return patched(16, 2); }, "text flag 2"},
    {"code_page", [] { return patched(12, 12345); }, "code page 12345 is not supported"},
    {"offsets", [] { return patched(32, 40); }, "offsets out of order"},
    {"group_count", [] { return patched(8, 28); }, "group table holds 432 bytes, not 16 x 28"},
    {"block_stream",
     [] {
       std::string bytes = sample();
       bytes[52 + 100] ^= 0x55;
       return bytes;
     },
     "article block 0 at offset 0 of the article data: not a complete zlib stream"},
    {"keys",
     [] {
       CompiledParts parts = readParts(sample());
       std::swap(parts.groups[3], parts.groups[4]);
       return assemble(parts);
     },
     "group 4 (key 00410050): key not above the key 00410052"},
    {"section_offset", [] { return patched(groupTable() + 16 + 8, 31); },
     "group 1 (key 00280054): section at offset 31"},
    {"section_stream",
     [] {
       std::string bytes = sample();
       bytes.back() ^= 0x55;  // the last section's check value
       return bytes;
     },
     "group 26 (key 20AC0000): the section at file offset 1872 is not a complete zlib stream"},
    {"record_count",
     [] {
       std::string bytes = patched(groupTable() + 4, 2);
       patch32(bytes, 20, 33);
       return bytes;
     },
     "group 0 (key 00210049): the section holds 1 entries, the record says 2"},
    {"header_count", [] { return patched(20, 33); },
     "header: entry count 33, the group records add up to 32"},
    {"entry_key",
     [] {
       return withEntry(u"apple", [](CompiledEntry& e) {
         e.headword = u"bpple";
         e.slot = u"BPPLE";
       });
     },
     "group 3 (key 00410050), entry 1 at byte 40 of its section: headword 'bpple' has the key "
     "00420050"},
    {"folded_slot", [] { return withEntry(u"apple", [](CompiledEntry& e) { e.slot = u"APPLF"; }); },
     "the folded slot of 'apple' holds 'APPLF', not its folded form 'APPLE'"},
    {"order",
     [] {
       CompiledParts parts = readParts(sample());
       std::swap(parts.groups[3].entries[0], parts.groups[3].entries[1]);
       return assemble(parts);
     },
     "group 3 (key 00410050), entry 1 at byte 40 of its section: 'Apfel' sorts before the entry "
     "above it"},
    {"past_block",
     [] { return withEntry(u"apple", [](CompiledEntry& e) { e.header.articleLength = 700; }); },
     "the article of 'apple' (units 72 to 772) runs past the end of its block (770 units)"},
    {"block_start",
     [] { return withEntry(u"apple", [](CompiledEntry& e) { e.header.articleBlock = 1; }); },
     "the article of 'apple' is in a block at offset 1, where no block begins"},
    {"start_past_8192",
     [] { return withEntry(u"apple", [](CompiledEntry& e) { e.header.articleStart = 8193; }); },
     "the article of 'apple' begins at unit 8193 of its block, past unit 8192"},
    {"overlap",
     [] {
       CompiledParts parts = readParts(sample());
       EntryHeader& apple = entryOf(parts, u"apple").header;
       EntryHeader& apfel = entryOf(parts, u"Apfel").header;
       apfel.articleBlock = apple.articleBlock;
       apfel.articleStart = apple.articleStart + 1;
       return assemble(parts);
     },
     "the article of 'apple' overlaps another article of its group"},
    {"earlier_group",
     [] {
       CompiledParts parts = readParts(sample());
       const EntryHeader apple = entryOf(parts, u"apple").header;
       EntryHeader& last = parts.groups.back().entries.back().header;
       last.articleStart = apple.articleStart;
       last.articleLength = apple.articleLength;
       return assemble(parts);
     },
     "lies before the end of an article of an earlier group"},
    {"empty_article",
     [] { return withEntry(u"apple", [](CompiledEntry& e) { e.header.articleLength = 0; }); },
     "'apple' has an empty article but the location of one"},
    {"no_target",
     [] { return withEntry(u"went", [](CompiledEntry& e) { e.header.articleLength = 1; }); },
     "the alternative headword 'went' names no target"},
    {"missing_target",
     [] {
       CompiledParts parts = readParts(sample());
       CompiledDictionary dictionary;
       verifyCompiled(sample(), &dictionary);
       std::string text = dictionary.blocks[0].text;
       text.replace(text.find("\x08go\x08"
                              "be"),
                    3, "\x08gx");
       parts.articleData = deflateBytes(text);
       return assemble(parts);
     },
     "the alternative headword 'went' leads to 'gx', which no entry has as its headword"},
    {"long_unit",
     [] {
       CompiledParts parts = readParts(sample());
       CompiledDictionary dictionary;
       verifyCompiled(sample(), &dictionary);
       std::string text = dictionary.blocks[0].text;
       // One unit of four bytes in place of one of one: the unit count stays.
       text.replace(text.find("round"), 1, "\xC3\xA9\x80\x80");
       parts.articleData = deflateBytes(text);
       return assemble(parts);
     },
     "article block 0 at offset 0 of the article data: a unit of more than three bytes"},
    {"trailing", [] { return sample() + "x"; },
     "the last section ends at file offset 1894, not at the end of the file (1895)"},
};

class Check : public ::testing::TestWithParam<Damage> {};

TEST_P(Check, NamesTheFirstRuleBroken) {
  ScratchFolder folder;
  folder.write("d.zorvak", GetParam().make());
  const ToolResult result = runTool(ZORVAK_CHECK_BINARY, {"d.zorvak"}, folder.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find(GetParam().named), std::string::npos) << result.err;
  EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
}

INSTANTIATE_TEST_SUITE_P(Damages, Check, ::testing::ValuesIn(kDamages),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Check, PassesTheSampleAndReportsEveryBrokenRuleWithAll) {
  ScratchFolder folder;
  folder.write("d.zorvak", sample());
  ToolResult result = runTool(ZORVAK_CHECK_BINARY, {"d.zorvak"}, folder.path());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("d.zorvak: sound\n  code page 65001; groups 27, entries 32 "
                            "(alternative headwords 13), article blocks 1\n"),
            std::string::npos)
      << result.out;

  std::string bytes = sample();
  patch32(bytes, 20, 33);
  patch32(bytes, 16, 2);
  folder.write("d.zorvak", bytes);
  result = runTool(ZORVAK_CHECK_BINARY, {"--all", "--json", "d.zorvak"}, folder.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find("\"sound\":false,\"violations\":[\"header: text flag 2, where 0 or "
                            "1 is expected\"]"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(runTool(ZORVAK_CHECK_BINARY, {}, folder.path()).status, 2);
  EXPECT_EQ(runTool(ZORVAK_CHECK_BINARY, {"missing.zorvak"}, folder.path()).status, 2);
}

// A block holding more alternative headwords than the check lists one by one: each is still
// recognised by its reference mark, and a target broken among them is named.
TEST(Check, FindsEveryAlternativeOfABlockDenseWithThem) {
  ScratchFolder folder;
  folder.write("d.txt", "go  to move\n");
  std::string forms = "go:";
  for (int i = 0; i < 1500; ++i)
    forms += (i == 0 ? " f" : ", f") + std::to_string(i);
  folder.write("d.forms", forms + "\n");
  ASSERT_EQ(folder.run({"d.txt", "1252", "0", "d.forms"}).status, 0);
  ToolResult result = runTool(ZORVAK_CHECK_BINARY, {"d.txt.zorvak"}, folder.path());
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_NE(result.out.find("(alternative headwords 1500), article blocks 1\n"), std::string::npos)
      << result.out;

  const std::string bytes = folder.read("d.txt.zorvak");
  CompiledParts parts = readParts(bytes);
  CompiledDictionary dictionary;
  verifyCompiled(bytes, &dictionary);
  std::string text = dictionary.blocks[0].text;
  size_t at = 0;
  for (int i = 0; i < 1000; ++i)
    at = text.find("\x08go", at + 1);
  ASSERT_NE(at, std::string::npos);
  text.replace(at, 3, "\x08gx");
  parts.articleData = deflateBytes(text);
  folder.write("d.txt.zorvak", assemble(parts));
  result = runTool(ZORVAK_CHECK_BINARY, {"d.txt.zorvak"}, folder.path());
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find("leads to 'gx', which no entry has as its headword"), std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace zorvak::testing
