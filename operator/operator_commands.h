#pragma once
// The operator's inspection commands of prjSrvVarenta. Each connects to the store database as the
// service does (Tolvane.ini in programDir, the first password, then the second) and loads the
// settings and marks, which moves a start date older than two months up as every load does.
// Neither posts anything or moves a mark. What the connection step and the load would log goes to
// err. Each answers the program's exit status.

#include <cstdint>
#include <ostream>
#include <string>

namespace varenta {

// /VENDA n: the register the new-sale export would post sale n to, then the batch text it would
// post, one line each on out (UTF-8). A build that fails is logged on err and gives an empty
// batch, as the export would post it. Status 1, with one line on err, when no line of sale n is
// dated on or after the start date (a number beyond the sale column's range names no sale), or when
// the database cannot be read. `venda` is the number's decimal digits.
int inspectSale(const std::string& programDir, const std::string& venda, std::ostream& out,
                std::ostream& err);

// /MARCAS: the loaded settings and the five sync marks, one "column=value" line each on out, the
// password masked. Status 1 when the database cannot be reached or the settings cannot be loaded.
int printMarks(const std::string& programDir, std::ostream& out, std::ostream& err);

}  // namespace varenta
