// varenta-standin: the cloud stand-in as a program, for tests and the demo (see README.md).

#include <signal.h>

#include <cstring>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

#include "base/error.h"
#include "tools/cloud_standin.h"

namespace {

constexpr const char* kUsage =
    "usage: varenta-standin --data DIR --journal FILE [--port N] [--port-file FILE]\n"
    "                       [--empresa ID] [--local ID] [--usuario NAME] [--senha PASSWORD]\n"
    "                       [--cert PEM --key PEM]\n";

}  // namespace

int main(int argc, char** argv) {
  varenta::StandInConfig config;
  int port = 0;
  std::string portFile;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (i + 1 >= argc) {
      std::cerr << kUsage;
      return 2;
    }
    const std::string value = argv[++i];
    if (option == "--data")
      config.dataDir = value;
    else if (option == "--journal")
      config.journalFile = value;
    else if (option == "--port")
      port = std::stoi(value);
    else if (option == "--port-file")
      portFile = value;
    else if (option == "--empresa")
      config.empresa = value;
    else if (option == "--local")
      config.local = value;
    else if (option == "--usuario")
      config.usuario = value;
    else if (option == "--senha")
      config.senha = value;
    else if (option == "--cert")
      config.certFile = value;
    else if (option == "--key")
      config.keyFile = value;
    else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (config.dataDir.empty() || config.journalFile.empty() ||
      config.certFile.empty() != config.keyFile.empty()) {
    std::cerr << kUsage;
    return 2;
  }

  // The signals are taken by one thread with sigwait; every other thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  try {
    varenta::CloudStandIn standIn(config);
    const int bound = standIn.bind(port);
    const char* scheme = config.certFile.empty() ? "http" : "https";
    std::cout << "varenta-standin listening on " << scheme << "://127.0.0.1:" << bound << std::endl;
    if (!portFile.empty()) {
      // Written whole under another name first, so a launcher never reads half a number.
      const std::string partial = portFile + ".partial";
      std::ofstream(partial) << bound << "\n";
      std::rename(partial.c_str(), portFile.c_str());
    }
    std::thread stopper([&standIn, &stopSignals] {
      int signal = 0;
      sigwait(&stopSignals, &signal);
      standIn.stop();
    });
    standIn.run();
    // run() also ends when listening fails; wake the stopper so it can be joined.
    pthread_kill(stopper.native_handle(), SIGTERM);
    stopper.join();
  } catch (const varenta::Error& error) {
    std::cerr << "varenta-standin: " << error.typeName() << " - " << error.message() << "\n";
    return 1;
  }
  return 0;
}
