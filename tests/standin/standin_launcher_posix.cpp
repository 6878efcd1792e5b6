// Starts the stand-in as a child process (Linux).

#include <fcntl.h>
#include <httplib.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <stdexcept>
#include <thread>

#include "tests/standin/standin_launcher.h"
#include "tests/support/files.h"

extern char** environ;

namespace varenta {

struct StandIn::Program {
  pid_t pid = -1;
};

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
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    throw std::runtime_error(std::string("cannot start ") + VARENTA_STANDIN_PROGRAM);
  }
  program_ = std::make_unique<Program>(Program{pid});

  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::exists(dir_ / "port")) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid || std::chrono::steady_clock::now() > deadline) {
      const std::string said = readFile(output);
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      throw std::runtime_error("the stand-in did not start: " + said);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  port_ = std::stoi(readFile((dir_ / "port").string()));
}

StandIn::~StandIn() {
  kill(program_->pid, SIGTERM);
  int status = 0;
  waitpid(program_->pid, &status, 0);
}

void StandIn::control(const std::string& path, const std::string& body) const {
  httplib::Client client(baseUrl());
  client.enable_server_certificate_verification(false);  // the stand-in's own certificate
  const auto result = client.Post(path, body, "application/json");
  if (!result || result->status != 200) throw std::runtime_error("the stand-in refused " + path);
}

}  // namespace varenta
