#include "sales/movement_builder.h"

#include <gtest/gtest.h>

#include <regex>

#include "base/error.h"
#include "tests/support/manual_clock.h"

namespace varenta {
namespace {

Decimal D(const char* text) {
  return Decimal::parse(text);
}

const DateTime kSaleTime = DateTime::fromParts(2024, 3, 5, 14, 7, 9);
const DateTime kNow = DateTime::fromParts(2024, 3, 6, 9, 30, 0, 125);
constexpr std::uint64_t kSeed = 20240305;

SaleLine saleLine(const char* hash, const char* barcode, const char* name, const char* quantidade,
                  const char* precounitario, const char* subtotal, const char* desconto,
                  const char* precototal, const char* precoautomatico) {
  return {1234,          kSaleTime,          " 123.456.789-09 ", barcode,     hash,
          name,          D(quantidade),      D(precounitario),   D(subtotal), D(desconto),
          D(precototal), D(precoautomatico), "ECF-IF",           " 000321 "};
}

// Two lines worth 42.50: one with its own discount (and a slash in its name), one of half a unit.
const SaleLine kDipirona =
    saleLine("1829374655", "7896422506212", "DIPIRONA 500MG/10CPR", "1", "20", "20", "2", "18", "20");
const SaleLine kProtetor = saleLine("998877", "7891010101010", "PROTETOR SOLAR FPS50 AÇAÍ", "0.5", "49",
                                    "24.5", "0", "24.5", "24.5");
const std::string kDipironaJson =
    R"({"codigoArticulo":"1829374655","codigoBarras":"7896422506212","descripcionArticulo":"DIPIRONA 500MG\/10CPR",)"
    R"("cantidad":1,"importeUnitario":20,"importe":18,"descuento":2,"recargo":0})";
const std::string kProtetorJson =
    R"({"codigoArticulo":"998877","codigoBarras":"7891010101010","descripcionArticulo":"PROTETOR SOLAR FPS50 AÇAÍ",)"
    R"("cantidad":0.5,"importeUnitario":49,"importe":24.5,"descuento":0,"recargo":0})";
const std::string kTwoLines = "[" + kDipironaJson + "," + kProtetorJson + "]";

std::string pago(int kind, const char* amount) {
  return R"({"codigoTipoPago":)" + std::to_string(kind) + R"(,"codigoMoneda":"986","importe":)" + amount +
         R"(,"cotizacion":1})";
}

SaleAmounts amounts(const char* acressimo, const char* taxaentrega, const char* desconto,
                    const char* totalcancelamentoparcial = "0") {
  return {D(acressimo), D(taxaentrega), D(desconto), D(totalcancelamentoparcial)};
}

PaymentRow cashSale() {
  PaymentRow row;
  row.naturezadaoperacao = "Venda a Vista";
  return row;
}

MovementInput input(MovementKind kind, std::vector<SaleLine> lines, PaymentRow row,
                    std::vector<CardRow> cards = {}, SaleAmounts amounts = {}) {
  return {kind, amounts, std::move(lines), [row] { return row; }, [cards] { return cards; }};
}

Movement build(const MovementInput& in, std::uint64_t seed = kSeed) {
  ManualClock clock(kNow);
  PseudoRandom random(seed);
  return buildMovement(in, random, clock);
}

// The value the generator gives for the first card whose last digits were not recorded.
int firstDrawnCardDigits() {
  PseudoRandom twin(kSeed);
  return static_cast<int>(1000 + twin.below(9000));
}

std::string header(const char* numero, const char* descuento, const char* recargo, const char* total,
                   bool cancelacion, int canal, const char* channel) {
  return std::string(R"({"fecha":"2024-03-05T14:07:09.000-0300","numero":")") + numero +
         R"(","descuentoTotal":)" + descuento + R"(,"recargoTotal":)" + recargo +
         R"(,"codigoMoneda":"986","cotizacion":1,"total":)" + total + R"(,"cancelacion":)" +
         (cancelacion ? "true" : "false") + R"(,"documentoCliente":"123.456.789-09","codigoCanalVenta":)" +
         std::to_string(canal) + R"(,"descripcionCanalVenta":")" + channel + R"(","detalles":)";
}

TEST(MovementBuilder, WholeDocumentsOfRepresentativeSales) {
  struct Case {
    const char* name;
    MovementInput in;
    std::string expected;
  };
  std::vector<Case> cases;

  PaymentRow cash = cashSale();
  cash.dinheiro = D("50"), cash.troco = D("7.5");
  cases.push_back({"cash with change", input(MovementKind::kSale, {kDipirona, kProtetor}, cash),
                   header("000321", "2", "0", "42.5", false, 1, "VENDA NA LOJA-DINHEIRO") + kTwoLines +
                       R"(,"pagos":[)" + pago(9, "42.5") + "]}"});

  PaymentRow mixed = cashSale();
  mixed.cheque = D("10"), mixed.cartao = D("20"), mixed.dinheiro = D("15"), mixed.troco = D("2.5");
  mixed.operacao = "CRÉDITO", mixed.autorizacao = "001234", mixed.ultimosquatrodigitos = "4321",
  mixed.bin = "411111";
  cases.push_back(
      {"cheque, one credit card and cash",
       input(MovementKind::kSale, {kDipirona, kProtetor}, mixed,
             {{"DÉBITO", D("99"), "999999", "9999", "999999"}}),
       header("000321", "2", "0", "42.5", false, 1, "VENDA NA LOJA-CHEQUE-CARTAO CREDITO-DINHEIRO") +
           kTwoLines + R"(,"pagos":[)" + pago(11, "10") +
           R"(,{"codigoTipoPago":10,"codigoMoneda":"986","importe":20,"cotizacion":1,"ultimosDigitosTarjeta":"4321",)"
           R"("numeroAutorizacion":"001234","codigoTarjeta":null,"bin":"411111"},)" +
           pago(9, "12.5") + "]}"});

  // Sale mode caps card rows at the line total (42.50), not at the cap with the delivery fee (47.50).
  PaymentRow debit = cashSale();
  debit.cartao = D("80"), debit.operacao = "CRÉDITO";
  cases.push_back({"two debit-card rows",
                   input(MovementKind::kSale, {kDipirona, kProtetor}, debit,
                         {{"DÉBITO", D("30"), "000777", "", ""}, {"DÉBITO", D("50"), "", "1111", "222222"}},
                         amounts("0", "5", "0")),
                   header("000321", "2", "5", "47.5", false, 1, "VENDA NA LOJA-CARTAO DEBITO-CARTAO DEBITO") +
                       kTwoLines +
                       R"(,"pagos":[{"codigoTipoPago":13,"codigoMoneda":"986","importe":30,"cotizacion":1,)"
                       R"("ultimosDigitosTarjeta":)" +
                       std::to_string(firstDrawnCardDigits()) +
                       R"(,"numeroAutorizacion":"000777","codigoTarjeta":null,"bin":"123456"},)" +
                       pago(13, "42.5") + "]}"});

  PaymentRow pix = cashSale();
  pix.carteiradigital = D("50");
  cases.push_back({"PIX above the cap", input(MovementKind::kSale, {kDipirona, kProtetor}, pix),
                   header("000321", "2", "0", "42.5", false, 1, "VENDA NA LOJA-PIX") + kTwoLines +
                       R"(,"pagos":[)" + pago(1, "42.5") + "]}"});

  PaymentRow voucher = cashSale();
  voucher.valetroca = D("30"), voucher.dinheiro = D("12.5");
  cases.push_back({"exchange voucher and cash", input(MovementKind::kSale, {kDipirona, kProtetor}, voucher),
                   header("000321", "2", "0", "42.5", false, 1, "VENDA NA LOJA-DINHEIRO-DINHEIRO") +
                       kTwoLines + R"(,"pagos":[)" + pago(12, "30") + "," + pago(9, "12.5") + "]}"});

  PaymentRow ecommerce = cashSale();
  ecommerce.carteiradigital = D("2.5"), ecommerce.ecommerce = D("30"), ecommerce.dinheiro = D("10");
  cases.push_back({"e-commerce replaces the channel text",
                   input(MovementKind::kSale, {kDipirona, kProtetor}, ecommerce),
                   header("000321", "2", "0", "42.5", false, 3, "IFOOD-DINHEIRO") + kTwoLines +
                       R"(,"pagos":[)" + pago(1, "2.5") + "," + pago(9, "30") + "," + pago(9, "10") + "]}"});

  for (const char* natureza : {"venda a vista", "", "Venda a Vista "}) {
    PaymentRow other = cashSale();
    other.naturezadaoperacao = natureza, other.cheque = D("100"), other.dinheiro = D("100");
    cases.push_back({natureza,
                     input(MovementKind::kSale, {kDipirona, kProtetor}, other, {}, amounts("0", "5", "0")),
                     header("000321", "2", "5", "47.5", false, 1, "VENDA NA LOJA-DINHEIRO") + kTwoLines +
                         R"(,"pagos":[)" + pago(9, "47.5") + "]}"});
  }

  // Nothing recorded as paid: both discounts and the surcharge leave the totals, the fee stays.
  const SaleAmounts adjusted = amounts("3", "4", "2");
  cases.push_back({"all payment amounts 0, sale",
                   input(MovementKind::kSale, {kDipirona, kProtetor}, cashSale(), {}, adjusted),
                   header("000321", "0", "4", "46.5", false, 1, "VENDA NA LOJA-DINHEIRO") + kTwoLines +
                       R"(,"pagos":[)" + pago(9, "42.5") + "]}"});
  cases.push_back({"all payment amounts 0, cancellation",
                   input(MovementKind::kWholeCancellation, {kDipirona, kProtetor}, cashSale(), {}, adjusted),
                   header("-000321", "0", "4", "46.5", true, 1, "VENDA NA LOJA-DINHEIRO") + kTwoLines +
                       R"(,"pagos":[)" + pago(9, "49.5") + "]}"});

  // Rule a (no total price), rule b (own discount on an unchanged subtotal), rule c (everything else).
  PaymentRow adjustedCash = cashSale();
  adjustedCash.dinheiro = D("30"), adjustedCash.troco = D("4.5");
  cases.push_back(
      {"surcharge and extra discount",
       input(
           MovementKind::kSale,
           {saleLine("111111", "7890000000001", "BRINDE", "1", "5", "5", "0", "0", "5"),
            saleLine("222222", "7890000000002", "SORO FISIOLÓGICO 500ML", "2", "5", "10", "1.5", "8.5", "10"),
            saleLine("333333", "7890000000003", "VITAMINA C 1G", "1", "12", "12", "0.5", "11.5", "11")},
           adjustedCash, {}, amounts("3", "0", "2")),
       header("000321", "4.5", "3", "25.5", false, 1, "VENDA NA LOJA-DINHEIRO") +
           R"([{"codigoArticulo":"111111","codigoBarras":"7890000000001","descripcionArticulo":"BRINDE",)"
           R"("cantidad":1,"importeUnitario":5,"importe":5,"descuento":0,"recargo":0},)"
           R"({"codigoArticulo":"222222","codigoBarras":"7890000000002","descripcionArticulo":"SORO FISIOLÓGICO 500ML",)"
           R"("cantidad":2,"importeUnitario":5,"importe":8.5,"descuento":1.5,"recargo":0},)"
           R"({"codigoArticulo":"333333","codigoBarras":"7890000000003","descripcionArticulo":"VITAMINA C 1G",)"
           R"("cantidad":1,"importeUnitario":12,"importe":11,"descuento":1,"recargo":0}])"
           R"(,"pagos":[)" +
           pago(9, "25.5") + "]}"});

  PaymentRow partialCard = cashSale();
  partialCard.cartao = D("18");
  cases.push_back({"partially cancelled sale, no cash",
                   input(MovementKind::kPartiallyCancelledSale, {kDipirona, kProtetor}, partialCard, {},
                         amounts("0", "0", "0", "24.5")),
                   header("000321", "2", "0", "42.5", false, 1, "VENDA NA LOJA-CARTAO CREDITO-DINHEIRO") +
                       kTwoLines + R"(,"pagos":[)" + pago(10, "18") + "," + pago(9, "24.5") + "]}"});
  PaymentRow partialCash = cashSale();
  partialCash.dinheiro = D("20"), partialCash.troco = D("2");
  cases.push_back({"partially cancelled sale, cash",
                   input(MovementKind::kPartiallyCancelledSale, {kDipirona, kProtetor}, partialCash, {},
                         amounts("0", "0", "0", "24.5")),
                   header("000321", "2", "0", "42.5", false, 1, "VENDA NA LOJA-DINHEIRO") + kTwoLines +
                       R"(,"pagos":[)" + pago(9, "42.5") + "]}"});

  // A cancellation caps card rows and cash at the line total plus the fee (47.50).
  SaleLine naoFiscal = kDipirona;
  naoFiscal.numeroserie = "NAO FISCAL";
  PaymentRow cancelled = cashSale();
  cancelled.cartao = D("70"), cancelled.dinheiro = D("100"), cancelled.troco = D("10");
  cases.push_back(
      {"whole cancellation",
       input(MovementKind::kWholeCancellation, {naoFiscal, kProtetor}, cancelled,
             {{"CRÉDITO", D("60"), "000042", "9876", "545454"}, {"", D("20"), "", "", ""}},
             amounts("0", "5", "0")),
       header("-1234", "2", "5", "47.5", true, 1, "VENDA NA LOJA-CARTAO CREDITO-CARTAO CREDITO-DINHEIRO") +
           kTwoLines +
           R"(,"pagos":[{"codigoTipoPago":10,"codigoMoneda":"986","importe":47.5,"cotizacion":1,)"
           R"("ultimosDigitosTarjeta":"9876","numeroAutorizacion":"000042","codigoTarjeta":null,"bin":"545454"},)" +
           pago(10, "20") + "," + pago(9, "47.5") + "]}"});

  for (const Case& c : cases) EXPECT_EQ(build(c.in).json, c.expected) << c.name;
}

TEST(MovementBuilder, PartialCancellationIsCashOnlyUnderANumberDrawnFromTheClock) {
  MovementInput in{MovementKind::kPartialCancellation,
                   amounts("0", "2", "0"),
                   {kProtetor},
                   [] {
                     ADD_FAILURE() << "a partial cancellation reads no payment row";
                     return PaymentRow{};
                   },
                   [] {
                     ADD_FAILURE() << "a partial cancellation reads no card rows";
                     return std::vector<CardRow>{};
                   }};
  ManualClock clock(kNow);
  PseudoRandom random(1);
  const Movement movement = buildMovement(in, random, clock);

  PseudoRandom twin(static_cast<std::uint64_t>(kNow.millisSinceZero()));
  const std::string numero = "-" + std::to_string(100'000'000 + twin.below(900'000'000));
  EXPECT_EQ(movement.numero, numero);
  EXPECT_TRUE(std::regex_match(movement.numero, std::regex("-[1-9][0-9]{8}"))) << movement.numero;
  EXPECT_EQ(movement.json, header(numero.c_str(), "0", "2", "26.5", true, 1, "VENDA NA LOJA-DINHEIRO") + "[" +
                               kProtetorJson + R"(],"pagos":[)" + pago(9, "24.5") + "]}");
  EXPECT_EQ(movement.batch(), "[" + movement.json + "]");

  // Whatever the generator drew before, the same instant gives the same number; another one does not.
  PseudoRandom other(99);
  EXPECT_EQ(buildMovement(in, other, clock).numero, numero);
  clock.advance(std::chrono::milliseconds(1));
  EXPECT_NE(buildMovement(in, other, clock).numero, numero);
}

TEST(MovementBuilder, MovementNumberRules) {
  struct Case {
    const char* numeroserie;
    const char* numerocoo;
    MovementKind kind;
    const char* expected;
  };
  for (const Case& c : {Case{"NAO FISCAL", "77", MovementKind::kSale, "1234"},
                        {"ECF-IF", " 000321\t", MovementKind::kPartiallyCancelledSale, "000321"},
                        {"nao fiscal", "000321", MovementKind::kSale, "000321"},
                        {"ECF-IF", "000321 ", MovementKind::kWholeCancellation, "-000321"},
                        {"NAO FISCAL", "", MovementKind::kPartialCancellation, "-1234"}}) {
    SaleLine first = kDipirona;
    first.numeroserie = c.numeroserie, first.numerocoo = c.numerocoo;
    EXPECT_EQ(movementNumber(c.kind, first), c.expected) << c.numeroserie << "/" << c.numerocoo;
  }
}

TEST(MovementBuilder, CardKeysNeedAnAuthorisation) {
  PaymentRow card = cashSale();
  card.cartao = D("10");
  card.operacao = "DEBITO";  // without the accent it is a credit card
  const std::string withoutAuthorisation = build(input(MovementKind::kSale, {kDipirona}, card)).json;
  EXPECT_NE(withoutAuthorisation.find(R"("pagos":[)" + pago(10, "10") + "]"), std::string::npos)
      << withoutAuthorisation;
  EXPECT_NE(withoutAuthorisation.find("VENDA NA LOJA-CARTAO CREDITO"), std::string::npos);

  // Drawn last digits are numbers from 1000 to 9999, whatever the generator's state.
  card.autorizacao = "000123";
  const std::regex drawn(
      R"("ultimosDigitosTarjeta":([0-9]+),"numeroAutorizacion":"000123","codigoTarjeta":null,)"
      R"("bin":"123456"\})");
  for (std::uint64_t seed = 0; seed < 300; ++seed) {
    const std::string json = build(input(MovementKind::kSale, {kDipirona}, card), seed).json;
    std::smatch match;
    ASSERT_TRUE(std::regex_search(json, match, drawn)) << json;
    const int digits = std::stoi(match[1]);
    EXPECT_GE(digits, 1000);
    EXPECT_LE(digits, 9999);
  }
}

// DEL is no blank: it stays, and raw, since JSON escapes only the characters below U+0020.
TEST(MovementBuilder, CustomerDocumentIsTrimmedOrNull) {
  for (const auto& [cic, expected] : std::vector<std::pair<std::string, std::string>>{
           {" \t\r\n ", "null"},
           {"", "null"},
           {"\x01 12.345.678/0001-90\x7f", "\"12.345.678\\/0001-90\x7f\""}}) {
    SaleLine line = kDipirona;
    line.cic = cic;
    const std::string json = build(input(MovementKind::kSale, {line}, cashSale())).json;
    EXPECT_NE(json.find(R"("documentoCliente":)" + expected + ","), std::string::npos) << json;
  }
}

TEST(MovementBuilder, BadInputEndsInADefinedResultOrAClearError) {
  EXPECT_THROW(build(input(MovementKind::kSale, {}, cashSale())), EConvertError);

  // Zero quantity, negative amounts, change above the cash, a huge name with invalid UTF-8.
  SaleLine odd = saleLine("1", "2", "", "0", "-3", "-3", "0", "-3", "-3");
  odd.produto = std::string(100'000, 'x') + "\xC3(";
  PaymentRow row = cashSale();
  row.cheque = D("-5"), row.dinheiro = D("1"), row.troco = D("4");
  const std::string json = build(input(MovementKind::kSale, {odd}, row)).json;
  EXPECT_NE(json.find(R"("descripcionArticulo":")" + std::string(100'000, 'x') + "\xEF\xBF\xBD(\","),
            std::string::npos);
  EXPECT_NE(json.find(R"("cantidad":0,"importeUnitario":-3,"importe":-3,"descuento":0,)"), std::string::npos);
  EXPECT_NE(json.find(R"("total":-3,)"), std::string::npos);
  EXPECT_NE(json.find(R"("pagos":[)" + pago(9, "-3") + "]"), std::string::npos);

  SaleLine huge = kDipirona;
  huge.precototal = Decimal::fromUnits(INT64_MAX);
  EXPECT_THROW(build(input(MovementKind::kSale, {huge, huge}, cashSale())), EOverflowError);

  // A failing payment query reaches the export, which logs it and posts an empty body.
  MovementInput failing = input(MovementKind::kSale, {kDipirona}, cashSale());
  failing.paymentRow = []() -> PaymentRow { throw EDatabaseError("connection lost"); };
  EXPECT_THROW(build(failing), EDatabaseError);
}

}  // namespace
}  // namespace varenta
