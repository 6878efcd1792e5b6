#include "service/command_line.h"

#include <charconv>

#include "base/text.h"

namespace varenta {

const char* const kUsage =
    "usage: prjSrvVarenta [/INSTALL | /UNINSTALL] [/SILENT] | /VENDA <number> | /MARCAS\n"
    "  (no switch)  run the SrvVarenta service in the foreground until SIGTERM or SIGINT\n"
    "               (SIGUSR1 pauses it, SIGUSR2 continues it)\n"
    "  /INSTALL     write the systemd unit SrvVarenta.service and enable it\n"
    "  /UNINSTALL   disable and remove that unit\n"
    "  /SILENT      print no confirmation\n"
    "  /VENDA n     print the register and the batch text the sale export would post for sale n\n"
    "  /MARCAS      print the integration settings and sync marks (password masked)\n"
    "Switches may start with \"/\" or \"-\", in any letter case.\n";

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool install = false;
  bool uninstall = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
    const std::string_view name = std::string_view(argument).substr(1);
    if (asciiIEquals(name, "INSTALL"))
      install = true;
    else if (asciiIEquals(name, "UNINSTALL"))
      uninstall = true;
    else if (asciiIEquals(name, "SILENT"))
      line.silent = true;
    else if (asciiIEquals(name, "MARCAS"))
      line.inspection = Inspection::Marks;
    else if (asciiIEquals(name, "VENDA") && i + 1 < arguments.size()) {
      const std::string& number = arguments[++i];
      const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), line.venda);
      if (error != std::errc() || end != number.data() + number.size() || line.venda < 1) return std::nullopt;
      line.inspection = Inspection::Sale;
    } else
      return std::nullopt;
  }
  if (install && uninstall) return std::nullopt;
  if (line.inspection && arguments.size() != (line.inspection == Inspection::Sale ? 2u : 1u))
    return std::nullopt;
  line.command = install ? Command::Install : uninstall ? Command::Uninstall : Command::Run;
  return line;
}

}  // namespace varenta
