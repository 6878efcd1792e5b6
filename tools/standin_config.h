#pragma once
// What a cloud stand-in serves (StandInConfig) and how a control request makes it answer
// (StandInForcing); see cloud_standin.h. Apart from the server, so that launchers on any platform
// can name them.

#include <filesystem>
#include <string>

namespace varenta {

// How the next requests are answered (the members of a control request, in cloud_standin.h).
struct StandInForcing {
  int status = 0;
  std::string body{};
  std::string location{};
  std::string contentType{};  // the body is sent in the character set it names
  int delayMs = 0;
  int repeat = 0;        // the body this many times over (an answer of any size)
  bool chunked = false;  // the body's length is not announced: it comes in chunks
  int trickleMs = 0;     // chunked, one byte every this many milliseconds
  bool close = false;
  int times = 0;  // 0: until reset
  // Which requests it takes (the others are answered as usual, and not counted in `times`): those
  // of this method only ("POST" the posts, "GET" the lists), and those whose path holds this text.
  std::string method{};
  std::string pathContains{};
  int forMs = 0;  // it ends this many milliseconds after it was set (0: no end in time)
};

struct StandInConfig {
  std::string empresa = "12";
  std::string local = "1";
  std::string usuario = "varenta";
  std::string senha = "varenta";
  std::filesystem::path dataDir;
  std::filesystem::path journalFile;
  std::filesystem::path certFile;  // HTTPS when a certificate and its key are given
  std::filesystem::path keyFile;
};

}  // namespace varenta
