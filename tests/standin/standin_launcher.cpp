#include "tests/standin/standin_launcher.h"

#include <fstream>

#include "base/json_writer.h"
#include "base/text.h"

namespace varenta {

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
  writer.key("repeat").integer(forcing.repeat);
  writer.key("chunked").boolean(forcing.chunked);
  writer.key("trickleMs").integer(forcing.trickleMs);
  writer.key("close").boolean(forcing.close);
  writer.key("times").integer(forcing.times);
  writer.key("method").string(forcing.method);
  writer.key("pathContains").string(forcing.pathContains);
  writer.key("forMs").integer(forcing.forMs);
  writer.endObject();
  control("/standin/force", writer.text());
}

void StandIn::reset() const {
  control("/standin/reset", "{}");
}

std::optional<std::string> headerOf(const JournalEntry& entry, std::string_view name) {
  for (const auto& [key, value] : entry.headers) {
    if (asciiIEquals(key, name)) return value;
  }
  return std::nullopt;
}

}  // namespace varenta
