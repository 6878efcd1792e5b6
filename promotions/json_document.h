#pragma once
// A JSON text parsed for the promotion mapping: RapidJSON's DOM over a copy of the text, with every
// number kept as the text it was written with ("4.20", "1e400", "123456789012345678901234567890").
// A number is held as a string value, so a number and a string of the same text read alike, which
// is all the mapping asks of them. Object members keep the order of the text, duplicate keys
// included.

#include <rapidjson/document.h>
#include <rapidjson/reader.h>

#include <memory>
#include <string>
#include <string_view>

#include "base/json_depth.h"

namespace varenta {

using JsonNode = rapidjson::Value;

// How every reader of JSON text here parses: numbers as written.
inline constexpr unsigned kJsonParseFlags = rapidjson::kParseNumbersAsStringsFlag;

class ParsedJson {
 public:
  // Parses the text. Strings are taken byte for byte, so text that is not valid UTF-8 still parses.
  explicit ParsedJson(std::string_view text);
  ParsedJson(const ParsedJson&) = delete;
  ParsedJson& operator=(const ParsedJson&) = delete;

  // False when the text is not one JSON value with optional whitespace around it (the empty text
  // included, and a text going on after a NUL byte).
  bool valid() const { return valid_; }
  // The value; null when the text is not valid.
  const JsonNode& root() const { return document_; }

  // Memory a parse works in: a copy of the text, which the reader parses in place so that the
  // document's strings and numbers point into it, and the first block of the document's values.
  struct Memory {
    std::string text;
    std::unique_ptr<char[]> block;
    std::size_t blockSize = 0;
  };

 private:
  // The thread's memory for the length of a parse, or memory of the parse's own when another
  // parse on the thread holds it.
  class Lease {
   public:
    Lease();
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    Memory& memory() { return *memory_; }
    // The memory's block, made at least `size` bytes large.
    char* block(std::size_t size);

   private:
    std::unique_ptr<Memory> own_;
    Memory* memory_;
  };

  Lease lease_;
  rapidjson::MemoryPoolAllocator<> pool_;
  rapidjson::Document document_;
  bool valid_ = false;
};

// The text a scalar stands for: a string's characters, a number as written, "true", "false";
// empty for null, arrays and objects.
inline std::string_view scalarText(const JsonNode& node) {
  if (node.IsString()) return {node.GetString(), node.GetStringLength()};
  if (node.IsTrue()) return "true";
  if (node.IsFalse()) return "false";
  return {};
}

inline bool isScalar(const JsonNode& node) {
  return !node.IsArray() && !node.IsObject();
}

}  // namespace varenta
