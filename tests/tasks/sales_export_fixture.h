#pragma once
// SalesExportTest: the fixture of the sale exports' tests. A TaskFixture on 20 June 2024 (start date
// 1 June), a catalogue of three articles and one customer, a seeded generator, and a closing resend
// that only records its calls; plus the pieces of expected documents the tests write out.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "sales/sales_export_context.h"
#include "tests/tasks/store_rows.h"
#include "tests/tasks/task_fixture.h"

namespace varenta {

class SalesExportTest : public ::testing::Test {
 protected:
  static constexpr std::uint64_t kSeed = 20240620;

  SalesExportTest() {
    f.database.exec(
        "insert into produtos (codigo, produto) values ('7891000100103', 'DIPIRONA 500MG/10CPR')");
    f.database.exec(
        "insert into produtos (codigo, produto) values ('7896422506212', 'PROTETOR SOLAR FPS50 AÇAÍ')");
    f.database.exec(
        "insert into produtos (codigo, produto) values ('7891010101010', 'SORO FISIOLÓGICO 500ML')");
    f.database.exec("insert into clientes (codigo, nome, cic) values (7, 'ANA', ' 123.456.789-09 ')");
  }

  SalesExportContext context() {
    return {f.context(), random, [this](DateTime day, const std::string& terminal) {
              closingResends.emplace_back(day, terminal);
            }};
  }

  testing::TaskFixture f{DateTime::fromParts(2024, 6, 20, 9)};
  PseudoRandom random{kSeed};
  std::vector<std::pair<DateTime, std::string>> closingResends;
};

// The movements endpoint of a register of company 12, store 1.
inline std::string movimientos(const std::string& caixa) {
  return "/api-minoristas/api/v2/minoristas/12/locales/1/cajas/" + caixa + "/movimientos/lotes";
}

inline std::string detalle(const std::string& codigo, const std::string& barras, const std::string& descricao,
                           const std::string& cantidad, const std::string& unitario,
                           const std::string& importe, const std::string& descuento) {
  return R"({"codigoArticulo":")" + codigo + R"(","codigoBarras":")" + barras +
         R"(","descripcionArticulo":")" + descricao + R"(","cantidad":)" + cantidad +
         R"(,"importeUnitario":)" + unitario + R"(,"importe":)" + importe + R"(,"descuento":)" + descuento +
         R"(,"recargo":0})";
}

inline std::string pago(int kind, const std::string& importe) {
  return R"({"codigoTipoPago":)" + std::to_string(kind) + R"(,"codigoMoneda":"986","importe":)" + importe +
         R"(,"cotizacion":1})";
}

inline std::string cardPago(int kind, const std::string& importe, const std::string& digitos,
                            const std::string& autorizacao, const std::string& bin) {
  return R"({"codigoTipoPago":)" + std::to_string(kind) + R"(,"codigoMoneda":"986","importe":)" + importe +
         R"(,"cotizacion":1,"ultimosDigitosTarjeta":")" + digitos + R"(","numeroAutorizacion":")" +
         autorizacao + R"(","codigoTarjeta":null,"bin":")" + bin + R"("})";
}

// The line a VendaRow left at its defaults becomes, and the same line sold twice over.
inline const std::string kDipirona1 =
    detalle("100103", "7891000100103", "DIPIRONA 500MG\\/10CPR", "1", "10", "10", "0");
inline const std::string kDipirona2 =
    detalle("100103", "7891000100103", "DIPIRONA 500MG\\/10CPR", "2", "10", "20", "0");

// The "numero" of a posted batch.
inline std::string numeroOf(const std::string& body) {
  std::smatch m;
  return std::regex_search(body, m, std::regex(R"re("numero":"([^"]*)")re")) ? m[1].str() : "";
}

}  // namespace varenta
