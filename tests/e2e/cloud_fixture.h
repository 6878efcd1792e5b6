#pragma once
// The cloud's side of a generated store: the promotion lists (accepted: one of each promotion type,
// one with payment forms and BINs, two baskets and one that takes no route; rejected: one of each
// rejection rule and one that marks nothing) and the resend requests (the movements of one
// register and day, the closing of another register and day, and one request of the wrong list,
// passed over). Next to them, the promotion tables as the import must leave them, as text rows.

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "storedb/connection.h"
#include "tests/e2e/store_model.h"

namespace varenta::e2e {

struct ResendRequests {
  DateTime movementDay;
  int movementRegister = 2;
  DateTime closingDay;
  int closingRegister = 3;
};

ResendRequests resendRequests(const Store& store);

// The stand-in's data files, name and text: promociones-aceptadas.json,
// promociones-rechazadas.json, solicitudes-movimientos.json and solicitudes-cierres.json.
std::vector<std::pair<std::string, std::string>> cloudFiles(const Store& store);
// Writes them into the stand-in's data directory.
void writeCloudFiles(const Store& store, const std::filesystem::path& dataDir);

// One text row per table row, in key order: values joined by "|", "-" for NULL, dates as
// yyyy-mm-dd, numbers in their shortest form, and a rejection time as "rejeitada".
struct PromotionTables {
  std::vector<std::string> promocoes;  // VARENTA_PROMOCOES
  std::vector<std::string> produtos;   // VARENTA_PROMOCOES_PRODUTOS
  std::vector<std::string> bins;       // VARENTA_PROMOCOES_BIN
  std::vector<std::string> cestas;     // CESTASPROMOCIONAIS
  std::vector<std::string> itens;      // ITENSCESTASPROMOCIONAIS
};

PromotionTables expectedPromotionTables(const Store& store);
PromotionTables readPromotionTables(Connection& connection);

}  // namespace varenta::e2e
