#include "tests/e2e/service_run.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/text.h"
#include "storedb/query.h"

extern char** environ;

namespace varenta::e2e {
namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

ServiceRun::ServiceRun(const std::string& binary, const std::string& directory, const std::string& server,
                       const std::string& databasePath)
    : dir_(directory.ends_with('/') ? directory : directory + "/") {
  std::filesystem::copy_file(binary, dir_ + "prjSrvVarenta",
                             std::filesystem::copy_options::overwrite_existing);
  std::ofstream(dir_ + "Tolvane.ini", std::ios::binary)
      << "[Tolvane]\r\nServidor=" << server << "\r\nCaminho=" << databasePath << "\r\n";
}

ServiceRun::~ServiceRun() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void ServiceRun::start(const std::string& timeScale, const std::string& probeHosts) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (!std::string_view(*e).starts_with("VARENTA_")) env.emplace_back(*e);
  env.push_back("VARENTA_TIME_SCALE=" + timeScale);
  env.push_back("VARENTA_PROBE_HOSTS=" + probeHosts);
  std::vector<std::string> args = {dir_ + "prjSrvVarenta"};
  auto pointers = [](std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (std::string& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
  };
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, (dir_ + "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, (dir_ + "stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  auto argv = pointers(args);
  auto envp = pointers(env);
  const int rc = posix_spawn(&pid_, argv[0], &files, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&files);
  if (rc != 0) throw std::runtime_error("cannot start " + args[0]);
}

bool ServiceRun::running() {
  if (pid_ <= 0) return false;
  if (waitpid(pid_, &status_, WNOHANG) == pid_) {
    pid_ = 0;
    return false;
  }
  return true;
}

int ServiceRun::stop(int patienceSeconds) {
  if (running()) {
    ::kill(pid_, SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(patienceSeconds);
    while (running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (running()) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, &status_, 0);
      pid_ = 0;
    }
  }
  return WIFEXITED(status_) ? WEXITSTATUS(status_) : 128 + WTERMSIG(status_);
}

void ServiceRun::kill() {
  if (!running()) return;
  ::kill(pid_, SIGKILL);
  waitpid(pid_, &status_, 0);
  pid_ = 0;
}

std::vector<std::string> logMessages(const std::string& path) {
  static const std::regex stamp(R"(\d\d/\d\d/\d{4} \d\d:\d\d:\d\d - )");
  std::vector<std::string> messages;
  std::istringstream in(cp1252ToUtf8(fileText(path)));
  for (std::string line; std::getline(in, line);) {
    if (line.ends_with('\r')) line.pop_back();
    if (line.size() >= 22 && std::regex_match(line.substr(0, 22), stamp))
      messages.push_back(line.substr(22));
    else if (!messages.empty())
      messages.back() += "\r\n" + line;
  }
  return messages;
}

std::string ServiceRun::standardError() const {
  return fileText(dir_ + "stderr");
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
