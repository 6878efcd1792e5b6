#pragma once
// Reading JSON that comes from outside (the cloud's answers): nesting is refused before the reader
// goes down into a container that would nest too deep, so that no text, however it nests, costs
// more than a bounded parse or runs a walk over it out of stack. Without a bound a megabyte of "["
// builds a megabyte of nested arrays, and a 100 MB answer took gigabytes.

#include <rapidjson/document.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <cstdint>
#include <string_view>

namespace varenta {

// Far deeper than any document of the cloud: nesting beyond it is refused like any other text that
// is not JSON.
inline constexpr int kMaxJsonDepth = 512;

// A reader's handler that hands every event on to `target` (a document, usually) and stops the
// parse at the first container that would nest deeper than kMaxJsonDepth.
template <class Target>
class DepthLimited {
 public:
  using Ch = char;
  explicit DepthLimited(Target& target) : target_(target) {}

  bool Null() { return target_.Null(); }
  bool Bool(bool b) { return target_.Bool(b); }
  bool Int(int i) { return target_.Int(i); }
  bool Uint(unsigned i) { return target_.Uint(i); }
  bool Int64(std::int64_t i) { return target_.Int64(i); }
  bool Uint64(std::uint64_t i) { return target_.Uint64(i); }
  bool Double(double d) { return target_.Double(d); }
  bool RawNumber(const Ch* text, rapidjson::SizeType length, bool copy) {
    return target_.RawNumber(text, length, copy);
  }
  bool String(const Ch* text, rapidjson::SizeType length, bool copy) {
    return target_.String(text, length, copy);
  }
  bool Key(const Ch* text, rapidjson::SizeType length, bool copy) { return target_.Key(text, length, copy); }
  bool StartObject() { return ++depth_ <= kMaxJsonDepth && target_.StartObject(); }
  bool EndObject(rapidjson::SizeType members) {
    --depth_;
    return target_.EndObject(members);
  }
  bool StartArray() { return ++depth_ <= kMaxJsonDepth && target_.StartArray(); }
  bool EndArray(rapidjson::SizeType elements) {
    --depth_;
    return target_.EndArray(elements);
  }

 private:
  Target& target_;
  int depth_ = 0;
};

// Parses `text` into `document` as Document::Parse<Flags> does, iteratively and within
// kMaxJsonDepth. False, the document null, when the text is not one JSON value, nests deeper, or
// goes on after a NUL byte (the reader takes one for the end of the text; JSON never holds one raw).
// A byte order mark is no JSON here: the client drops one before any answer, and Document::Parse
// would drop a lone first byte of one too ("\xEF{}" reading as "{}").
template <unsigned Flags>
bool parseJsonWithinDepth(rapidjson::Document& document, std::string_view text) {
  bool parsed = false;
  auto generator = [&](rapidjson::Document& target) {
    rapidjson::MemoryStream bytes(text.data(), text.size());
    rapidjson::Reader reader;
    DepthLimited<rapidjson::Document> handler(target);
    parsed = !reader.Parse<Flags | rapidjson::kParseIterativeFlag>(bytes, handler).IsError() &&
             bytes.Tell() == text.size();
    return parsed;
  };
  document.SetNull();
  document.Populate(generator);
  return parsed;
}

}  // namespace varenta
