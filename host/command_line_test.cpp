#include "host/command_line.h"

#include <gtest/gtest.h>

namespace varenta {
namespace {

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
