// varenta-standin: the cloud stand-in as a program, for tests and the demo (see README.md).

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
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
    "                       [--cert PEM --key PEM] [--lifeline PORT]\n";

int usage() {
  std::cerr << kUsage;
  return 2;
}

bool isPort(const std::string& text) {
  return !text.empty() && text.size() <= 5 && text.find_first_not_of("0123456789") == std::string::npos;
}

// Connects to the launcher's loopback port and stops the stand-in (with SIGTERM, as a stop from
// outside does) once that connection ends: when the launcher closes it, or its process ends in any
// way. A launcher that cannot signal the stand-in (a Windows test under wine) stops it so, and a
// crashed test leaves no stand-in behind.
void followLifeline(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (fd >= 0 && connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    char byte = 0;
    while (recv(fd, &byte, 1, 0) > 0) {
    }
  }
  if (fd >= 0) close(fd);
  kill(getpid(), SIGTERM);
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
  std::string lifeline;
  const std::map<std::string, std::string*> options = {{"--data", &dataDir},
                                                       {"--journal", &journalFile},
                                                       {"--port", &port},
                                                       {"--port-file", &portFile},
                                                       {"--empresa", &config.empresa},
                                                       {"--local", &config.local},
                                                       {"--usuario", &config.usuario},
                                                       {"--senha", &config.senha},
                                                       {"--cert", &certFile},
                                                       {"--key", &keyFile},
                                                       {"--lifeline", &lifeline}};
  for (int i = 1; i + 1 < argc; i += 2) {
    const auto option = options.find(argv[i]);
    if (option == options.end()) return usage();
    *option->second = argv[i + 1];
  }
  if (argc % 2 == 0 || dataDir.empty() || journalFile.empty() || certFile.empty() != keyFile.empty() ||
      !isPort(port) || (!lifeline.empty() && !isPort(lifeline))) {
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
    if (!lifeline.empty()) std::thread(followLifeline, std::stoi(lifeline)).detach();
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
