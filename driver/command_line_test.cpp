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
