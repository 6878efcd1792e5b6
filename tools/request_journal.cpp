#include "tools/request_journal.h"

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <fstream>
#include <map>

#include "base/error.h"

namespace varenta {
namespace {

std::string entryLine(int id, const JournalEntry& entry) {
  rapidjson::StringBuffer buffer;
  rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
  const auto text = [&writer](const std::string& value) {
    writer.String(value.data(), static_cast<rapidjson::SizeType>(value.size()));
  };
  writer.StartObject();
  writer.Key("id");
  writer.Int(id);
  writer.Key("method");
  text(entry.method);
  writer.Key("path");
  text(entry.path);
  writer.Key("query");
  text(entry.query);
  writer.Key("headers");
  writer.StartArray();
  for (const auto& [name, value] : entry.headers) {
    writer.StartArray();
    text(name);
    text(value);
    writer.EndArray();
  }
  writer.EndArray();
  writer.Key("body");
  text(entry.body);
  writer.EndObject();
  return std::string(buffer.GetString(), buffer.GetSize()) + "\n";
}

std::string textMember(const rapidjson::Value& object, const char* name) {
  const auto member = object.FindMember(name);
  if (member == object.MemberEnd() || !member->value.IsString())
    throw EInOutError("journal line without " + std::string(name));
  return std::string(member->value.GetString(), member->value.GetStringLength());
}

int idOf(const rapidjson::Value& object, const std::string& line) {
  const auto member = object.FindMember("id");
  if (member == object.MemberEnd() || !member->value.IsInt())
    throw EInOutError("journal line without id: " + line);
  return member->value.GetInt();
}

JournalEntry entryOf(const rapidjson::Document& document, const std::string& line) {
  JournalEntry entry{textMember(document, "method"),
                     textMember(document, "path"),
                     textMember(document, "query"),
                     {},
                     textMember(document, "body")};
  const auto headers = document.FindMember("headers");
  if (headers == document.MemberEnd() || !headers->value.IsArray())
    throw EInOutError("journal line without headers");
  for (const auto& pair : headers->value.GetArray()) {
    if (!pair.IsArray() || pair.Size() != 2 || !pair[0].IsString() || !pair[1].IsString()) {
      throw EInOutError("journal header is not a name and a value: " + line);
    }
    entry.headers.emplace_back(std::string(pair[0].GetString(), pair[0].GetStringLength()),
                               std::string(pair[1].GetString(), pair[1].GetStringLength()));
  }
  return entry;
}

}  // namespace

int RequestJournal::append(const JournalEntry& entry) {
  std::lock_guard lock(mutex_);
  write(entryLine(++last_id_, entry));
  return last_id_;
}

void RequestJournal::appendStatus(int id, int status) {
  std::lock_guard lock(mutex_);
  write("{\"id\":" + std::to_string(id) + ",\"status\":" + std::to_string(status) + "}\n");
}

void RequestJournal::write(const std::string& line) {
  std::ofstream out(file_, std::ios::app | std::ios::binary);
  out << line;
  out.flush();
  if (!out) throw EInOutError("cannot append to the journal " + file_.string());
}

std::vector<JournalEntry> readJournal(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<JournalEntry> entries;
  if (!in) {
    if (!std::filesystem::exists(file)) return entries;  // nothing received yet
    throw EInOutError("cannot read the journal " + file.string());
  }
  std::map<int, std::size_t> at;  // id -> its entry
  for (std::string line; std::getline(in, line);) {
    // A last line without its line end is still being written (a long one goes out in several
    // writes): it is not an entry yet.
    if (in.eof()) break;
    rapidjson::Document document;
    document.Parse(line.data(), line.size());
    if (document.HasParseError() || !document.IsObject())
      throw EInOutError("journal line is not JSON: " + line);
    const int id = idOf(document, line);
    const auto status = document.FindMember("status");
    if (status == document.MemberEnd()) {
      at[id] = entries.size();
      entries.push_back(entryOf(document, line));
    } else if (const auto entry = at.find(id); entry != at.end() && status->value.IsInt()) {
      entries[entry->second].status = status->value.GetInt();
    } else {
      throw EInOutError("journal status line without its request: " + line);
    }
  }
  return entries;
}

}  // namespace varenta
