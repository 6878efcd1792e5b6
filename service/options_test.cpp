#include "service/options.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "service/command_line.h"

namespace varenta {
namespace {

TEST(TimeScale, PositiveDecimalsOnly) {
  for (auto [text, scale] :
       {std::pair{"1", 1.0}, {"0.01", 0.01}, {"2.5", 2.5}, {"007", 7.0}, {"1000000", 1e6}})
    EXPECT_DOUBLE_EQ(parseTimeScale(text), scale) << text;
  for (const char* bad : {"", "0", "0.000", "-1", "+1", "abc", "1e-3", ".5", "1.", " 1", "1 ", "inf", "nan",
                          "1,5", "1000000.5", "100000000000"})
    EXPECT_THROW(parseTimeScale(bad), EConvertError) << bad;
}

TEST(TimeScale, ScalesWaitsToTheMillisecond) {
  ServiceOptions options;
  options.timeScale = 0.001;
  EXPECT_EQ(options.scaled(std::chrono::seconds(900)), std::chrono::milliseconds(900));
  EXPECT_EQ(options.scaled(std::chrono::milliseconds(180000)), std::chrono::milliseconds(180));
  options.timeScale = 0.0001;
  EXPECT_EQ(options.scaled(std::chrono::milliseconds(30000)), std::chrono::milliseconds(3));
}

TEST(CommandLine, Switches) {
  struct Case {
    std::vector<std::string> arguments;
    Command command;
    bool silent;
  };
  for (const Case& c : {Case{{}, Command::Run, false}, Case{{"/INSTALL"}, Command::Install, false},
                        Case{{"-install", "/Silent"}, Command::Install, true},
                        Case{{"-SILENT", "/UnInstall"}, Command::Uninstall, true},
                        Case{{"/silent"}, Command::Run, true}, Case{{"/Console"}, Command::Console, false}}) {
    const auto line = parseCommandLine(c.arguments);
    ASSERT_TRUE(line.has_value());
    EXPECT_EQ(line->command, c.command);
    EXPECT_EQ(line->silent, c.silent);
  }
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{{"install"},
                                                                                   {"/"},
                                                                                   {"--install"},
                                                                                   {"/INSTALLX"},
                                                                                   {"/INSTALL", "/UNINSTALL"},
                                                                                   {"/CONSOLE", "/INSTALL"},
                                                                                   {"/INSTALL", "extra"}})
    EXPECT_FALSE(parseCommandLine(bad).has_value()) << bad[0];
}

TEST(CommandLine, InspectionsStandAlone) {
  EXPECT_EQ(parseCommandLine({"-situacao"})->inspection, Inspection::Situation);
  EXPECT_EQ(parseCommandLine({"/MARCAS"})->inspection, Inspection::Marks);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"/SITUACAO", "/SILENT"}, {"/SITUACAO", "/MARCAS"}, {"/CONSOLE", "/SITUACAO"}})
    EXPECT_FALSE(parseCommandLine(bad).has_value()) << bad[0] << " " << bad[1];
}

}  // namespace
}  // namespace varenta
