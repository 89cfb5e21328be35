// Splitting syntax into commands and words, and finding commands by name.
#include <gtest/gtest.h>

#include <memory>

#include "platform/spss/CommandRegistry.h"
#include "platform/spss/CommandSplitter.h"

namespace {

using korvana::spss::CommandContext;
using korvana::spss::CommandRegistry;
using korvana::spss::CommandSplitter;
using korvana::spss::PackageCommand;
using korvana::spss::SyntaxCommand;

std::vector<std::pair<std::string, std::size_t>> split(const std::string& syntax) {
  std::vector<std::pair<std::string, std::size_t>> result;
  for (const SyntaxCommand& command : CommandSplitter::split(syntax)) result.emplace_back(command.text, command.line);
  return result;
}

using Commands = std::vector<std::pair<std::string, std::size_t>>;

TEST(CommandSplitterTest, AFullStopAtTheEndOfALineEndsACommand) {
  EXPECT_EQ(split("A x.\nB y.\n"), (Commands{{"A x", 1}, {"B y", 2}}));
  EXPECT_EQ(split("A x.  \t\r\nB y.\r\n"), (Commands{{"A x", 1}, {"B y", 2}})) << "blanks and CR after the stop";
  EXPECT_EQ(split("A x\n  /OPT=1.\n"), (Commands{{"A x\n  /OPT=1", 1}})) << "continued over two lines";
  EXPECT_EQ(split("A 1.5 x\n.\n"), (Commands{{"A 1.5 x", 1}})) << "a stop inside a line does not end it";
  EXPECT_EQ(split("\n\n  \nA.\n\nB.\n"), (Commands{{"A", 4}, {"B", 6}})) << "blank lines are skipped";
}

TEST(CommandSplitterTest, TheEndOfTheTextEndsTheLastCommand) {
  EXPECT_EQ(split("A x.\nB y"), (Commands{{"A x", 1}, {"B y", 2}}));
  EXPECT_EQ(split("PROXIMITIES a /MATRIX=OUT('C:\\TEMP\\kvana0')."),
            (Commands{{"PROXIMITIES a /MATRIX=OUT('C:\\TEMP\\kvana0')", 1}}));
  EXPECT_TRUE(split("").empty());
  EXPECT_TRUE(split(" \n\t\n").empty());
  EXPECT_TRUE(split(".").empty()) << "a lone stop is an empty command";
}

TEST(CommandSplitterTest, WordsSplitAtBlanksAndSeparators) {
  using Words = std::vector<std::string>;
  EXPECT_EQ(CommandSplitter::words("PROXIMITIES a,b /VIEW=CASE"),
            (Words{"PROXIMITIES", "a", ",", "b", "/", "VIEW", "=", "CASE"}));
  EXPECT_EQ(CommandSplitter::words("OUT('it''s here.sav')"), (Words{"OUT", "(", "'it's here.sav'", ")"}));
  EXPECT_EQ(CommandSplitter::words("  SPLIT\n FILE\tBY g  "), (Words{"SPLIT", "FILE", "BY", "g"}));
  EXPECT_EQ(CommandSplitter::words("TITLE \"open"), (Words{"TITLE", "\"open\""})) << "an unclosed quote ends the text";
}

class NamedCommand final : public PackageCommand {
 public:
  explicit NamedCommand(std::string name) : name_(std::move(name)) {}
  std::string name() const override { return name_; }
  void run(const std::vector<std::string>&, CommandContext&) override {}

 private:
  std::string name_;
};

TEST(CommandRegistryTest, TheLongestNameThatBeginsTheCommandWins) {
  CommandRegistry registry;
  registry.add(std::make_unique<NamedCommand>("SPLIT"));
  registry.add(std::make_unique<NamedCommand>("split file"));
  const auto split = registry.find({"Split", "File", "BY", "g"});
  ASSERT_NE(split.command, nullptr);
  EXPECT_EQ(split.command->name(), "split file");
  EXPECT_EQ(split.nameWords, 2u);
  const auto shorter = registry.find({"SPLIT", "x"});
  ASSERT_NE(shorter.command, nullptr);
  EXPECT_EQ(shorter.command->name(), "SPLIT");
  EXPECT_EQ(registry.find({"FILE"}).command, nullptr);
  EXPECT_EQ(registry.find({}).command, nullptr);
}

TEST(CommandRegistryTest, ARegisteredCommandReplacesTheBuiltInOfTheSameName) {
  CommandRegistry registry = CommandRegistry::builtIn();
  EXPECT_EQ(registry.names(), (std::vector<std::string>{"FILTER", "PROXIMITIES", "SPLIT FILE", "WEIGHT"}));
  registry.add(std::make_unique<NamedCommand>("Proximities"));
  const PackageCommand* replaced = registry.find({"proximities", "a"}).command;
  ASSERT_NE(replaced, nullptr);
  EXPECT_EQ(replaced->name(), "Proximities");
  EXPECT_EQ(registry.names().size(), 4u);
}

}  // namespace
