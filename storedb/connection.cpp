#include "storedb/connection.h"

#include <charconv>

#include "base/error.h"
#include "base/text.h"
#include "storedb/fb_api.h"

namespace varenta {
namespace {

// Seconds the client waits for the server to answer an attachment: a host that drops packets must
// not hold the cycle for the system's default of minutes.
constexpr int kConnectTimeoutSeconds = 15;

// The oldest a link is let grow before a task gets a fresh one.
constexpr std::chrono::hours kLinkLifetime{1};

std::string_view nameOf(std::string_view line) {
  return line.substr(0, line.find('='));
}

unsigned parseDialect(const std::string& text) {
  unsigned dialect = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), dialect);
  if (ec != std::errc() || end != text.data() + text.size() || dialect < 1 || dialect > 3)
    throw EDatabaseError("Invalid SQL dialect: '" + text + "'");
  return dialect;
}

}  // namespace

void ConnectionParams::add(std::string_view name, std::string_view value) {
  lines_.push_back(std::string(name) + "=" + std::string(value));
}

void ConnectionParams::setValue(std::string_view name, std::string_view value) {
  for (std::string& line : lines_) {
    if (asciiIEquals(nameOf(line), name)) {
      line = std::string(nameOf(line)) + "=" + std::string(value);
      return;
    }
  }
  add(name, value);
}

std::string ConnectionParams::value(std::string_view name) const {
  for (const std::string& line : lines_) {
    if (asciiIEquals(nameOf(line), name)) return line.substr(std::min(line.size(), name.size() + 1));
  }
  return {};
}

Connection::~Connection() {
  close();
}

void Connection::open() {
  if (attachment_) return;
  const std::string dialectText = params_.value("SQLDialect");
  const unsigned dialect = dialectText.empty() ? 3 : parseDialect(dialectText);
  // Always a TCP/IP attachment, and an empty server is this host: a target without a host would
  // open the file in this process, past the server and its passwords.
  const std::string server = params_.value("Server");
  // A server written with a port of its own ("host/3051", as Firebird names one) keeps that port.
  const std::string port = server.find('/') == std::string::npos ? params_.value("Port") : "";
  const std::string target = (server.empty() ? "localhost" : server) + (port.empty() ? "" : "/" + port) +
                             ":" + params_.value("Database");
  // No lc_ctype: the attachment speaks the database's bytes (character set NONE), Windows-1252 here.
  fb::Status status;
  try {
    // The path, the user and the password go in UTF-8, and the client is told so: a client that is
    // not told reads them in the system's code page (the ANSI code page on Windows).
    fb::ParamBlock dpb(status, Firebird::IXpbBuilder::DPB);
    dpb->insertTag(&status, isc_dpb_utf8_filename);
    dpb->insertString(&status, isc_dpb_user_name, params_.value("User_Name").c_str());
    dpb->insertString(&status, isc_dpb_password, params_.value("Password").c_str());
    dpb->insertInt(&status, isc_dpb_sql_dialect, static_cast<int>(dialect));
    dpb->insertInt(&status, isc_dpb_connect_timeout, kConnectTimeoutSeconds);
    fb::Ref<Firebird::IProvider> provider(fb::master()->getDispatcher());
    attachment_ = provider->attachDatabase(&status, target.c_str(), dpb->getBufferLength(&status),
                                           dpb->getBuffer(&status));
  } catch (const Firebird::FbException& e) {
    fb::raise(e);
  }
  dialect_ = dialect;
  ++generation_;
}

void Connection::close() {
  if (!attachment_) return;
  fb::Status status;
  try {
    attachment_->detach(&status);  // releases the interface on success
  } catch (const Firebird::FbException&) {
    attachment_->release();
  }
  attachment_ = nullptr;
  attachedAt_.reset();
  failed_ = false;
}

void Connection::renew(std::chrono::steady_clock::time_point now) {
  if (attachment_ && (failed_ || (attachedAt_ && now - *attachedAt_ >= kLinkLifetime))) close();
  open();
  // A link attached elsewhere (a statement reattaching a broken one) is counted from here.
  if (!attachedAt_) attachedAt_ = now;
}

Firebird::IAttachment* Connection::attachment() {
  open();
  return attachment_;
}

}  // namespace varenta
