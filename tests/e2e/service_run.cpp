#include "tests/e2e/service_run.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/text.h"
#include "storedb/query.h"
#include "tests/support/files.h"
#include "tests/support/tolvane_ini_files.h"

namespace varenta::e2e {

ServiceRun::ServiceRun(const std::string& binary, const std::string& directory, const std::string& server,
                       const std::string& databasePath)
    : dir_(directory.ends_with('/') || directory.ends_with('\\') ? directory : directory + "/"),
      program_(copyProgram(binary, dir_)) {
  writeIni(dir_, iniNaming(server, databasePath));
}

ServiceRun::~ServiceRun() = default;

void ServiceRun::start(const std::string& timeScale, const std::string& probeHosts) {
#ifdef _WIN32
  const std::vector<std::string> arguments = {"/CONSOLE"};
#else
  const std::vector<std::string> arguments;
#endif
  process_ = std::make_unique<ChildProcess>(
      program_, arguments,
      std::vector<std::string>{"VARENTA_TIME_SCALE=" + timeScale, "VARENTA_PROBE_HOSTS=" + probeHosts},
      dir_ + "stdout", dir_ + "stderr");
}

bool ServiceRun::running() {
  return process_ && process_->running();
}

int ServiceRun::stop(int patienceSeconds) {
  if (process_) {
    status_ = process_->stop(std::chrono::seconds(patienceSeconds));
    process_.reset();
  }
  return status_;
}

void ServiceRun::kill() {
  if (!running()) return;
  process_->kill();
  status_ = process_->wait();
  process_.reset();
}

std::size_t timeStampLength(std::string_view line) {
  static const std::regex stamp(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - )");
  constexpr std::size_t kLength = 22;
  return line.size() >= kLength && std::regex_match(line.begin(), line.begin() + kLength, stamp) ? kLength
                                                                                                 : 0;
}

std::vector<std::string> logMessages(const std::string& path) {
  std::vector<std::string> messages;
  std::istringstream in(cp1252ToUtf8(readFile(path)));
  for (std::string line; std::getline(in, line);) {
    if (line.ends_with('\r')) line.pop_back();
    if (const std::size_t stamp = timeStampLength(line); stamp > 0)
      messages.push_back(line.substr(stamp));
    else if (!messages.empty())
      messages.back() += "\r\n" + line;
  }
  return messages;
}

std::string ServiceRun::standardError() const {
  return readFile(dir_ + "stderr");
}

std::vector<std::string> ServiceRun::lostMessages() const {
  // Each one reads: SrvVarenta: lost log line "<message>": <type name> - <text>, where the
  // message may hold quotes and line ends of its own.
  static const std::string kOpening = "SrvVarenta: lost log line \"";
  const std::string text = "\n" + standardError();
  std::vector<std::string> lost;
  for (std::size_t at = text.find("\n" + kOpening); at != std::string::npos;) {
    const std::size_t begin = at + 1 + kOpening.size();
    const std::size_t next = text.find("\n" + kOpening, begin);
    const std::string record =
        text.substr(begin, next == std::string::npos ? std::string::npos : next - begin);
    const std::size_t end = record.rfind("\": ");
    if (end != std::string::npos) lost.push_back(record.substr(0, end));
    at = next;
  }
  return lost;
}

Marks readMarks(Connection& connection) {
  Query query(connection);
  query.setSql(
      "select varenta_ultvenda, varenta_ultcancelamento, varenta_ultcaixa, varenta_verificapromo, "
      "varenta_verificareenvio, varenta_datainicio from padrao where codigo is not null");
  query.open();
  Marks m;
  auto moment = [&](const char* name) {
    const Field& f = query.field(name);
    return f.isNull() ? DateTime() : f.asDateTime();
  };
  m.ultVenda = static_cast<int>(query.field("varenta_ultvenda").asInteger());
  m.ultCancelamento = static_cast<int>(query.field("varenta_ultcancelamento").asInteger());
  m.ultCaixa = moment("varenta_ultcaixa");
  m.verificaPromo = moment("varenta_verificapromo");
  m.verificaReenvio = moment("varenta_verificareenvio");
  m.dataInicio = moment("varenta_datainicio");
  return m;
}

}  // namespace varenta::e2e
