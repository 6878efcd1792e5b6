#pragma once
// The program's command line: no argument runs the service as the platform's service manager starts
// it; "CONSOLE" runs it in the foreground for an operator; "INSTALL" or "UNINSTALL", after "/" or "-"
// in any letter case, registers or removes it; "SILENT" keeps the confirmation quiet.
// "VENDA" with a sale number, "MARCAS" or "SITUACAO", alone, asks for an operator's inspection
// instead.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

enum class Command { Run, Console, Install, Uninstall };

// What the operator inspects, with no service around: a sale's document, the settings and marks, or
// what is waiting and what failed last.
enum class Inspection { Sale, Marks, Situation };

struct CommandLine {
  Command command = Command::Run;
  bool silent = false;
  std::optional<Inspection> inspection;
  std::string venda;  // the sale of Inspection::Sale: its decimal digits, no leading zero
};

// Empty for an unknown switch, a bare word, two of INSTALL, UNINSTALL and CONSOLE, an inspection with
// anything else, or VENDA without a positive sale number (decimal digits) after it.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments);

// What the program prints for a command line it cannot read (service_host.cpp, with the lines
// that differ by platform).
extern const std::string kUsage;

}  // namespace varenta
