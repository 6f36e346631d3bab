#include "driver/command_line.h"

#include <gtest/gtest.h>

namespace zorvak {
namespace {

TEST(ParseNumber, FollowsTheForgivingConversion) {
  EXPECT_EQ(parseNumber("1252"), 1252);
  EXPECT_EQ(parseNumber("  \t65001"), 65001);
  EXPECT_EQ(parseNumber("+7"), 7);
  EXPECT_EQ(parseNumber("-3"), -3);
  EXPECT_EQ(parseNumber("12abc"), 12);
  EXPECT_EQ(parseNumber("abc"), 0);
  EXPECT_EQ(parseNumber(""), 0);
  EXPECT_EQ(parseNumber("- 5"), 0);
  EXPECT_EQ(parseNumber("99999999999"), INT32_MAX);
  EXPECT_EQ(parseNumber("-99999999999"), INT32_MIN);
}

TEST(ParseCommandLine, NoArgumentsAsksForUsage) {
  EXPECT_EQ(parseCommandLine({}).kind, CommandKind::kUsage);
}

TEST(ParseCommandLine, OneArgumentTakesTheDefaults) {
  Command command = parseCommandLine({"dict.txt"});
  ASSERT_EQ(command.kind, CommandKind::kRun);
  EXPECT_EQ(command.settings.inputName, "dict.txt");
  EXPECT_EQ(command.settings.codePage, 1251);
  EXPECT_EQ(command.settings.allWords, 0);
  EXPECT_EQ(command.settings.wordFormsName, "");
}

TEST(ParseCommandLine, ReadsAllFourAndIgnoresTheRest) {
  Command command = parseCommandLine({"d.txt", "65001", "1", "forms.txt", "extra"});
  EXPECT_EQ(command.settings.codePage, 65001);
  EXPECT_EQ(command.settings.allWords, 1);
  EXPECT_EQ(command.settings.wordFormsName, "forms.txt");
}

TEST(ParseCommandLine, ZeroOrNonNumericCodePageMeansDecompress) {
  EXPECT_EQ(parseCommandLine({"d.zorvak", "0"}).settings.codePage, 0);
  EXPECT_EQ(parseCommandLine({"d.zorvak", "utf8"}).settings.codePage, 0);
}

TEST(ParseCommandLine, EmptyFourthArgumentMeansNoWordForms) {
  EXPECT_EQ(parseCommandLine({"d.txt", "1251", "0", ""}).settings.wordFormsName, "");
}

TEST(ParseCommandLine, OptionsStandBeforeTheArguments) {
  Command command = parseCommandLine({"--threads", "3", "--smallest", "d.txt", "65001"});
  ASSERT_EQ(command.kind, CommandKind::kRun);
  EXPECT_EQ(command.settings.threads, 3u);
  EXPECT_TRUE(command.settings.smallest);
  EXPECT_EQ(command.settings.inputName, "d.txt");
  EXPECT_EQ(command.settings.codePage, 65001);
  EXPECT_EQ(parseCommandLine({"d.txt"}).settings.threads, 0u) << "one per core";
  // "--" ends the options; "-" alone is a name; after the input every argument is positional.
  EXPECT_EQ(parseCommandLine({"--threads=2", "--", "-x.txt"}).settings.inputName, "-x.txt");
  EXPECT_EQ(parseCommandLine({"-", "1252"}).settings.inputName, "-");
  command = parseCommandLine({"d.txt", "--threads", "2"});
  EXPECT_EQ(command.settings.codePage, 0);
  EXPECT_EQ(command.settings.threads, 0u);
  for (const std::vector<std::string>& bad : {std::vector<std::string>{"--threads"},
                                              {"--threads", "0", "d"},
                                              {"--threads=x", "d"},
                                              {"--threads", "257", "d"},
                                              {"--fast", "d"},
                                              {"-x", "d"}}) {
    EXPECT_EQ(parseCommandLine(bad).kind, CommandKind::kBadOption) << bad[0];
  }
  EXPECT_EQ(parseCommandLine({"--smallest"}).kind, CommandKind::kUsage);
}

TEST(ParseCommandLine, HelpAndVersion) {
  EXPECT_EQ(parseCommandLine({"--help"}).kind, CommandKind::kHelp);
  EXPECT_EQ(parseCommandLine({"--version"}).kind, CommandKind::kVersion);
}

TEST(DerivedName, AppendsAndKeepsTheExtension) {
  EXPECT_EQ(derivedName("dict.txt", ".zorvak"), "dict.txt.zorvak");
  EXPECT_EQ(derivedName("dict.txt.zorvak", ".txt"), "dict.txt.zorvak.txt");
}

}  // namespace
}  // namespace zorvak
