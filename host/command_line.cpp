#include "host/command_line.h"

#include <algorithm>

#include "base/text.h"

namespace varenta {

std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments) {
  CommandLine line;
  bool install = false;
  bool uninstall = false;
  bool console = false;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument.size() < 2 || (argument[0] != '/' && argument[0] != '-')) return std::nullopt;
    const std::string_view name = std::string_view(argument).substr(1);
    if (asciiIEquals(name, "INSTALL"))
      install = true;
    else if (asciiIEquals(name, "UNINSTALL"))
      uninstall = true;
    else if (asciiIEquals(name, "CONSOLE"))
      console = true;
    else if (asciiIEquals(name, "SILENT"))
      line.silent = true;
    else if (asciiIEquals(name, "MARCAS"))
      line.inspection = Inspection::Marks;
    else if (asciiIEquals(name, "SITUACAO"))
      line.inspection = Inspection::Situation;
    else if (asciiIEquals(name, "VENDA") && i + 1 < arguments.size()) {
      // Digits only, however many: a number too large for any sale still names one, which does not
      // exist.
      const std::string& number = arguments[++i];
      if (number.empty() || number.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
      line.venda = number.substr(std::min(number.find_first_not_of('0'), number.size()));
      if (line.venda.empty()) return std::nullopt;
      line.inspection = Inspection::Sale;
    } else
      return std::nullopt;
  }
  if (install + uninstall + console > 1) return std::nullopt;
  if (line.inspection && arguments.size() != (line.inspection == Inspection::Sale ? 2u : 1u))
    return std::nullopt;
  line.command = install     ? Command::Install
                 : uninstall ? Command::Uninstall
                 : console   ? Command::Console
                             : Command::Run;
  return line;
}

}  // namespace varenta
