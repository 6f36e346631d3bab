#include "compiler/word_forms.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zorvak {
namespace {

std::u16string str(std::span<const uint16_t> units) {
  return std::u16string(units.begin(), units.end());
}

// Hands `bytes` to the chunk entry as one chunk followed by its zero byte; returns the carry.
size_t feed(WordForms& forms, std::string_view bytes) {
  std::vector<uint8_t> chunk(bytes.begin(), bytes.end());
  chunk.push_back(0);
  size_t carry = 7;
  EXPECT_TRUE(forms.consumeChunk(chunk.data(), bytes.size(), &carry).ok());
  return carry;
}

// Every record as "lemma:form", buckets in order, records in bucket order.
std::vector<std::u16string> listing(const WordForms& forms) {
  std::vector<std::u16string> lines;
  for (size_t b = 0; b < forms.bucketCount(); ++b) {
    for (uint32_t r = 0; r < forms.recordCount(); ++r) {
      if (forms.lemma(r)[0] != forms.bucketKey(b)) continue;
      lines.push_back(str(forms.lemma(r)) + u":" + str(forms.form(r)));
    }
  }
  return lines;
}

std::vector<std::u16string> formsOf(const WordForms& forms, std::u16string_view lemma) {
  std::vector<std::u16string> result;
  std::span<const uint16_t> key(reinterpret_cast<const uint16_t*>(lemma.data()), lemma.size());
  for (uint32_t r = forms.firstOfLemma(key); r != WordForms::kNoRecord; r = forms.nextOfLemma(r)) {
    result.push_back(str(forms.form(r)));
  }
  return result;
}

using Lines = std::vector<std::u16string>;

TEST(WordForms, LowerCasesThenDropsPrefixesAndDuplicates) {
  WordForms forms(1252);
  feed(forms, "Go:Went,went,goes\n");
  EXPECT_EQ(forms.offered(), 3u);
  EXPECT_EQ(forms.stored(), 1u);
  EXPECT_EQ(listing(forms), Lines{u"go:went"});
  // Blanks vanish everywhere, so both forms extend the lemma "icecream".
  feed(forms, "ice cream : ice creams , icecreams\n");
  EXPECT_EQ(forms.offered(), 5u);
  EXPECT_EQ(forms.stored(), 1u);
  // A form shorter than its lemma but equal to its start is kept.
  feed(forms, "going:go\n");
  EXPECT_EQ(formsOf(forms, u"going"), Lines{u"go"});
}

TEST(WordForms, LinesWithoutFormsStoreNothing) {
  WordForms forms(1252);
  forms.reset();
  feed(forms, "be:\nbe:,,,\nbe\n\n  \r\n:\n");
  EXPECT_EQ(forms.offered(), 0u);
  EXPECT_EQ(forms.stored(), 0u);
  EXPECT_TRUE(forms.empty());
  EXPECT_EQ(forms.firstOfLemma(std::vector<uint16_t>{'b', 'e'}), WordForms::kNoRecord);
}

TEST(WordForms, ColonsAndCommasOutsideTheirPlaceAreText) {
  WordForms forms(1252);
  feed(forms, "abc:x:y\na,b:c\n:x:y\r,q:,r,\n");
  EXPECT_EQ(listing(forms), (Lines{u"abc:x:y", u"a,b:c", u":x:y", u",q:r"}));
}

TEST(WordForms, BucketsInFirstSeenOrderAndFormsPerLemmaInStoredOrder) {
  WordForms forms(1252);
  feed(forms, "go:went\nbe:was\nget:got\ngo:ging,went\nBe:were\nget:went\n");
  EXPECT_EQ(forms.bucketCount(), 2u);
  EXPECT_EQ(forms.bucketKey(0), u'g');
  EXPECT_EQ(listing(forms),
            (Lines{u"go:went", u"get:got", u"go:ging", u"get:went", u"be:was", u"be:were"}));
  EXPECT_EQ(formsOf(forms, u"go"), (Lines{u"went", u"ging"}));
  EXPECT_EQ(formsOf(forms, u"g"), Lines{});
  forms.reset();
  EXPECT_TRUE(forms.empty());
  EXPECT_EQ(forms.bucketCount(), 0u);
  EXPECT_EQ(formsOf(forms, u"go"), Lines{});
}

TEST(WordForms, LongLemmasAndFormsAreCut) {
  WordForms forms(1252);
  feed(forms, "a:" + std::string(1500, 'b') + "\n" + std::string(1500, 'c') + ":d\n");
  ASSERT_EQ(forms.stored(), 2u);
  EXPECT_EQ(str(forms.form(0)), std::u16string(1023, u'b'));
  EXPECT_EQ(str(forms.lemma(1)), std::u16string(1023, u'c'));
}

TEST(WordForms, ChunkBoundariesChangeNothing) {
  const std::string text = "Haus:H\xE4user,Hauses\r\nBAUM : B\xC4UME\nlauf:lief,,gelaufen";
  WordForms whole(1252);
  feed(whole, text + "\n");
  EXPECT_EQ(formsOf(whole, u"baum"), Lines{u"b\u00E4ume"});
  for (size_t cut = 1; cut < text.size(); ++cut) {
    WordForms split(1252);
    feed(split, text.substr(0, cut));
    feed(split, text.substr(cut) + "\n");
    EXPECT_EQ(listing(split), listing(whole)) << "cut at " << cut;
    EXPECT_EQ(split.offered(), whole.offered());
  }
  // Without a line end after it the last form is not stored.
  WordForms open(1252);
  feed(open, text);
  EXPECT_EQ(open.stored(), whole.stored() - 1);
}

TEST(WordForms, DoubleByteLeadAtChunkEndIsCarried) {
  WordForms forms(936);
  // C4 E3 is one character; the chunk reader moves a carried lead byte to the next chunk.
  EXPECT_EQ(feed(forms, "x:a\xC4"), 1u);
  EXPECT_EQ(feed(forms, "\xC4\xE3\n"), 0u);
  EXPECT_EQ(formsOf(forms, u"x"), Lines{u"a\u4F60"});
}

TEST(WordForms, Utf16IsTakenRawAndOddByteIgnored) {
  WordForms forms(1200);
  const std::u16string text = u"\u00C4pfel:Apfel,\u00C4PFELN\n";
  std::string bytes;
  for (char16_t u : text)
    bytes += {static_cast<char>(u & 0xFF), static_cast<char>(u >> 8)};
  feed(forms, bytes + "x");
  EXPECT_EQ(listing(forms), Lines{u"\u00E4pfel:apfel"});
  EXPECT_EQ(forms.offered(), 2u);
}

}  // namespace
}  // namespace zorvak
