#pragma once
// The few pieces of the Firebird client's OO API that the connection and the statements share. Only
// storedb/ includes this header; the rest of the program sees Connection, Query and Field.

#include <firebird/Interface.h>

#include <string>
#include <utility>

namespace varenta::fb {

// The client's master interface; throws EClientMissing (fb_client.h) while there is no client.
Firebird::IMaster* master();

// A status vector that throws Firebird::FbException on error, disposed when it goes out of scope.
class Status {
 public:
  Status() : wrapper_(master()->getStatus()) {}
  ~Status() { wrapper_.dispose(); }
  Status(const Status&) = delete;
  Status& operator=(const Status&) = delete;
  Firebird::ThrowStatusWrapper* operator&() { return &wrapper_; }

 private:
  Firebird::ThrowStatusWrapper wrapper_;
};

// A parameter block builder (DPB for an attachment, TPB for a transaction), disposed when it goes
// out of scope.
class ParamBlock {
 public:
  ParamBlock(Status& status, unsigned kind)
      : builder_(master()->getUtilInterface()->getXpbBuilder(&status, kind, nullptr, 0)) {}
  ~ParamBlock() { builder_->dispose(); }
  ParamBlock(const ParamBlock&) = delete;
  ParamBlock& operator=(const ParamBlock&) = delete;
  Firebird::IXpbBuilder* operator->() const { return builder_; }
  Firebird::IXpbBuilder* get() const { return builder_; }

 private:
  Firebird::IXpbBuilder* builder_;
};

// Owns one reference to a client interface and releases it, unless take() handed it over (the
// calls that end an interface's life, such as commit or detach, release it themselves).
template <class T>
class Ref {
 public:
  Ref() = default;
  explicit Ref(T* p) : p_(p) {}
  ~Ref() { reset(); }
  Ref(Ref&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) reset(std::exchange(other.p_, nullptr));
    return *this;
  }
  T* operator->() const { return p_; }
  T* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  T* take() { return std::exchange(p_, nullptr); }
  void reset(T* p = nullptr) {
    if (p_) p_->release();
    p_ = p;
  }

 private:
  T* p_ = nullptr;
};

// The status text as the server wrote it, in UTF-8 (read as Windows-1252 when it is not valid
// UTF-8), one line per status entry.
std::string describe(const Firebird::FbException& error);

// Throws EDatabaseError carrying the status text.
[[noreturn]] void raise(const Firebird::FbException& error);

// True when the error says the attachment's link to the server is gone (network failure, the
// server shut down or restarted, the attachment killed): a new attachment may succeed.
bool linkBroken(const Firebird::FbException& error);

}  // namespace varenta::fb
