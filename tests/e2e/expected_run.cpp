#include "tests/e2e/expected_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <set>

namespace varenta::e2e {
namespace {

using std::chrono::days;

constexpr const char* kStoreWide = "9999";

// JSON text of the movement: the eight escapes, "\u00XX" for the other control characters, every
// other character as it is.
std::string str(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '/':
        out += "\\/";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string num(Decimal value) {
  return value.toString();
}

std::string trimmed(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return std::string(text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1));
}

std::string dmy(DateTime day) {
  return day.format("dd/mm/yyyy");
}

bool isCancelled(const SaleLine& l) {
  return l.cancelamento.has_value();
}

// The amount of the sale's first pseudo-line of a kind (only cancelled ones when asked).
Decimal pseudoAmount(const Sale& sale, LineKind kind, bool cancelledOnly) {
  for (const SaleLine& l : sale.lines)
    if (l.kind == kind && (!cancelledOnly || isCancelled(l))) return l.subtotal;
  return {};
}

Decimal extraDiscount(const Sale& sale) {
  for (const SaleLine& l : sale.lines)
    if (l.kind == LineKind::ExtraDiscount && l.produto == "Desconto Adicional")
      return l.subtotal < Decimal() ? -l.subtotal : l.subtotal;
  return {};
}

struct Payment {
  int kind;
  Decimal amount;
  const CardPayment* card = nullptr;  // the card keys, when the authorisation is not empty
  std::string autorizacao;            // as the statement gives it
};

std::string paymentText(const Payment& p) {
  std::string out = "{\"codigoTipoPago\":" + std::to_string(p.kind) +
                    ",\"codigoMoneda\":\"986\",\"importe\":" + num(p.amount) + ",\"cotizacion\":1";
  if (p.card && !p.autorizacao.empty()) {
    out += ",\"ultimosDigitosTarjeta\":" + str(p.card->ultimosquatrodigitos) +
           ",\"numeroAutorizacion\":" + str(p.autorizacao) +
           ",\"codigoTarjeta\":null,\"bin\":" + str(p.card->bin.empty() ? "123456" : p.card->bin);
  }
  return out + "}";
}

// The one movement of a sale (sale mode) or of its cancellation (cancellation mode), as the rules
// of the document give it for these rows.
class Movement {
 public:
  Movement(const Store& store, const Sale& sale, bool cancellation)
      : store_(store), sale_(sale), cancellation_(cancellation) {}

  std::string batch() {
    liveLinesRemain_ = cancellation_ && std::any_of(sale_.lines.begin(), sale_.lines.end(),
                                                    [](const SaleLine& l) { return !isCancelled(l); });
    surcharge_ = pseudoAmount(sale_, LineKind::Surcharge, cancellation_);
    fee_ = pseudoAmount(sale_, LineKind::DeliveryFee, cancellation_);
    extra_ = extraDiscount(sale_);
    std::set<std::string> states;
    for (const SaleLine& l : sale_.lines)
      states.insert(l.cancelamento ? l.cancelamento->format("yyyymmddhhnnss") : "");
    partial_ = !cancellation_ && states.size() >= 2;
    if (partial_)
      for (const SaleLine& l : sale_.lines)
        if (isCancelled(l)) cancelledAmount_ += l.amount();

    std::string details;
    for (const SaleLine& l : sale_.lines) {
      if (l.kind != LineKind::Article || (cancellation_ && !isCancelled(l))) continue;
      if (!details.empty()) details += ",";
      details += lineText(l);
    }
    payments();
    const Decimal discountTotal = lineDiscounts_ + extra_;
    const Decimal total = lineTotal_ + surcharge_ + fee_ - extra_;
    const Decimal surchargeTotal = surcharge_ + fee_;
    const std::string channelText = channelCode_ == 1 ? "VENDA NA LOJA" + channel_ : channel_;
    std::string pays;
    for (const Payment& p : payments_) pays += (pays.empty() ? "" : ",") + paymentText(p);

    const Customer* customer = sale_.codigocliente ? store_.customer(*sale_.codigocliente) : nullptr;
    const std::string document = customer ? trimmed(customer->cic) : "";
    return "[{\"fecha\":" + str(sale_.moment.format("yyyy-mm-ddThh:nn:ss.zzz-0300")) +
           ",\"numero\":" + str(number()) + ",\"descuentoTotal\":" + num(discountTotal) +
           ",\"recargoTotal\":" + num(surchargeTotal) +
           ",\"codigoMoneda\":\"986\",\"cotizacion\":1,\"total\":" + num(total) +
           ",\"cancelacion\":" + (cancellation_ ? "true" : "false") +
           ",\"documentoCliente\":" + (document.empty() ? "null" : str(document)) +
           ",\"codigoCanalVenta\":" + std::to_string(channelCode_) +
           ",\"descripcionCanalVenta\":" + str(channelText) + ",\"detalles\":[" + details + "],\"pagos\":[" +
           pays + "]}]";
  }

 private:
  std::string number() const {
    const std::string own =
        sale_.numeroserie == "NAO FISCAL" ? std::to_string(sale_.venda) : std::to_string(sale_.numerocoo);
    if (!cancellation_) return own;
    return liveLinesRemain_ ? "-<N9>" : "-" + own;
  }

  std::string lineText(const SaleLine& l) {
    Decimal importe;
    Decimal descuento;
    const bool saleLevel = surcharge_ > Decimal() || extra_ > Decimal();
    if (l.precototal.isZero()) {
      importe = l.precoautomatico;
    } else if (saleLevel && l.subtotal == l.precoautomatico && l.desconto > Decimal()) {
      importe = l.subtotal - l.desconto;
      descuento = l.desconto;
    } else if (saleLevel) {
      importe = l.precoautomatico;
      descuento = l.subtotal - l.precoautomatico;
    } else {
      importe = l.precototal;
      descuento = l.desconto;
    }
    lineTotal_ += importe;
    lineDiscounts_ += descuento;
    const Product* product = store_.product(l.codigoproduto);
    const bool listed = product && product->code != "7890000009999";
    return "{\"codigoArticulo\":" + str(product ? product->articleCode : "") +
           ",\"codigoBarras\":" + str(l.codigoproduto) +
           ",\"descripcionArticulo\":" + str(listed ? product->name : "") +
           ",\"cantidad\":" + num(l.quantidade) + ",\"importeUnitario\":" + num(l.precounitario) +
           ",\"importe\":" + num(importe) + ",\"descuento\":" + num(descuento) + ",\"recargo\":0}";
  }

  void add(int kind, Decimal amount, const char* suffix, const CardPayment* card = nullptr,
           std::string autorizacao = {}) {
    payments_.push_back({kind, amount, card, std::move(autorizacao)});
    channel_ += suffix;
  }

  void payments() {
    const Decimal cap = lineTotal_ + surcharge_ + fee_;
    auto capped = [&](Decimal amount) { return amount <= cap ? amount : cap; };
    if (liveLinesRemain_) {
      add(9, lineTotal_, "-DINHEIRO");
      return;
    }
    // The payment row comes from caixacancelado for a sale cancelled whole, else from caixa; the
    // card rows are counted in vendacartao, which holds none for a sale cancelled whole.
    const bool wholeCancelled = sale_.cancellation == Cancellation::Whole;
    const PaymentRecord& row = sale_.payment;
    const std::size_t cardRows = wholeCancelled ? 0 : sale_.cards.size();
    if (row.naturezadaoperacao != "Venda a Vista") {
      add(9, lineTotal_ + surcharge_ + fee_ - extra_, "-DINHEIRO");
      return;
    }
    if (row.cheque > Decimal()) add(11, capped(row.cheque), "-CHEQUE");
    if (row.valetroca > Decimal()) add(12, capped(row.valetroca), "-DINHEIRO");
    if (row.cartao > Decimal()) {
      auto kindOf = [](const CardPayment& c) { return c.operacao == "DÉBITO" ? 13 : 10; };
      auto suffixOf = [](int kind) { return kind == 13 ? "-CARTAO DEBITO" : "-CARTAO CREDITO"; };
      if (cardRows < 2) {
        const CardPayment* c = sale_.cards.empty() ? nullptr : &sale_.cards.front();
        const int kind = c ? kindOf(*c) : 10;
        std::string autorizacao;
        if (c && !c->autorizacao.empty())
          autorizacao =
              std::string(6 - std::min<std::size_t>(6, c->autorizacao.size()), '0') + c->autorizacao;
        add(kind, capped(row.cartao), suffixOf(kind), c, autorizacao);
      } else {
        const Decimal limit = cancellation_ ? cap : lineTotal_;
        for (const CardPayment& c : sale_.cards) {
          const int kind = kindOf(c);
          add(kind, c.valortotal <= limit ? c.valortotal : limit, suffixOf(kind), &c, c.autorizacao);
        }
      }
    }
    if (row.carteiradigital > Decimal()) add(1, capped(row.carteiradigital), "-PIX");
    if (row.ecommerce > Decimal()) {
      payments_.push_back({9, capped(row.ecommerce), nullptr, {}});
      channel_ = "IFOOD";
      channelCode_ = 3;
    }
    if (cancellation_) {
      if (row.dinheiro > Decimal()) add(9, capped(row.dinheiro - row.troco), "-DINHEIRO");
    } else if (row.dinheiro > Decimal()) {
      add(9, row.dinheiro + (partial_ ? cancelledAmount_ : Decimal()) - row.troco, "-DINHEIRO");
    } else if (partial_) {
      add(9, cancelledAmount_, "-DINHEIRO");
    }
    if (payments_.empty()) {
      add(9, cancellation_ ? cap : lineTotal_, "-DINHEIRO");
      lineDiscounts_ = Decimal();
      extra_ = Decimal();
      surcharge_ = Decimal();
    }
  }

  const Store& store_;
  const Sale& sale_;
  const bool cancellation_;
  bool liveLinesRemain_ = false;
  bool partial_ = false;
  Decimal surcharge_, fee_, extra_, cancelledAmount_, lineTotal_, lineDiscounts_;
  std::vector<Payment> payments_;
  std::string channel_;
  int channelCode_ = 1;
};

// The figures of a day's closing, register by register (registers counted as COALESCE(terminal, 1)).
struct RegisterFigures {
  Decimal live;              // V
  std::set<int> liveSales;   // Q
  Decimal partialCancelled;  // PT
  Decimal wholeCancelled;    // TC
  std::set<int> wholeSales;  // N
};
struct DayFigures {
  std::map<int, RegisterFigures> registers;  // only registers with live lines get a record
  Decimal partial;                           // P
  std::set<int> partialSales;                // NP
};

DayFigures dayFigures(const Store& store, DateTime day) {
  DayFigures f;
  std::map<int, RegisterFigures> all;
  for (const Sale& sale : store.sales) {
    if (sale.day() != day) continue;
    const bool anyLive =
        std::any_of(sale.lines.begin(), sale.lines.end(), [](const SaleLine& l) { return !isCancelled(l); });
    RegisterFigures& r = all[sale.registerNumber()];
    for (const SaleLine& l : sale.lines) {
      if (l.kind != LineKind::Article) continue;
      if (!isCancelled(l)) {
        r.live += l.amount();
        r.liveSales.insert(sale.venda);
      } else if (anyLive) {
        r.partialCancelled += l.amount();
        f.partial += l.amount();
        f.partialSales.insert(sale.venda);
      } else {
        r.wholeCancelled += l.amount();
        r.wholeSales.insert(sale.venda);
      }
    }
  }
  for (auto& [reg, r] : all)
    if (!r.liveSales.empty()) f.registers[reg] = r;
  return f;
}

std::string registerRecord(const RegisterFigures& r, DateTime day) {
  return "[{\"montoVentaLiquida\": " + (r.live + r.partialCancelled).toFixed(2) +
         ", \"montoCancelaciones\": " + r.wholeCancelled.toFixed(2) +
         ", \"cantidadMovimientos\": " + std::to_string(r.liveSales.size() + r.wholeSales.size()) +
         ", \"fechaVentas\": \"" + day.format("yyyy-mm-dd") +
         "\", \"cantidadCancelaciones\": " + std::to_string(r.wholeSales.size()) + " }]";
}

// The store-wide record; the closing resend writes a blank before the comma after the zero.
std::string storeWideRecord(const DayFigures& f, DateTime day, bool resend) {
  return "[{\"montoVentaLiquida\": " + (-f.partial).toFixed(2) +
         ", \"montoCancelaciones\": " + f.partial.toFixed(2) + ", \"cantidadMovimientos\": 0" +
         (resend ? " , " : ", ") + "\"fechaVentas\": \"" + day.format("yyyy-mm-dd") +
         "\", \"cantidadCancelaciones\": " + std::to_string(f.partialSales.size()) + " }]";
}

ExpectedPost closingPost(Phase phase, DateTime day, std::string caixa, std::string body,
                         std::string logPrefix, std::string what) {
  return {
      phase, "cierresDiarios", std::move(caixa), std::move(body), std::move(logPrefix), std::move(what), 0,
      day};
}

// The closing resend of one register and day: nothing for today or for a register without live
// sales that day; else its record and, when the day had partial cancellations, the store-wide one.
void closingResend(const Store& store, DateTime day, int reg, Phase phase, std::vector<ExpectedPost>& posts) {
  if (day >= store.today) return;
  const DayFigures f = dayFigures(store, day);
  const auto r = f.registers.find(reg);
  if (r == f.registers.end()) return;
  posts.push_back(closingPost(phase, day, std::to_string(reg), registerRecord(r->second, day),
                              "[REENVIO-CAIXA:" + dmy(day) + "]",
                              "closing resend " + dmy(day) + " register " + std::to_string(reg)));
  if (!f.partialSales.empty())
    posts.push_back(closingPost(phase, day, kStoreWide, storeWideRecord(f, day, true),
                                "[REENVIO-CAIXA-PARC.:" + dmy(day) + "]",
                                "closing resend " + dmy(day) + " partial cancellations"));
}

ExpectedPost salePost(Phase phase, const Store& store, const Sale& sale, const char* logWord) {
  const std::string numero =
      sale.numeroserie == "NAO FISCAL" ? std::to_string(sale.venda) : std::to_string(sale.numerocoo);
  return {phase,
          "movimientos",
          std::to_string(sale.registerNumber()),
          saleBatch(store, sale),
          std::string(logWord) + numero + "]",
          "sale " + std::to_string(sale.venda),
          sale.venda,
          DateTime()};
}

}  // namespace

std::string saleBatch(const Store& store, const Sale& sale) {
  return Movement(store, sale, false).batch();
}

std::string cancellationBatch(const Store& store, const Sale& sale) {
  return Movement(store, sale, true).batch();
}

ExpectedRun expectedRun(const Store& store) {
  ExpectedRun run;
  const DateTime start = store.effectiveStart();
  const ResendRequests requests = resendRequests(store);

  // The resend poll comes first: the movement request's sales, then the closing request.
  for (const Sale& sale : store.sales)
    if (sale.day() == requests.movementDay && sale.terminal == requests.movementRegister &&
        sale.hasArticles() && sale.day() >= start)
      run.posts.push_back(salePost(Phase::Resend, store, sale, "[REENVIO-VENDA= "));
  closingResend(store, requests.closingDay, requests.closingRegister, Phase::Resend, run.posts);

  for (DateTime day = start; day < store.today; day = day + days(1)) {
    const DayFigures f = dayFigures(store, day);
    if (f.registers.empty()) continue;
    ++run.closingDays;
    for (const auto& [reg, r] : f.registers)
      run.posts.push_back(closingPost(Phase::Closing, day, std::to_string(reg), registerRecord(r, day),
                                      "[F.Dia- " + dmy(day) + "]",
                                      "closing " + dmy(day) + " register " + std::to_string(reg)));
    if (!f.partialSales.empty())
      run.posts.push_back(closingPost(Phase::Closing, day, kStoreWide, storeWideRecord(f, day, false),
                                      "[F.Parc- " + dmy(day) + "]",
                                      "closing " + dmy(day) + " partial cancellations"));
  }
  run.ultCaixa = store.today;

  for (const Sale& sale : store.sales) {
    if (sale.day() < start || !sale.hasArticles()) continue;
    run.posts.push_back(salePost(Phase::Sale, store, sale, "[Venda= "));
    run.ultVenda = sale.venda;
    ++run.sales;
  }

  std::vector<const Sale*> cancelled;
  for (const Sale& sale : store.sales)
    if (sale.cancellation != Cancellation::None && sale.day() >= start) cancelled.push_back(&sale);
  std::sort(cancelled.begin(), cancelled.end(), [](const Sale* a, const Sale* b) {
    return a->firstCancellationCode() < b->firstCancellationCode();
  });
  for (const Sale* sale : cancelled) {
    const bool whole = sale->cancellation == Cancellation::Whole;
    const std::string own =
        sale->numeroserie == "NAO FISCAL" ? std::to_string(sale->venda) : std::to_string(sale->numerocoo);
    run.posts.push_back({Phase::Cancellation, "movimientos",
                         whole ? std::to_string(sale->registerNumber()) : kStoreWide,
                         cancellationBatch(store, *sale), whole ? "[CancT= " + own + "]" : "[CancP= <N9>]",
                         "cancellation of sale " + std::to_string(sale->venda), sale->venda, DateTime()});
    // A cancellation on a later day than its sale's changes a closed day: it is sent again. One on
    // the sale's own day is in that day's closing still to come.
    if (sale->cancelledAt()->date() > sale->day().date())
      closingResend(store, sale->day(), sale->registerNumber(), Phase::CancellationClosingResend, run.posts);
    run.ultCancelamento = sale->lastCancellationCode();
    ++run.cancellations;
  }
  return run;
}

std::vector<std::string> expectedResultLines(const Store& store, const std::vector<ExpectedPost>& posts,
                                             bool resendPolling) {
  std::vector<std::string> lines;
  int lote = 0;
  for (const ExpectedPost& p : posts)
    if (p.phase == Phase::Resend) lines.push_back(p.logPrefix + "Ok:" + std::to_string(++lote));
  const std::string today = dmy(store.today);
  if (resendPolling) lines.push_back("[R: " + today + "]Renvios enviados com sucesso");
  lines.push_back("[R- " + today + "]Ok:Promos Varenta rejeitadas com sucesso");
  lines.push_back("[P- " + today + "]Ok:Promos Varenta atualizadas com sucesso");
  for (const ExpectedPost& p : posts)
    if (p.phase != Phase::Resend) lines.push_back(p.logPrefix + "Ok:" + std::to_string(++lote));
  return lines;
}

bool matchesExpected(std::string_view expected, std::string_view actual) {
  constexpr std::string_view kDrawn = "<N9>";
  std::size_t e = 0;
  std::size_t a = 0;
  while (e < expected.size()) {
    if (expected.substr(e, kDrawn.size()) == kDrawn) {
      if (actual.size() < a + 9 || actual[a] == '0') return false;
      for (std::size_t i = 0; i < 9; ++i)
        if (actual[a + i] < '0' || actual[a + i] > '9') return false;
      e += kDrawn.size();
      a += 9;
    } else {
      if (a >= actual.size() || actual[a] != expected[e]) return false;
      ++e;
      ++a;
    }
  }
  return a == actual.size();
}

}  // namespace varenta::e2e
