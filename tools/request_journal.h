#pragma once
// The stand-in's journal: every request it receives, appended as one JSON line
//   {"method":"POST","path":"/api-minoristas/...","query":"estado=ACEPTADA",
//    "headers":[["Accept","application/json, ..."],...],"body":"..."}
// with path and query exactly as they came on the request line and the body's bytes unchanged.
// A line is written whole and flushed before the request is answered, so a reader that has its
// answer also finds its line.

#include <filesystem>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace varenta {

struct JournalEntry {
  std::string method;
  std::string path;
  std::string query;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
};

class RequestJournal {
 public:
  explicit RequestJournal(std::filesystem::path file) : file_(std::move(file)) {}

  // Throws EInOutError when the line cannot be written.
  void append(const JournalEntry& entry);

 private:
  std::mutex mutex_;
  std::filesystem::path file_;
};

// Every entry of a journal file, in order; throws EInOutError when it cannot be read or a line is
// not an entry.
std::vector<JournalEntry> readJournal(const std::filesystem::path& file);

}  // namespace varenta
