#include "promotions/json_value.h"

#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

namespace varenta {
namespace {

using Kind = JsonValue::Kind;

JsonValue valueOf(Kind kind, std::string text = {}) {
  JsonValue value;
  value.kind = kind;
  value.text = std::move(text);
  return value;
}

// Builds the tree from rapidjson's events. Containers under construction sit on a stack of their
// own, so neither the parser (iterative) nor the builder recurses however deep the text nests.
class TreeBuilder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, TreeBuilder> {
 public:
  bool Null() { return add(valueOf(Kind::kNull)); }
  bool Bool(bool b) { return add(valueOf(b ? Kind::kTrue : Kind::kFalse)); }
  bool RawNumber(const char* text, rapidjson::SizeType length, bool) {
    return add(valueOf(Kind::kNumber, std::string(text, length)));
  }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    return add(valueOf(Kind::kString, std::string(text, length)));
  }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    keys_.back().assign(text, length);
    return true;
  }
  bool StartObject() { return open(Kind::kObject); }
  bool EndObject(rapidjson::SizeType) { return close(); }
  bool StartArray() { return open(Kind::kArray); }
  bool EndArray(rapidjson::SizeType) { return close(); }

  JsonValue takeRoot() { return std::move(root_); }

 private:
  bool open(Kind kind) {
    if (open_.size() >= kMaxJsonDepth) return false;
    open_.push_back(valueOf(kind));
    keys_.emplace_back();
    return true;
  }

  bool close() {
    JsonValue done = std::move(open_.back());
    open_.pop_back();
    keys_.pop_back();
    return add(std::move(done));
  }

  bool add(JsonValue value) {
    if (open_.empty()) {
      root_ = std::move(value);
    } else if (JsonValue& parent = open_.back(); parent.is(Kind::kObject)) {
      parent.members.push_back({std::move(keys_.back()), std::move(value)});
    } else {
      parent.items.push_back(std::move(value));
    }
    return true;
  }

  std::vector<JsonValue> open_;
  std::vector<std::string> keys_;  // the pending key of each open object
  JsonValue root_;
};

}  // namespace

std::string_view JsonValue::scalarText() const {
  switch (kind) {
    case Kind::kFalse:
      return "false";
    case Kind::kTrue:
      return "true";
    case Kind::kNumber:
    case Kind::kString:
      return text;
    default:
      return {};
  }
}

std::optional<JsonValue> parseJson(std::string_view text) {
  constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseNumbersAsStringsFlag;
  rapidjson::MemoryStream stream(text.data(), text.size());
  rapidjson::Reader reader;
  TreeBuilder builder;
  // The reader takes a NUL byte for the end of the text; a text that goes on after one is not
  // JSON.
  if (reader.Parse<kFlags>(stream, builder).IsError() || stream.Tell() != text.size()) return std::nullopt;
  return builder.takeRoot();
}

}  // namespace varenta
