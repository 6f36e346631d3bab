#include "compiler/alternatives.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zorvak {
namespace {

// Keeps every alternative as "word>target".
class RecordingSink : public AlternativeSink {
 public:
  Status addAlternative(const uint16_t* word, size_t wordLength, const uint16_t* target,
                        size_t targetLength) override {
    records.push_back(std::u16string(word, word + wordLength) + u">" +
                      std::u16string(target, target + targetLength));
    return Status::Ok();
  }
  std::vector<std::u16string> records;
};

using Records = std::vector<std::u16string>;

WordForms formsFrom(std::string_view lines) {
  WordForms forms(65001);
  std::string chunk(lines);
  size_t carry = 0;
  EXPECT_TRUE(
      forms.consumeChunk(reinterpret_cast<uint8_t*>(chunk.data()), chunk.size(), &carry).ok());
  return forms;
}

Records produce(int32_t allWords, const WordForms& forms, std::u16string_view target) {
  AlternativeProducer producer(allWords, forms);
  RecordingSink sink;
  EXPECT_TRUE(
      producer.produce(reinterpret_cast<const uint16_t*>(target.data()), target.size(), sink).ok());
  return sink.records;
}

TEST(AlternativesFromHeadwordWords, WithoutFlagOnlyTheFirstWordAfterLeadingNonWordUnits) {
  const WordForms none(65001);
  EXPECT_EQ(produce(0, none, u"-ing"), Records{u"ing>-ing"});
  EXPECT_EQ(produce(0, none, u"(to) go"), Records{u"to)>(to) go"});
  EXPECT_EQ(produce(0, none, u"go on"), Records{});
  EXPECT_EQ(produce(0, none, u"\u00C4rger x"), Records{});
  EXPECT_EQ(produce(0, none, u"--"), Records{});
  // A target cut right after a blank: the word's blank is not part of the alternative.
  EXPECT_EQ(produce(0, none, u"'ab "), Records{u"ab>'ab "});
}

TEST(AlternativesFromHeadwordWords, WithFlagEveryWordThatDoesNotStartTheTarget) {
  const WordForms none(65001);
  EXPECT_EQ(produce(1, none, u"take off"), Records{u"off>take off"});
  EXPECT_EQ(produce(1, none, u"run"), Records{});
  EXPECT_EQ(produce(1, none, u"go go"), Records{});
  EXPECT_EQ(produce(1, none, u"a-b c"), Records{u"c>a-b c"});
  EXPECT_EQ(produce(-5, none, u"(to) go, went"),
            (Records{u"to)>(to) go, went", u"go,>(to) go, went", u"went>(to) go, went"}));
  // "go " starts the target only with its blank; "go" in "gone" does not end in one.
  EXPECT_EQ(produce(1, none, u"go gone"), Records{u"gone>go gone"});
}

TEST(AlternativesFromWordForms, LookupIgnoresCaseButRecordsKeepIt) {
  const WordForms forms = formsFrom("go:went,gone\nbe:was,were\ngoing:go\n\xC3\xA4pfel:apfel\n");
  // "gone" extends its lemma and was never stored.
  EXPECT_EQ(produce(0, forms, u"go"), Records{u"went>go"});
  EXPECT_EQ(produce(0, forms, u"Go"), Records{u"went>Go"});
  EXPECT_EQ(produce(0, forms, u"BE"), (Records{u"was>BE", u"were>BE"}));
  EXPECT_EQ(produce(0, forms, u"going"), Records{});
  EXPECT_EQ(produce(0, forms, u"Going"), Records{u"go>Going"});
  EXPECT_EQ(produce(0, forms, u"\u00C4PFEL"), Records{u"apfel>\u00C4PFEL"});
  EXPECT_EQ(produce(0, forms, u"g"), Records{});
  EXPECT_EQ(produce(0, forms, u"go "), Records{});
  // The words of the headword come before its forms.
  EXPECT_EQ(produce(0, formsFrom("-ing:ingen\n"), u"-ing"), (Records{u"ing>-ing", u"ingen>-ing"}));
}

}  // namespace
}  // namespace zorvak
