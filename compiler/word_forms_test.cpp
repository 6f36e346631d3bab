#include "compiler/word_forms.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zorvak {
namespace {

using Lines = std::vector<std::u16string>;

std::u16string str(std::span<const uint16_t> units) {
  return std::u16string(units.begin(), units.end());
}

// Hands `bytes` (code page 1252) to the chunk entry as one chunk followed by its zero byte.
void feed(WordForms& forms, std::string_view bytes) {
  std::vector<uint8_t> chunk(bytes.begin(), bytes.end());
  chunk.push_back(0);
  size_t carry = 0;
  EXPECT_TRUE(forms.consumeChunk(chunk.data(), bytes.size(), &carry).ok());
}

// Every record as "lemma:form", bucket by bucket.
Lines listing(const WordForms& forms) {
  Lines lines;
  for (size_t b = 0; b < forms.bucketCount(); ++b) {
    for (uint32_t r = 0; r < forms.recordCount(); ++r) {
      if (forms.lemma(r)[0] == forms.bucketKey(b)) {
        lines.push_back(str(forms.lemma(r)) + u":" + str(forms.form(r)));
      }
    }
  }
  return lines;
}

Lines formsOf(const WordForms& forms, std::u16string_view lemma) {
  Lines result;
  std::span<const uint16_t> key(reinterpret_cast<const uint16_t*>(lemma.data()), lemma.size());
  for (uint32_t r = forms.firstOfLemma(key); r != WordForms::kNoRecord; r = forms.nextOfLemma(r)) {
    result.push_back(str(forms.form(r)));
  }
  return result;
}

TEST(WordForms, LowerCasesThenDropsPrefixesAndDuplicates) {
  WordForms forms(1252);
  feed(forms, "Go:Went,went,goes\n");
  EXPECT_EQ(forms.offered(), 3u);
  EXPECT_EQ(forms.stored(), 1u);
  // Blanks vanish everywhere, so both forms extend the lemma "icecream".
  feed(forms, "ice cream : ice creams , icecreams\ngoing:go\n");
  EXPECT_EQ(forms.offered(), 6u);
  EXPECT_EQ(listing(forms), (Lines{u"go:went", u"going:go"}));
}

TEST(WordForms, LineSyntax) {
  WordForms forms(1252);
  feed(forms, "be:\nbe:,,,\nbe\n\n  \r\n:\n");
  EXPECT_EQ(forms.offered(), 0u);
  EXPECT_TRUE(forms.empty());
  // A colon after the first one and a comma before it are text; CR alone ends a line.
  feed(forms, "abc:x:y\na,b:c\n:x:y\r,q:,r,\n");
  EXPECT_EQ(listing(forms), (Lines{u"abc:x:y", u"a,b:c", u":x:y", u",q:r"}));
  // Lemmas and forms are cut at 1023 units.
  feed(forms, "a:" + std::string(1500, 'b') + "\n" + std::string(1500, 'c') + ":d\n");
  EXPECT_EQ(formsOf(forms, u"a"), Lines{std::u16string(1023, u'b')});
  EXPECT_EQ(formsOf(forms, std::u16string(1023, u'c')), Lines{u"d"});
}

TEST(WordForms, BucketsInFirstSeenOrderAndFormsPerLemmaInStoredOrder) {
  WordForms forms(1252);
  feed(forms, "go:went\nbe:was\nget:got\ngo:ging,went\nBe:were\nget:went\n");
  EXPECT_EQ(forms.bucketCount(), 2u);
  EXPECT_EQ(listing(forms),
            (Lines{u"go:went", u"get:got", u"go:ging", u"get:went", u"be:was", u"be:were"}));
  EXPECT_EQ(formsOf(forms, u"go"), (Lines{u"went", u"ging"}));
  EXPECT_EQ(formsOf(forms, u"g"), Lines{});
  forms.reset();
  EXPECT_TRUE(forms.empty());
  EXPECT_EQ(forms.bucketCount(), 0u);
  EXPECT_EQ(formsOf(forms, u"go"), Lines{});
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
}

}  // namespace
}  // namespace zorvak
