// varenta-store: the demo's store. It fills a store database with a generated week of sales and
// writes the cloud's side of the same store into the stand-in's data directory (create), waits
// with a progress line (rewritten in place on a terminal, else only its last state) until the
// service has brought the store in step (await), and sums up what reached the stand-in against
// what the store's rows call for (report).
//
//   varenta-store create --database PATH --standin URL --data DIR [--sales N] [--seed S]
//   varenta-store await  --database PATH [--sales N] [--seed S] [--timeout SECONDS] [--pid PID]
//   varenta-store report --database PATH --journal FILE --log FILE [--sales N] [--seed S]
//                        [--before MARKS]
//   varenta-store expected --database PATH [--sales N] [--seed S]   every document a run must post
//   varenta-store marks --database PATH                             the marks as they stand
//
// The database is reached on 127.0.0.1:3050 (--server host/port to change it) as SYSDBA. The same
// --sales and --seed on the same day give the same store, so await and report know what create made.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "base/clock.h"
#include "base/error.h"
#include "base/text.h"
#include "storedb/fbconn.h"
#include "tests/e2e/cloud_fixture.h"
#include "tests/e2e/expected_run.h"
#include "tests/e2e/post_tally.h"
#include "tests/e2e/service_run.h"
#include "tests/e2e/store_generator.h"

namespace {

using namespace varenta;
using namespace varenta::e2e;

struct Options {
  std::map<std::string, std::string> values;
  std::string get(const std::string& name, const std::string& otherwise = "") const {
    const auto found = values.find(name);
    if (found != values.end()) return found->second;
    if (otherwise.empty()) throw std::runtime_error("--" + name + " is missing");
    return otherwise;
  }
};

void connect(Connection& connection, const Options& o) {
  std::string server = o.get("server", "127.0.0.1/3050");
  std::string port;
  if (const auto slash = server.find('/'); slash != std::string::npos) {
    port = server.substr(slash + 1);
    server.resize(slash);
  }
  TFBConn helper;
  helper.CreateConn(server, o.get("database"), port, "SYSDBA", "quenbolix", connection);
  helper.ConfigureConnection(connection);
}

Store store(const Options& o, Connection* withCodes) {
  StoreRecipe recipe;
  recipe.today = systemClock().now();
  recipe.sales = std::stoi(o.get("sales", "200"));
  recipe.seed = std::stoull(o.get("seed", "20240305"));
  recipe.standInUrl = o.get("standin", "http://127.0.0.1");
  Store s = generateStore(recipe);
  if (withCodes) readArticleCodes(*withCodes, s);
  return s;
}

std::string marksText(const Marks& m) {
  auto when = [](DateTime t, const char* pattern) {
    return t.isZero() ? std::string("(not set)") : t.format(pattern);
  };
  std::ostringstream out;
  out << "sale mark " << m.ultVenda << ", cancellation mark " << m.ultCancelamento << ", closing mark "
      << when(m.ultCaixa, "dd/mm/yyyy") << ", promotions " << when(m.verificaPromo, "dd/mm/yyyy hh:nn:ss")
      << ", resend poll " << when(m.verificaReenvio, "dd/mm/yyyy hh:nn:ss");
  return out.str();
}

int create(const Options& o) {
  Connection connection;
  connect(connection, o);
  Store s = store(o, nullptr);
  writeStore(connection, s);
  writeCloudFiles(s, o.get("data"));
  const ExpectedRun run = expectedRun(s);
  std::cout << "Store: " << s.sales.size() << " sales from " << s.settings.dataInicio.format("dd/mm/yyyy")
            << " to today over registers 1 (no number), 2 and 3; " << run.cancellations << " cancellations; "
            << run.closingDays
            << " days to close; 8 accepted and 4 rejected promotions; one movement and one "
            << "closing resend request.\n";
  return 0;
}

bool inStep(const Marks& m, const ExpectedRun& run, DateTime today) {
  return m.ultVenda == run.ultVenda && m.ultCancelamento == run.ultCancelamento && m.ultCaixa == today &&
         !m.verificaPromo.isZero() && !m.verificaReenvio.isZero();
}

int await(const Options& o) {
  Connection connection;
  connect(connection, o);
  const Store s = store(o, &connection);
  const ExpectedRun run = expectedRun(s);
  const int timeout = std::stoi(o.get("timeout", "120"));
  const pid_t pid = static_cast<pid_t>(std::stol(o.get("pid", "0")));
  const bool terminal = isatty(STDOUT_FILENO) != 0;
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const Marks m = readMarks(connection);
    int sales = 0;
    int cancellations = 0;
    for (const ExpectedPost& p : run.posts) {
      if (p.phase == Phase::Sale && p.venda <= m.ultVenda) ++sales;
      if (p.phase == Phase::Cancellation) {
        for (const Sale& sale : s.sales)
          if (sale.venda == p.venda && sale.lastCancellationCode() <= m.ultCancelamento) ++cancellations;
      }
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    char line[256];
    std::snprintf(
        line, sizeof line,
        "   %5.1f s  resend poll %s  promotions %s  closed up to %s  sales %d/%d  cancellations %d/%d   ",
        seconds, m.verificaReenvio.isZero() ? "waiting" : "done   ",
        m.verificaPromo.isZero() ? "waiting" : "done   ",
        m.ultCaixa.isZero() ? "--/--/----" : (m.ultCaixa - std::chrono::days(1)).format("dd/mm/yyyy").c_str(),
        sales, run.sales, cancellations, run.cancellations);
    const bool done = inStep(m, run, s.today);
    const bool failed = !done && (seconds > timeout || (pid > 0 && kill(pid, 0) != 0));
    // A terminal shows the line rewritten in place; a file or a CI log gets only the last one.
    if (terminal || done || failed) std::printf("%s%s", terminal ? "\r" : "", line);
    std::fflush(stdout);
    if (done) break;
    if (failed) {
      std::printf("\n   not in step after %.0f s\n", seconds);
      return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
  }
  std::printf("\n");
  return 0;
}

std::string verdictOf(const std::string& message) {
  const auto close = message.find(']');
  return close == std::string::npos ? message : message.substr(close + 1);
}

int report(const Options& o) {
  Connection connection;
  connect(connection, o);
  const Store s = store(o, &connection);
  const ExpectedRun run = expectedRun(s);
  const std::vector<JournalEntry> journal = readJournal(o.get("journal"));
  const PostTally tally = tallyPosts(run.posts, journal);

  // The log's result lines, counted by kind and verdict.
  std::vector<std::string> messages;
  {
    std::ifstream in(o.get("log"), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    std::istringstream lines(cp1252ToUtf8(text.str()));
    for (std::string line; std::getline(lines, line);)
      if (line.size() > 22 && line[2] == '/')
        messages.push_back(line.substr(22, line.size() - 22 - (line.ends_with('\r') ? 1 : 0)));
  }
  struct Kind {
    const char* prefix;
    const char* name;
  };
  const Kind kinds[] = {{"[REENVIO-VENDA= ", "sales sent again on request"},
                        {"[REENVIO-CAIXA:", "closings sent again (request or late cancellation)"},
                        {"[REENVIO-CAIXA-PARC.:", "store-wide closings sent again"},
                        {"[F.Dia- ", "daily closings, per register"},
                        {"[F.Parc- ", "daily closings of partial cancellations (register 9999)"},
                        {"[Venda= ", "sales"},
                        {"[CancT= ", "whole cancellations"},
                        {"[CancP= ", "partial cancellations (register 9999)"}};
  std::cout << "What the service posted, from its log (Varenta.log), by verdict:\n";
  for (const Kind& k : kinds) {
    std::map<std::string, int> verdicts;
    int count = 0;
    for (const std::string& m : messages)
      if (m.starts_with(k.prefix)) {
        ++count;
        const std::string v = verdictOf(m);
        ++verdicts[v.starts_with("Ok:") ? "Ok" : v];
      }
    std::cout << "  " << count << " " << k.name;
    const char* sep = ": ";
    for (const auto& [v, n] : verdicts) {
      std::cout << sep << n << " " << v;
      sep = ", ";
    }
    std::cout << "\n";
  }
  int promoLines = 0;
  for (const std::string& m : messages)
    if (m.find("Promos Varenta") != std::string::npos) {
      std::cout << "  " << m << "\n";
      ++promoLines;
    }
  if (promoLines == 0) std::cout << "  no promotion import logged\n";

  const PromotionTables expected = expectedPromotionTables(s);
  const PromotionTables actual = readPromotionTables(connection);
  std::cout << "Promotion rows in the store database: " << actual.promocoes.size()
            << " in VARENTA_PROMOCOES, " << actual.produtos.size() << " products, " << actual.bins.size()
            << " BINs, " << actual.cestas.size() << " baskets with " << actual.itens.size() << " items ("
            << (actual.promocoes == expected.promocoes && actual.produtos == expected.produtos &&
                        actual.bins == expected.bins && actual.cestas == expected.cestas &&
                        actual.itens == expected.itens
                    ? "all as expected"
                    : "NOT as expected")
            << ")\n";
  for (const std::string& row : actual.promocoes) std::cout << "    " << row << "\n";

  std::cout << "The stand-in's journal against the store's rows: " << tally.posts << " documents posted, "
            << run.posts.size() << " expected; " << tally.missing.size() << " missing, "
            << tally.unexpected.size() << " not expected, " << tally.duplicates()
            << " sent more than once.\n";
  for (const ExpectedPost* p : tally.missing) std::cout << "  missing: " << p->what << "\n";
  for (const std::string& u : tally.unexpected) std::cout << "  not expected: " << u.substr(0, 200) << "\n";
  if (!o.get("before", "-").empty() && o.get("before", "-") != "-")
    std::cout << "Marks before: " << o.get("before") << "\n";
  const Marks m = readMarks(connection);
  std::cout << "Marks after:  " << marksText(m) << "\n"
            << "In step: " << (inStep(m, run, s.today) ? "yes" : "NO") << " (last sale " << run.ultVenda
            << ", last cancellation code " << run.ultCancelamento << ", closing mark "
            << s.today.format("dd/mm/yyyy") << ")\n";
  return tally.missing.empty() && tally.unexpected.empty() && inStep(m, run, s.today) ? 0 : 1;
}

// Every document a run must post, in the order of a clean run: what, register, text.
int expected(const Options& o) {
  Connection connection;
  connect(connection, o);
  const Store s = store(o, &connection);
  for (const ExpectedPost& p : expectedRun(s).posts)
    std::cout << p.what << "\t" << p.caixa << "/" << p.endpoint << "\t" << p.logPrefix << "\t" << p.body
              << "\n";
  return 0;
}

int marks(const Options& o) {
  Connection connection;
  connect(connection, o);
  std::cout << marksText(readMarks(connection)) << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: varenta-store create|await|report|expected|marks --database PATH [...]\n";
    return 2;
  }
  Options options;
  for (int i = 2; i + 1 < argc; i += 2) {
    std::string name = argv[i];
    if (!name.starts_with("--")) {
      std::cerr << "varenta-store: unexpected " << name << "\n";
      return 2;
    }
    options.values[name.substr(2)] = argv[i + 1];
  }
  const std::string command = argv[1];
  try {
    if (command == "create") return create(options);
    if (command == "await") return await(options);
    if (command == "report") return report(options);
    if (command == "marks") return marks(options);
    if (command == "expected") return expected(options);
    std::cerr << "varenta-store: unknown command " << command << "\n";
    return 2;
  } catch (const std::exception& e) {
    std::cerr << "varenta-store: " << e.what() << "\n";
    return 1;
  }
}
