// varenta-standin: the cloud stand-in as a program, for tests and the demo (see README.md).

#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <thread>

#include "base/error.h"
#include "tools/cloud_standin.h"

namespace {

constexpr const char* kUsage =
    "usage: varenta-standin --data DIR --journal FILE [--port N] [--port-file FILE]\n"
    "                       [--empresa ID] [--local ID] [--usuario NAME] [--senha PASSWORD]\n"
    "                       [--cert PEM --key PEM]\n";

int usage() {
  std::cerr << kUsage;
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  varenta::StandInConfig config;
  std::string port = "0";
  std::string portFile;
  std::string dataDir;
  std::string journalFile;
  std::string certFile;
  std::string keyFile;
  const std::map<std::string, std::string*> options = {{"--data", &dataDir},
                                                       {"--journal", &journalFile},
                                                       {"--port", &port},
                                                       {"--port-file", &portFile},
                                                       {"--empresa", &config.empresa},
                                                       {"--local", &config.local},
                                                       {"--usuario", &config.usuario},
                                                       {"--senha", &config.senha},
                                                       {"--cert", &certFile},
                                                       {"--key", &keyFile}};
  for (int i = 1; i + 1 < argc; i += 2) {
    const auto option = options.find(argv[i]);
    if (option == options.end()) return usage();
    *option->second = argv[i + 1];
  }
  if (argc % 2 == 0 || dataDir.empty() || journalFile.empty() || certFile.empty() != keyFile.empty() ||
      port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string::npos) {
    return usage();
  }
  config.dataDir = dataDir;
  config.journalFile = journalFile;
  config.certFile = certFile;
  config.keyFile = keyFile;

  // The signals are taken by one thread with sigwait; every other thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    varenta::CloudStandIn standIn(config);
    const int bound = standIn.bind(std::stoi(port));
    const char* scheme = config.certFile.empty() ? "http" : "https";
    std::cout << "varenta-standin listening on " << scheme << "://127.0.0.1:" << bound << std::endl;
    if (!portFile.empty()) {
      // Written whole under another name first, so a launcher never reads half a number.
      const std::string partial = portFile + ".partial";
      std::ofstream(partial) << bound << "\n";
      std::rename(partial.c_str(), portFile.c_str());
    }
    std::atomic<bool> ended{false};
    std::thread stopper([&standIn, &stopSignals, &ended] {
      int signal = 0;
      sigwait(&stopSignals, &signal);
      // A stop that comes before the server listens would be ignored and leave it listening for
      // good: wait until it listens, or until run() has given up.
      while (!standIn.running() && !ended) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      standIn.stop();
    });
    standIn.run();
    // run() also ends when listening fails; wake the stopper so it can be joined.
    ended = true;
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
  } catch (const varenta::Error& error) {
    std::cerr << "varenta-standin: " << error.typeName() << " - " << error.message() << "\n";
    return 1;
  }
  return 0;
}
