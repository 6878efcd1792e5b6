#include "promotions/json_pretty.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <vector>

#include "base/json_writer.h"
#include "promotions/json_document.h"

namespace varenta {
namespace {

// Prints as the reader goes. A line stays open until the next one begins, so that the comma after
// an element or a key's entry lands at the end of its last line; a key's value begins on the
// key's own line, so a nested container opens there and closes at the key's indentation.
class Printer : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Printer> {
 public:
  bool Null() { return scalar("null"); }
  bool Bool(bool b) { return scalar(b ? "true" : "false"); }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) { return scalar({text, length}); }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    startValue();
    appendJsonString(out_, {text, length}, JsonEscaping::kAsciiOnly);
    return true;
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    Open& object = open_.back();
    if (object.count++ > 0) out_ += ',';
    newLine(object.indent + 2);
    appendJsonString(out_, {text, length}, JsonEscaping::kAsciiOnly);
    out_ += ": ";
    return true;
  }
  bool StartObject() { return openContainer('{'); }
  bool EndObject(rapidjson::SizeType) { return closeContainer('}'); }
  bool StartArray() { return openContainer('['); }
  bool EndArray(rapidjson::SizeType) { return closeContainer(']'); }

  std::string text() { return out_ + "\r\n"; }

 private:
  struct Open {
    int indent;
    bool isObject;
    int count = 0;
  };

  void newLine(int indent) {
    if (!out_.empty()) out_ += "\r\n";
    out_.append(static_cast<std::size_t>(indent), ' ');
  }

  // Where a value begins: on a line of its own, unless it is a key's value. Answers the indentation
  // of a container that begins here.
  int startValue() {
    if (open_.empty()) {
      newLine(0);
      return 0;
    }
    Open& parent = open_.back();
    if (!parent.isObject) {
      if (parent.count++ > 0) out_ += ',';
      newLine(parent.indent + 2);
    }
    return parent.indent + 2;
  }

  bool scalar(std::string_view text) {
    startValue();
    out_ += text;
    return true;
  }

  bool openContainer(char bracket) {
    if (open_.size() >= static_cast<std::size_t>(kMaxJsonDepth)) return false;
    const int indent = startValue();
    out_ += bracket;
    open_.push_back({indent, bracket == '{'});
    return true;
  }

  bool closeContainer(char bracket) {
    newLine(open_.back().indent);
    out_ += bracket;
    open_.pop_back();
    return true;
  }

  std::string out_;
  std::vector<Open> open_;
};

}  // namespace

std::string PrettyPrintJSON(std::string_view aJson) {
  rapidjson::MemoryStream stream(aJson.data(), aJson.size());
  rapidjson::Reader reader;
  Printer printer;
  if (reader.Parse<kJsonParseFlags | rapidjson::kParseIterativeFlag>(stream, printer).IsError() ||
      stream.Tell() != aJson.size())
    return {};
  return printer.text();
}

}  // namespace varenta
