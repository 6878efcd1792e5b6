#include "promotions/json_document.h"

namespace varenta {
namespace {

// Every parse on a thread reuses the memory of the one before: fresh memory from the system costs
// more than the whole parse. The memory of a text beyond kKeptText is given back after its parse.
constexpr std::size_t kKeptText = std::size_t{4} << 20;
thread_local ParsedJson::Memory threadMemory;
thread_local bool threadMemoryLeased = false;

// The document's values of a promotion list take some 1.4 bytes for every byte of its text; a text
// that needs more gets further blocks of this size.
std::size_t blockSize(std::string_view text) {
  return text.size() + text.size() / 2 + 4096;
}

}  // namespace

ParsedJson::Lease::Lease()
    : own_(threadMemoryLeased ? std::make_unique<Memory>() : nullptr),
      memory_(own_ ? own_.get() : &threadMemory) {
  if (!own_) threadMemoryLeased = true;
}

ParsedJson::Lease::~Lease() {
  if (own_) return;
  if (threadMemory.text.size() > kKeptText) threadMemory = Memory();
  threadMemoryLeased = false;
}

char* ParsedJson::Lease::block(std::size_t size) {
  if (memory_->blockSize < size) {
    memory_->block.reset(new char[size]);
    memory_->blockSize = size;
  }
  return memory_->block.get();
}

ParsedJson::ParsedJson(std::string_view text)
    : pool_(lease_.block(blockSize(text)), blockSize(text), blockSize(text)), document_(&pool_) {
  std::string& copy = lease_.memory().text;
  copy.assign(text);
  rapidjson::InsituStringStream stream(copy.data());
  auto generator = [&](rapidjson::Document& target) {
    rapidjson::Reader reader;
    DepthLimited<rapidjson::Document> handler(target);
    // The copy ends in a NUL byte, which the reader takes for the end of the text; a text that
    // goes on after a NUL byte of its own is not JSON.
    valid_ = !reader.Parse<kJsonParseFlags | rapidjson::kParseInsituFlag>(stream, handler).IsError() &&
             stream.Tell() == text.size();
    return valid_;
  };
  document_.Populate(generator);
}

}  // namespace varenta
