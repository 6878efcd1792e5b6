#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <stdexcept>
#include <string_view>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/files.h"

extern char** environ;

namespace varenta {
namespace {

std::vector<char*> pointers(std::vector<std::string>& strings) {
  std::vector<char*> result;
  for (std::string& s : strings) result.push_back(s.data());
  result.push_back(nullptr);
  return result;
}

int statusOf(int status) {
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& variables, const std::string& outFile,
                           const std::string& errFile) {
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (!std::string_view(*e).starts_with("VARENTA_")) env.emplace_back(*e);
  env.insert(env.end(), variables.begin(), variables.end());
  std::vector<std::string> args = {program};
  args.insert(args.end(), arguments.begin(), arguments.end());
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&files, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  // Nothing else of the test's: a socket it listens on would stay open in the program.
  posix_spawn_file_actions_addclosefrom_np(&files, 3);
  auto argv = pointers(args);
  auto envp = pointers(env);
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, argv[0], &files, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&files);
  if (rc != 0) throw std::runtime_error("cannot start " + program);
  id_ = pid;
}

ChildProcess::~ChildProcess() {
  if (!ended_) kill();
}

bool ChildProcess::running() {
  if (ended_) return false;
  int status = 0;
  if (waitpid(static_cast<pid_t>(id_), &status, WNOHANG) == static_cast<pid_t>(id_)) {
    ended_ = true;
    status_ = statusOf(status);
  }
  return !ended_;
}

int ChildProcess::wait() {
  if (!ended_) {
    int status = 0;
    waitpid(static_cast<pid_t>(id_), &status, 0);
    ended_ = true;
    status_ = statusOf(status);
  }
  return status_;
}

void ChildProcess::kill() {
  ::kill(static_cast<pid_t>(id_), SIGKILL);
  wait();
}

int ChildProcess::stop(std::chrono::seconds patience) {
  if (running()) {
    ::kill(static_cast<pid_t>(id_), SIGTERM);
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    if (running()) kill();
  }
  return status_;
}

std::string programText(const std::string& path) {
  return readFile(path);
}

std::string copyProgram(const std::string& binary, const std::string& directory) {
  const std::string copy = directory + std::filesystem::path(binary).filename().string();
  std::filesystem::copy_file(binary, copy, std::filesystem::copy_options::overwrite_existing);
  return copy;
}

}  // namespace varenta
