#include "tests/firebird/test_database.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/error.h"
#include "storedb/fb_api.h"
#include "storedb/fbconn.h"
#include "storedb/query.h"
#include "storedb/sql_text.h"
#include "tests/support/linux_shell.h"

namespace varenta::testing {
namespace {

std::string remote(const std::string& path) {
  return std::string("127.0.0.1/") + kPort + ":" + path;
}

// Runs fn with a DPB for SYSDBA; the server creates and deletes the files itself.
template <class F>
void withDpb(bool creating, F fn) {
  fb::Status status;
  try {
    fb::ParamBlock dpb(status, Firebird::IXpbBuilder::DPB);
    dpb->insertString(&status, isc_dpb_user_name, kUser);
    dpb->insertString(&status, isc_dpb_password, kPassword);
    if (creating) {
      dpb->insertInt(&status, isc_dpb_sql_dialect, 3);
      dpb->insertString(&status, isc_dpb_set_db_charset, "WIN1252");
      dpb->insertInt(&status, isc_dpb_force_write, 0);  // nothing to keep: no disk syncs
    }
    fb::Ref<Firebird::IProvider> provider(fb::master()->getDispatcher());
    fn(status, provider.get(), dpb.get());
  } catch (const Firebird::FbException& e) {
    fb::raise(e);
  }
}

}  // namespace

std::string schemaScript() {
  std::ifstream in(VARENTA_SCHEMA_SQL);
  if (!in) throw EInOutError(std::string("Cannot read ") + VARENTA_SCHEMA_SQL);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

TestDatabase::TestDatabase(std::string_view fileName) {
  // A name with a directory of its own ("Farmácia/TOLVANE.FDB"): that directory is made here.
  if (const std::size_t slash = fileName.rfind('/'); slash != std::string_view::npos) {
    const std::string inner = directory_ + std::string(fileName.substr(0, slash));
    std::filesystem::create_directories(utf8Path(inner));
    openToAll(inner);
  }
#ifdef _WIN32
  // The server is the Linux one: it knows the file by its Linux name.
  path_ = linuxPathOf(utf8Path(directory_ + std::string(fileName)));
#else
  path_ = directory_ + std::string(fileName);
#endif
  try {
    withDpb(true, [&](fb::Status& status, Firebird::IProvider* provider, Firebird::IXpbBuilder* dpb) {
      Firebird::IAttachment* created = provider->createDatabase(
          &status, remote(path_).c_str(), dpb->getBufferLength(&status), dpb->getBuffer(&status));
      created->detach(&status);
    });
    configure(connection_);
    for (const std::string& statement : splitStatements(schemaScript())) exec(statement);
  } catch (...) {
    connection_.close();
    throw;
  }
}

TestDatabase::~TestDatabase() {
  connection_.close();
  try {
    withDpb(false, [&](fb::Status& status, Firebird::IProvider* provider, Firebird::IXpbBuilder* dpb) {
      Firebird::IAttachment* attachment = provider->attachDatabase(
          &status, remote(path_).c_str(), dpb->getBufferLength(&status), dpb->getBuffer(&status));
      attachment->dropDatabase(&status);
    });
  } catch (const Error&) {
    // A database still in use by a test's leftover attachment, or already dropped by the test,
    // cannot be dropped; its directory goes all the same, and the server lets go of the file
    // when that attachment ends.
  }
}

void TestDatabase::configure(Connection& conn) const {
  TFBConn helper;
  helper.CreateConn(kServer, path_, kPort, kUser, kPassword, conn);
  helper.ConfigureConnection(conn);
}

void TestDatabase::exec(std::string_view sql) {
  Query query(connection_);
  query.setSql(sql);
  query.execute();
}

}  // namespace varenta::testing
