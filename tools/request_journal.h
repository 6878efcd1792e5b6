#pragma once
// The stand-in's journal: every request it receives, appended as one JSON line
//   {"id":7,"method":"POST","path":"/api-minoristas/...","query":"estado=ACEPTADA",
//    "headers":[["Accept","application/json, ..."],...],"body":"..."}
// with path and query exactly as they came on the request line and the body's bytes unchanged,
// and, once the answer is ready, the status it gives: {"id":7,"status":200}. Both lines are
// written whole and flushed before the answer goes out, so a reader that has its answer also
// finds them; an answer broken off has no status line.

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
  int status = 0;  // the answer's; 0 while there is none (not yet given, or broken off)
};

class RequestJournal {
 public:
  explicit RequestJournal(std::filesystem::path file) : file_(std::move(file)) {}

  // Each throws EInOutError when its line cannot be written. append answers the request's id.
  int append(const JournalEntry& entry);
  void appendStatus(int id, int status);

 private:
  void write(const std::string& line);

  std::mutex mutex_;
  int last_id_ = 0;
  std::filesystem::path file_;
};

// Every entry of a journal file, in order (a last line still being written left out); throws
// EInOutError when it cannot be read or a line is not an entry.
std::vector<JournalEntry> readJournal(const std::filesystem::path& file);

}  // namespace varenta
