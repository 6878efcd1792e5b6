#pragma once
// The program's command line: no argument runs the service; "INSTALL" or "UNINSTALL", after "/"
// or "-" in any letter case, registers or removes it; "SILENT" keeps the confirmation quiet.
// "VENDA" with a sale number, or "MARCAS", alone, asks for an operator's inspection instead.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace varenta {

enum class Command { Run, Install, Uninstall };

// What the operator inspects, with no service around: a sale's document, or the settings and marks.
enum class Inspection { Sale, Marks };

struct CommandLine {
  Command command = Command::Run;
  bool silent = false;
  std::optional<Inspection> inspection;
  std::int64_t venda = 0;  // the sale of Inspection::Sale
};

// Empty for an unknown switch, a bare word, INSTALL together with UNINSTALL, an inspection with
// anything else, or VENDA without a positive sale number after it.
std::optional<CommandLine> parseCommandLine(const std::vector<std::string>& arguments);

extern const char* const kUsage;

}  // namespace varenta
