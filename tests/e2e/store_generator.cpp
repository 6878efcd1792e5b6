#include "tests/e2e/store_generator.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <map>
#include <string_view>

#include "storedb/query.h"
#include "tests/e2e/seeded_random.h"

namespace varenta::e2e {
namespace {

using std::chrono::days;
using std::chrono::hours;
using std::chrono::minutes;
using std::chrono::seconds;

Decimal money(std::int64_t cents) {
  return Decimal::fromUnits(cents * 100);
}
std::int64_t centsOf(Decimal amount) {
  return amount.units() / 100;
}
// price times quantity, to the cent, halves up
Decimal times(Decimal price, Decimal quantity) {
  const std::int64_t tenThousandthsSquared = price.units() * quantity.units();
  return money((tenThousandthsSquared + 500'000) / 1'000'000);
}
Decimal roundUpTo(Decimal amount, std::int64_t stepCents) {
  const std::int64_t cents = centsOf(amount);
  return money((cents + stepCents - 1) / stepCents * stepCents);
}

struct CatalogueEntry {
  const char* code;
  const char* name;
  std::int64_t cents;
};

// Names with accents, a slash and double quotes, as a pharmacy's catalogue has them; two short
// internal codes whose database hash is short enough to be the article code itself.
constexpr std::array<CatalogueEntry, 24> kCatalogue{{
    {"7891058017392", "DIPIRONA SÓDICA 500MG/ML GTS 20ML", 890},
    {"7896004703398", "PARACETAMOL 750MG 20 COMP", 1250},
    {"7891317015151", "AMOXICILINA 500MG 21 CAPS", 2840},
    {"7896422506427", "LOSARTANA POTÁSSICA 50MG 30 COMP", 1599},
    {"7891721201157", "PROTETOR SOLAR FPS 50 \"KIDS\" 120ML", 5490},
    {"7896015519407", "ÁLCOOL GEL 70% 500ML", 980},
    {"7891010973551", "SHAMPOO ANTICASPA 200ML", 2345},
    {"7898927111014", "VITAMINA C 1G EFERV. C/10", 1990},
    {"7896714200189", "SORO FISIOLÓGICO 0,9% 500ML", 675},
    {"7891045044319", "ESCOVA DENTAL MACIA", 749},
    {"7897930743109", "FRALDA INFANTIL M C/30", 4990},
    {"7896658010097", "OMEPRAZOL 20MG 28 CAPS", 2130},
    {"7891142140028", "IBUPROFENO 400MG 10 CAPS", 1120},
    {"7896181900134", "LOÇÃO HIDRATANTE 400ML", 3290},
    {"7891035800017", "TERMÔMETRO DIGITAL", 2990},
    {"7899640800124", "CURATIVO ADESIVO C/40", 825},
    {"4521", "SACOLA RETORNÁVEL", 200},
    {"ABC12", "BALA DE GENGIBRE", 150},
    {"7898133130014", "GAZE ESTÉRIL 7,5X7,5 C/10", 460},
    {"7891000100103", "LEITE EM PÓ 400G", 1878},
    {"7896026302531", "DESODORANTE AEROSOL 150ML", 1499},
    {"7891150037556", "CREME DENTAL 90G", 528},
    {"7896523206646", "ANTIALÉRGICO 10MG/10ML XPE", 1680},
    {"7894916143721", "MÁSCARA DESCARTÁVEL C/50", 2490},
}};
// Sold at the counter but missing from produtos: its description comes back empty.
constexpr CatalogueEntry kUnlisted{"7890000009999", "ITEM AVULSO", 1000};

struct CustomerEntry {
  const char* nome;
  const char* cic;
};
constexpr std::array<CustomerEntry, 8> kCustomers{{
    {"MARIA DA CONCEIÇÃO", "123.456.789-09"},
    {"JOÃO BATISTA", "987.654.321-00"},
    {"ANA PAULA", "  111.222.333-96  "},  // blanks around it go
    {"JOSÉ ANTÔNIO", "   "},              // blanks only: no document
    {"FARMÁCIA POPULAR CONVÊNIO", "12.345.678/0001-95"},
    {"LUCAS", "52998224725"},
    {"BEATRIZ", ""},
    {"CARLOS EDUARDO", "390.533.447-05"},
}};

enum class Kind {
  CashChange,
  CashExact,
  Credit,
  Debit,
  DebitUnaccented,
  CardNoAuthorisation,
  TwoCards,
  Pix,
  Cheque,
  VoucherAndCash,
  ECommerce,
  OnAccount,
  ExtraDiscount,
  Surcharge,
  PhoneTopUp,
  NaoFiscal,
  FreeSample,
  Unlisted,
};

struct KindEntry {
  Kind kind;
  const char* name;
  int weight;
};
constexpr std::array<KindEntry, 18> kKinds{{
    {Kind::CashChange, "cash with change", 28},
    {Kind::CashExact, "cash", 6},
    {Kind::Credit, "credit card", 10},
    {Kind::Debit, "debit card", 10},
    {Kind::DebitUnaccented, "debit card (DEBITO)", 1},
    {Kind::CardNoAuthorisation, "card without authorisation", 2},
    {Kind::TwoCards, "two cards", 4},
    {Kind::Pix, "PIX", 10},
    {Kind::Cheque, "cheque", 3},
    {Kind::VoucherAndCash, "voucher and cash", 3},
    {Kind::ECommerce, "e-commerce with delivery", 4},
    {Kind::OnAccount, "on account", 3},
    {Kind::ExtraDiscount, "cash with extra discount", 4},
    {Kind::Surcharge, "card with surcharge", 3},
    {Kind::PhoneTopUp, "cash with phone top-up", 2},
    {Kind::NaoFiscal, "cash, NAO FISCAL", 5},
    {Kind::FreeSample, "cash with a free sample", 2},
    {Kind::Unlisted, "cash, article not in produtos", 1},
}};

const KindEntry& drawKind(SeededRandom& random) {
  int total = 0;
  for (const KindEntry& k : kKinds) total += k.weight;
  int at = random.below(total);
  for (const KindEntry& k : kKinds) {
    if (at < k.weight) return k;
    at -= k.weight;
  }
  return kKinds.front();
}

class Generator {
 public:
  Generator(const StoreRecipe& recipe) : recipe_(recipe), random_(recipe.seed) {}

  Store run() {
    store_.today = recipe_.today.date();
    store_.settings.url = recipe_.standInUrl;
    store_.settings.dataInicio = store_.today - days(recipe_.startDaysBack);
    for (const CatalogueEntry& e : kCatalogue)
      store_.products.push_back({e.code, e.name, money(e.cents), {}});
    store_.products.push_back({kUnlisted.code, kUnlisted.name, money(kUnlisted.cents), {}});
    for (std::size_t i = 0; i < kCustomers.size(); ++i)
      store_.customers.push_back({static_cast<int>(i) + 1, kCustomers[i].nome, kCustomers[i].cic});
    store_.knownPromotions = {{201, "CARTÃO AMIGO 10%"}, {203, "LEVE MAIS SAÚDE"}, {204, "SEM ARTIGOS"}};
    store_.knownBaskets = {{"CPROM90", 202, "KIT VERÃO"}};

    for (int i = 0; i < recipe_.oldSales; ++i)
      makeSale(kKinds[0], store_.today - days(recipe_.oldSalesDaysBack), i, recipe_.oldSales);
    const std::vector<KindEntry> kinds = kindsInOrder();
    const std::vector<DateTime> saleDays = this->saleDays();
    std::size_t next = 0;
    for (std::size_t d = 0; d < saleDays.size(); ++d) {
      const std::size_t count = kinds.size() / saleDays.size() + (d < kinds.size() % saleDays.size() ? 1 : 0);
      for (std::size_t i = 0; i < count; ++i, ++next)
        makeSale(kinds[next], saleDays[d], static_cast<int>(i), static_cast<int>(count));
    }
    cancelSome();
    return std::move(store_);
  }

 private:
  // Every kind once (when there are enough sales), the rest by weight, in a drawn order.
  std::vector<KindEntry> kindsInOrder() {
    std::vector<KindEntry> kinds;
    for (int i = 0; i < recipe_.sales; ++i)
      kinds.push_back(static_cast<std::size_t>(i) < kKinds.size() ? kKinds[i] : drawKind(random_));
    for (std::size_t i = kinds.size(); i > 1; --i)
      std::swap(kinds[i - 1], kinds[random_.below(static_cast<int>(i))]);
    return kinds;
  }

  std::vector<DateTime> saleDays() const {
    std::vector<DateTime> result;
    for (int back = recipe_.days; back >= 0; --back)
      if (back != recipe_.emptyDayBack || back == 0) result.push_back(store_.today - days(back));
    return result;
  }

  // The i-th of `count` sales of a day, spread from 08:00 to 20:00.
  void makeSale(const KindEntry& kind, DateTime day, int i, int count) {
    Sale sale;
    sale.venda = 5001 + static_cast<int>(store_.sales.size());
    const std::int64_t spacing = 12 * 3600 / (count + 1);
    sale.moment =
        day + hours(8) + seconds(spacing * (i + 1) + random_.below(static_cast<int>(spacing / 2) + 1));
    const int reg = random_.below(10);
    if (reg >= 4) sale.terminal = reg < 7 ? 2 : 3;
    sale.kind = kind.name;
    if (kind.kind == Kind::NaoFiscal) {
      sale.numeroserie = "NAO FISCAL";
    } else {
      sale.numeroserie = "BE091910100011" + std::to_string(sale.registerNumber());
      sale.numerocoo = 1000 * sale.registerNumber() + ++coo_[sale.registerNumber()];
    }
    if (random_.chance(30)) sale.codigocliente = 1 + random_.below(static_cast<int>(store_.customers.size()));
    addArticles(sale, kind.kind);
    pay(sale, kind.kind);
    store_.sales.push_back(std::move(sale));
  }

  void addArticles(Sale& sale, Kind kind) {
    const int count =
        kind == Kind::TwoCards || kind == Kind::FreeSample ? 2 + random_.below(3) : 1 + random_.below(4);
    std::vector<int> used;
    for (int n = 0; n < count; ++n) {
      int p = random_.below(static_cast<int>(kCatalogue.size()));
      while (std::find(used.begin(), used.end(), p) != used.end())
        p = (p + 1) % static_cast<int>(kCatalogue.size());
      used.push_back(p);
      const Product& product = kind == Kind::Unlisted && n == 0 ? store_.products.back() : store_.products[p];
      SaleLine line;
      line.kind = LineKind::Article;
      line.codigoproduto = product.code;
      line.produto = product.name;
      // Now and then half a unit (sold by the blister), on prices that halve to the cent.
      const bool half = random_.chance(5) && centsOf(product.price) % 2 == 0;
      line.quantidade = half ? Decimal::fromUnits(5'000)
                             : Decimal::fromInt(1 + (random_.chance(20) ? random_.below(3) : 0));
      line.precounitario = product.price;
      line.subtotal = times(product.price, line.quantidade);
      line.precoautomatico = line.subtotal;
      if (random_.chance(25)) line.desconto = money((centsOf(line.subtotal) + 5) / 10);  // 10 %
      line.precototal = line.subtotal - line.desconto;
      if (kind == Kind::FreeSample && n == count - 1) {
        line.desconto = line.subtotal;
        line.precototal = Decimal();  // given away: the store counts its automatic price
      }
      addLine(sale, std::move(line));
    }
  }

  void addPseudoLine(Sale& sale, LineKind kind, const char* code, const char* produto, Decimal amount) {
    SaleLine line;
    line.kind = kind;
    line.codigoproduto = code;
    line.produto = produto;
    line.quantidade = Decimal::fromInt(1);
    line.precounitario = amount;
    line.subtotal = amount;
    line.precototal = amount;
    line.precoautomatico = amount;
    addLine(sale, std::move(line));
  }

  void addLine(Sale& sale, SaleLine line) {
    line.sequencial = ++sequencial_;
    sale.lines.push_back(std::move(line));
  }

  CardPayment card(const char* operacao, Decimal amount, bool authorised = true) {
    CardPayment c;
    if (authorised) c.autorizacao = random_.digits(random_.chance(30) ? 5 : 6);  // 5 digits: padded to 6
    c.bin = random_.chance(10) ? "" : random_.digits(6);                         // none: sent as 123456
    c.ultimosquatrodigitos = random_.digits(4);
    c.operacao = operacao;
    c.valortotal = amount;
    return c;
  }

  void pay(Sale& sale, Kind kind) {
    Decimal lines;
    for (const SaleLine& l : sale.lines) lines += l.amount();
    PaymentRecord& p = sale.payment;
    p.naturezadaoperacao = "Venda a Vista";
    Decimal total = lines;
    switch (kind) {
      case Kind::ExtraDiscount:
        if (lines > money(200)) {
          addPseudoLine(sale, LineKind::ExtraDiscount, "XXDESCONTOXX", "Desconto Adicional", -money(200));
          total -= money(200);
        }
        break;
      case Kind::Surcharge:
        addPseudoLine(sale, LineKind::Surcharge, "XXACRESCIMOXX", "Acréscimo", money(150));
        total += money(150);
        break;
      case Kind::ECommerce:
        addPseudoLine(sale, LineKind::DeliveryFee, "XXENTREGAXX", "Taxa de Entrega", money(500));
        total += money(500);
        break;
      case Kind::PhoneTopUp:
        addPseudoLine(sale, LineKind::PhoneTopUp, "RECARGACELULAR", "RECARGA CELULAR", money(2000));
        break;
      default:
        break;
    }
    p.total = total;
    switch (kind) {
      case Kind::CashExact:
      case Kind::FreeSample:
      case Kind::Unlisted:
        p.dinheiro = total;
        break;
      case Kind::CashChange:
      case Kind::ExtraDiscount:
      case Kind::NaoFiscal: {
        p.dinheiro = roundUpTo(total, random_.chance(50) ? 1000 : 5000);
        if (p.dinheiro == total) p.dinheiro += money(1000);
        p.troco = p.dinheiro - total;
        break;
      }
      case Kind::PhoneTopUp:
        p.total = total + money(2000);
        p.dinheiro = roundUpTo(p.total, 1000);
        p.troco = p.dinheiro - p.total;
        break;
      case Kind::Credit:
      case Kind::Surcharge:
        p.cartao = total;
        sale.cards.push_back(card("CRÉDITO", total));
        break;
      case Kind::Debit:
        p.cartao = total;
        sale.cards.push_back(card("DÉBITO", total));
        break;
      case Kind::DebitUnaccented:
        p.cartao = total;
        sale.cards.push_back(card("DEBITO", total));
        break;
      case Kind::CardNoAuthorisation:
        p.cartao = total;
        sale.cards.push_back(card("CRÉDITO", total, false));
        break;
      case Kind::TwoCards: {
        p.cartao = total;
        const Decimal first = money(centsOf(total) / 2);
        sale.cards.push_back(card("DÉBITO", first));
        sale.cards.push_back(card("CRÉDITO", total - first));
        for (CardPayment& c : sale.cards) c.autorizacao = random_.digits(6);
        break;
      }
      case Kind::Pix:
        p.carteiradigital = total;
        break;
      case Kind::Cheque:
        p.cheque = total;
        break;
      case Kind::VoucherAndCash: {
        p.valetroca = std::min(total, money(1000));
        const Decimal rest = total - p.valetroca;
        if (rest > Decimal()) {
          p.dinheiro = roundUpTo(rest, 500);
          p.troco = p.dinheiro - rest;
        }
        break;
      }
      case Kind::ECommerce:
        p.ecommerce = total;
        break;
      case Kind::OnAccount:
        p.naturezadaoperacao = "Venda a Prazo";
        break;
    }
  }

  enum class When { AtMidnight, LaterThatDay, NextMorning };

  // About one sale in twelve is cancelled, whole or in part: at midnight of its day (a date
  // without a time of day), later that day, or the next morning. The first three show a whole
  // cancellation at midnight, a partial one the next morning and a whole one later that day.
  // Codes follow the moments of the cancellations, one per cancelled article.
  void cancelSome() {
    std::vector<Sale*> candidates;
    for (Sale& s : store_.sales)
      if (s.day() >= store_.effectiveStart()) candidates.push_back(&s);
    if (recipe_.oldSales > 0)
      cancel(store_.sales.front(), Cancellation::Whole, When::AtMidnight);  // never sent
    const int wanted = std::max(3, static_cast<int>(candidates.size()) / 12);
    for (int made = 0, attempt = 0; candidates.size() >= 6 && made < wanted && attempt < 50 * wanted;
         ++attempt) {
      Sale& sale = *candidates[random_.below(static_cast<int>(candidates.size()))];
      if (sale.cancellation != Cancellation::None || sale.cards.size() > 1) continue;
      const bool partialPossible = sale.payment.naturezadaoperacao == "Venda a Vista" &&
                                   sale.payment.dinheiro > Decimal() && sale.payment.cartao.isZero() &&
                                   sale.payment.valetroca.isZero() && sale.lines.size() >= 2 &&
                                   std::all_of(sale.lines.begin(), sale.lines.end(),
                                               [](const SaleLine& l) { return l.kind == LineKind::Article; });
      Cancellation how = partialPossible && random_.chance(50) ? Cancellation::Partial : Cancellation::Whole;
      const int draw = random_.below(10);
      When when = draw < 6 ? When::AtMidnight : draw < 8 ? When::LaterThatDay : When::NextMorning;
      if (made < 3) {
        how = made == 1 ? Cancellation::Partial : Cancellation::Whole;
        when = made == 0 ? When::AtMidnight : made == 1 ? When::NextMorning : When::LaterThatDay;
        if (how == Cancellation::Partial && !partialPossible) continue;
      }
      if (when == When::NextMorning && sale.day() == store_.today) continue;  // that morning has not come
      cancel(sale, how, when);
      ++made;
    }
    assignCancellationCodes();
  }

  void cancel(Sale& sale, Cancellation how, When when) {
    sale.cancellation = how;
    DateTime at = sale.day();
    if (when == When::LaterThatDay) at = sale.moment + minutes(20 + random_.below(60));
    if (when == When::NextMorning) at = sale.day() + days(1) + hours(9) + minutes(random_.below(60));
    if (how == Cancellation::Whole) {
      for (SaleLine& l : sale.lines) l.cancelamento = at;
      return;
    }
    // One article, not the first, goes; the cash given back leaves the register.
    SaleLine& line = sale.lines[1 + random_.below(static_cast<int>(sale.lines.size()) - 1)];
    line.cancelamento = at;
    sale.payment.dinheiro -= line.amount();
    sale.payment.total -= line.amount();
  }

  void assignCancellationCodes() {
    std::vector<Sale*> cancelled;
    for (Sale& s : store_.sales)
      if (s.cancellation != Cancellation::None) cancelled.push_back(&s);
    std::stable_sort(cancelled.begin(), cancelled.end(),
                     [](const Sale* a, const Sale* b) { return *a->cancelledAt() < *b->cancelledAt(); });
    int code = 1;
    for (Sale* s : cancelled)
      for (SaleLine& l : s->lines)
        if (l.cancelamento && l.kind == LineKind::Article) l.codigocancelamento = code++;
  }

  const StoreRecipe& recipe_;
  SeededRandom random_;
  Store store_;
  int sequencial_ = 0;
  std::map<int, int> coo_;
};

// SQL literals for the generated values (which never hold anything but plain text).
std::string text(std::string_view value) {
  std::string out = "'";
  for (char c : value) out += c == '\'' ? std::string("''") : std::string(1, c);
  return out + "'";
}
std::string textOrNull(std::string_view value) {
  return value.empty() ? "NULL" : text(value);
}
std::string number(Decimal value) {
  return value.toString();
}
std::string date(DateTime value) {
  return value.format("'yyyy-mm-dd'");
}
std::string timestamp(DateTime value) {
  return value.format("'yyyy-mm-dd hh:nn:ss'");
}
template <class T>
std::string orNull(const std::optional<T>& value, std::string (*literal)(T)) {
  return value ? literal(*value) : "NULL";
}
std::string integer(int value) {
  return std::to_string(value);
}

// Runs the inserts in blocks, far fewer round trips and commits than one statement each.
class Inserter {
 public:
  explicit Inserter(Connection& connection) : query_(connection) {}
  ~Inserter() = default;
  void add(std::string statement) {
    if (block_.size() + statement.size() > 24'000) flush();
    block_ += statement + ";\n";
  }
  void flush() {
    if (block_.empty()) return;
    query_.setSql("EXECUTE BLOCK AS BEGIN\n" + block_ + "END");
    query_.execute();
    block_.clear();
  }

 private:
  Query query_;
  std::string block_;
};

std::string paymentInsert(const char* table, const Sale& sale) {
  const PaymentRecord& p = sale.payment;
  return std::string("INSERT INTO ") + table +
         " (codigovenda, naturezadaoperacao, dinheiro, cheque, cartao, troco, total, carteiradigital, "
         "valetroca, ecommerce, numerocoo) VALUES (" +
         integer(sale.venda) + ", " + text(p.naturezadaoperacao) + ", " + number(p.dinheiro) + ", " +
         number(p.cheque) + ", " + number(p.cartao) + ", " + number(p.troco) + ", " + number(p.total) + ", " +
         number(p.carteiradigital) + ", " + number(p.valetroca) + ", " + number(p.ecommerce) + ", " +
         integer(sale.numerocoo) + ")";
}

std::string cardInsert(const char* table, const Sale& sale, const CardPayment& c, int movimento) {
  return std::string("INSERT INTO ") + table +
         " (codigovenda, autorizacao, bin, ultimosquatrodigitos, operacao, movimento, valortotal) VALUES (" +
         integer(sale.venda) + ", " + textOrNull(c.autorizacao) + ", " + textOrNull(c.bin) + ", " +
         textOrNull(c.ultimosquatrodigitos) + ", " + text(c.operacao) + ", " + integer(movimento) + ", " +
         number(c.valortotal) + ")";
}

std::string lineInsert(const Sale& sale, const SaleLine& l) {
  return "INSERT INTO vendas (sequencial, venda, data, hora, codigocliente, cancelamento, "
         "codigocancelamento, "
         "unidade, codigoproduto, produto, precounitario, quantidade, subtotal, desconto, precototal, "
         "precoautomatico, precocusto, farmaciapopular, numeroserie, numerocoo, terminal) VALUES (" +
         integer(l.sequencial) + ", " + integer(sale.venda) + ", " + date(sale.moment) + ", " +
         sale.moment.format("'hh:nn:ss'") + ", " + orNull(sale.codigocliente, integer) + ", " +
         orNull(l.cancelamento, timestamp) + ", " + orNull(l.codigocancelamento, integer) + ", 'UN', " +
         text(l.codigoproduto) + ", " + text(l.produto) + ", " + number(l.precounitario) + ", " +
         number(l.quantidade) + ", " + number(l.subtotal) + ", " + number(l.desconto) + ", " +
         number(l.precototal) + ", " + number(l.precoautomatico) + ", " +
         number(Decimal::fromUnits(l.precoautomatico.units() * 6 / 10 / 100 * 100)) + ", 'N', " +
         text(sale.numeroserie) + ", " + integer(sale.numerocoo) + ", " + orNull(sale.terminal, integer) +
         ")";
}

}  // namespace

Store generateStore(const StoreRecipe& recipe) {
  return Generator(recipe).run();
}

void writeStore(Connection& connection, Store& store) {
  Inserter insert(connection);
  const StoreSettings& s = store.settings;
  insert.add(
      "INSERT INTO padrao (codigo, cgc, varenta_usuario, varenta_senha, varenta_url1, varenta_idempresa, "
      "varenta_idlocal, varenta_datainicio) VALUES (" +
      integer(s.codigo) + ", " + text(s.cgc) + ", " + text(s.usuario) + ", " + text(s.senha) + ", " +
      text(s.url) + ", " + text(s.idEmpresa) + ", " + text(s.idLocal) + ", " + date(s.dataInicio) + ")");
  for (const Product& p : store.products)
    if (p.code != kUnlisted.code)
      insert.add("INSERT INTO produtos (codigo, produto) VALUES (" + text(p.code) + ", " + text(p.name) +
                 ")");
  for (const Customer& c : store.customers)
    insert.add("INSERT INTO clientes (codigo, nome, cic) VALUES (" + integer(c.codigo) + ", " + text(c.nome) +
               ", " + textOrNull(c.cic) + ")");
  for (const Sale& sale : store.sales) {
    for (const SaleLine& l : sale.lines) insert.add(lineInsert(sale, l));
    const bool whole = sale.cancellation == Cancellation::Whole;
    insert.add(paymentInsert(whole ? "caixacancelado" : "caixa", sale));
    int movimento = 1;
    for (const CardPayment& c : sale.cards)
      insert.add(cardInsert(whole ? "vendacartaocancelada" : "vendacartao", sale, c, movimento++));
  }
  for (const KnownPromotion& p : store.knownPromotions)
    insert.add("INSERT INTO VARENTA_PROMOCOES (CODIGOPROMOCAO, DESCRICAO, TIPOPROMOCAO) VALUES (" +
               integer(p.codigopromocao) + ", " + text(p.descricao) + ", 'N')");
  for (const KnownBasket& b : store.knownBaskets)
    insert.add("INSERT INTO CESTASPROMOCIONAIS (CODIGO, DESCRICAO, CODIGOVARENTA) VALUES (" + text(b.codigo) +
               ", " + text(b.descricao) + ", " + integer(b.codigovarenta) + ")");
  insert.flush();
  readArticleCodes(connection, store);
}

// The article code is the database's HASH of the bar code when its digits are at most ten,
// otherwise the code's last six characters.
void readArticleCodes(Connection& connection, Store& store) {
  Query query(connection);
  query.setSql("select hash(cast(:code as varchar(20))) as h from rdb$database");
  for (Product& p : store.products) {
    query.setString("code", p.code);
    query.open();
    const std::string hash = query.field("h").asString();
    p.articleCode =
        hash.size() > 10 ? p.code.substr(p.code.size() - std::min<std::size_t>(6, p.code.size())) : hash;
  }
}

}  // namespace varenta::e2e
