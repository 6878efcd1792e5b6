#pragma once
// The program's command line: no argument runs the service; "INSTALL" or "UNINSTALL", after "/"
// or "-" in any letter case, registers or removes it; "SILENT" keeps the confirmation quiet.

#include <optional>
#include <string>
#include <vector>

namespace varenta {

enum class Command { Run, Install, Uninstall };

struct CommandLine {
  Command command = Command::Run;
  bool silent = false;
};

// Empty for an unknown switch, a bare word, or INSTALL together with UNINSTALL.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsage;

}  // namespace varenta
