// The service's costs: the connectivity probe that runs before every task, and the resident memory
// of the program while it waits between ticks.

#include <benchmark/benchmark.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "service/probe.h"
#include "tests/support/loopback_listener.h"
#include "tests/support/temp_dir.h"

extern char** environ;

namespace varenta {
namespace {

void BM_ProbeFirstHostAnswers(benchmark::State& state) {
  auto listener = LoopbackListener::http();
  const std::vector<ProbeHost> hosts = {{"127.0.0.1", listener->port()}, {"127.0.0.1", closedPort()}};
  for (auto _ : state) benchmark::DoNotOptimize(isInternetOk(hosts));
}
BENCHMARK(BM_ProbeFirstHostAnswers)->Unit(benchmark::kMicrosecond);

// Eight attempts, each refused at once: the cheapest a failing probe can be.
void BM_ProbeEveryHostRefuses(benchmark::State& state) {
  std::vector<ProbeHost> hosts;
  for (int i = 0; i < 4; ++i) hosts.push_back({"127.0.0.1", closedPort()});
  for (auto _ : state) benchmark::DoNotOptimize(isInternetOk(hosts));
}
BENCHMARK(BM_ProbeEveryHostRefuses)->Unit(benchmark::kMicrosecond);

long residentKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
  return -1;
}

// Runs the program for a while in fast motion (a tick every 30 ms, each probing a loopback
// listener and stopping at the database step), then reads its resident set between ticks.
void BM_IdleServiceResidentMemory(benchmark::State& state) {
  auto listener = LoopbackListener::http();
  TempDir dir;
  const std::string binary = dir.dir() + "prjSrvVarenta";
  std::filesystem::copy_file(VARENTA_SERVICE_BINARY, binary);
  std::string scale = "VARENTA_TIME_SCALE=0.001";
  std::string hosts = "VARENTA_PROBE_HOSTS=127.0.0.1:" + std::to_string(listener->port());
  std::vector<char*> env;
  for (char** e = environ; *e; ++e) env.push_back(*e);
  env.push_back(scale.data());
  env.push_back(hosts.data());
  env.push_back(nullptr);
  for (auto _ : state) {
    std::string program = binary;
    char* argv[] = {program.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawn(&pid, binary.c_str(), nullptr, nullptr, argv, env.data()) != 0) {
      state.SkipWithError("cannot start the program");
      return;
    }
    std::this_thread::sleep_for(std::chrono::seconds(2));
    state.counters["rss_KiB"] = static_cast<double>(residentKiB(pid));
    state.counters["probes"] = static_cast<double>(listener->requests().size());
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
  }
}
BENCHMARK(BM_IdleServiceResidentMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace varenta
