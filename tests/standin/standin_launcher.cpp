#include "tests/standin/standin_launcher.h"

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "base/json_writer.h"
#include "base/text.h"
#include "tests/support/files.h"

extern char** environ;

namespace varenta {
namespace {}  // namespace

StandIn::StandIn(StandInConfig config) : config_(std::move(config)) {
  config_.dataDir = dir_ / "data";
  config_.journalFile = dir_ / "journal.jsonl";
  std::filesystem::create_directory(config_.dataDir);
  std::vector<std::string> args = {VARENTA_STANDIN_PROGRAM,
                                   "--data",
                                   config_.dataDir.string(),
                                   "--journal",
                                   config_.journalFile.string(),
                                   "--port-file",
                                   (dir_ / "port").string(),
                                   "--empresa",
                                   config_.empresa,
                                   "--local",
                                   config_.local,
                                   "--usuario",
                                   config_.usuario,
                                   "--senha",
                                   config_.senha};
  if (!config_.certFile.empty()) {
    args.insert(args.end(), {"--cert", config_.certFile.string(), "--key", config_.keyFile.string()});
  }
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string output = (dir_ / "output.txt").string();
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  const int spawned = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    throw std::runtime_error(std::string("cannot start ") + VARENTA_STANDIN_PROGRAM);
  }

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::exists(dir_ / "port")) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_ || std::chrono::steady_clock::now() > deadline) {
      const std::string said = readFile(output);
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      throw std::runtime_error("the stand-in did not start: " + said);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  port_ = std::stoi(readFile((dir_ / "port").string()));
}

StandIn::~StandIn() {
  kill(pid_, SIGTERM);
  int status = 0;
  waitpid(pid_, &status, 0);
}

std::string StandIn::baseUrl() const {
  return (config_.certFile.empty() ? "http://127.0.0.1:" : "https://127.0.0.1:") + std::to_string(port_);
}

void StandIn::writeDataFile(const std::string& name, std::string_view content) const {
  std::ofstream(config_.dataDir / name, std::ios::binary) << content;
}

std::vector<JournalEntry> StandIn::journal() const {
  return readJournal(config_.journalFile);
}

void StandIn::force(const StandInForcing& forcing) const {
  JsonWriter writer(JsonEscaping::kRawUtf8);
  writer.beginObject();
  writer.key("status").integer(forcing.status);
  writer.key("body").string(forcing.body);
  writer.key("location").string(forcing.location);
  writer.key("contentType").string(forcing.contentType);
  writer.key("delayMs").integer(forcing.delayMs);
  writer.key("close").boolean(forcing.close);
  writer.key("times").integer(forcing.times);
  writer.endObject();
  control("/standin/force", writer.text());
}

void StandIn::reset() const {
  control("/standin/reset", "{}");
}

void StandIn::control(const std::string& path, const std::string& body) const {
  httplib::Client client(baseUrl());
  client.enable_server_certificate_verification(false);  // the stand-in's own certificate
  const auto result = client.Post(path, body, "application/json");
  if (!result || result->status != 200) throw std::runtime_error("the stand-in refused " + path);
}

std::optional<std::string> headerOf(const JournalEntry& entry, std::string_view name) {
  for (const auto& [key, value] : entry.headers) {
    if (asciiIEquals(key, name)) return value;
  }
  return std::nullopt;
}

}  // namespace varenta
