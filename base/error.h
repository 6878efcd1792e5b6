#pragma once
// Errors of the service: every failure carries a type name that operators read in the log
// ("ERRO no Timer: EDatabaseError - ...") and a message.

#include <stdexcept>
#include <string>
#include <string_view>

namespace varenta {

class Error : public std::runtime_error {
 public:
  Error(std::string typeName, const std::string& message)
      : std::runtime_error(message), type_name_(std::move(typeName)) {}

  const std::string& typeName() const noexcept { return type_name_; }
  std::string message() const { return what(); }

 private:
  std::string type_name_;
};

// Declares an error type whose type name is its own class name.
#define VARENTA_ERROR_TYPE(Name)                                         \
  class Name : public ::varenta::Error {                                 \
   public:                                                               \
    explicit Name(const std::string& message) : Error(#Name, message) {} \
  }

VARENTA_ERROR_TYPE(EInOutError);    // a file could not be created, opened, written or closed
VARENTA_ERROR_TYPE(EConvertError);  // a text or value that does not convert to the wanted kind

// The store database refused or failed a request. `valueFault` when it refused a value of the rows
// it read or wrote (a conversion, an overflow, malformed text): the same rows fail the same way every
// time, which a lost link, a lock conflict or a shutdown does not.
class EDatabaseError : public Error {
 public:
  explicit EDatabaseError(const std::string& message, bool valueFault = false)
      : Error("EDatabaseError", message), value_fault_(valueFault) {}
  bool valueFault() const noexcept { return value_fault_; }

 private:
  bool value_fault_;
};
VARENTA_ERROR_TYPE(EOverflowError);  // an amount outside what the fixed-point type holds

// The type name an operator reads for any error: ours carry their own; for another exception it
// is its demangled class name ("std::bad_alloc").
std::string errorTypeName(const std::exception& error);

// The log line by which a task reports an error it handles itself: the task's prefix, the type
// name, CR LF, "Mensagem: " and the message ("Erro: EDatabaseError\r\nMensagem: ...").
std::string errorLine(std::string_view prefix, const std::exception& error);

}  // namespace varenta
