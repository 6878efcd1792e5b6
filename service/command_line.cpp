#include "service/command_line.h"

#include "base/text.h"

namespace varenta {

const char* const kUsage =
    "usage: prjSrvVarenta [/INSTALL | /UNINSTALL] [/SILENT]\n"
    "  (no switch)  run the SrvVarenta service in the foreground until SIGTERM or SIGINT\n"
    "               (SIGUSR1 pauses it, SIGUSR2 continues it)\n"
    "  /INSTALL     write the systemd unit SrvVarenta.service and enable it\n"
    "  /UNINSTALL   disable and remove that unit\n"
    "  /SILENT      print no confirmation\n"
    "Switches may start with \"/\" or \"-\", in any letter case.\n";

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool install = false;
  bool uninstall = false;
  for (const std::string& argument : arguments) {
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
    const std::string_view name = std::string_view(argument).substr(1);
    if (asciiIEquals(name, "INSTALL"))
      install = true;
    else if (asciiIEquals(name, "UNINSTALL"))
      uninstall = true;
    else if (asciiIEquals(name, "SILENT"))
      line.silent = true;
    else
      return std::nullopt;
  }
  if (install && uninstall) return std::nullopt;
  line.command = install ? Command::Install : uninstall ? Command::Uninstall : Command::Run;
  return line;
}

}  // namespace varenta
