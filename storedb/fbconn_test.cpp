#include "storedb/fbconn.h"

#include <gtest/gtest.h>

#include "base/error.h"
#include "storedb/query.h"
#include "tests/firebird/test_database.h"

namespace varenta {
namespace {

TEST(TFBConn, ConfigureConnectionWritesTheParameterLinesInOrderAndTheOptions) {
  TFBConn helper;
  Connection conn;
  conn.params().add("Stale", "line");
  helper.CreateConn("db-host", "/data/TOLVANE.FDB", "3050", "SYSDBA", "quenbolix", conn);
  EXPECT_TRUE(conn.params().lines().size() == 1) << "CreateConn leaves the connection alone";
  helper.ConfigureConnection(conn);

  const std::vector<std::string> expected = {
      "DriverID=FB",
      "Pooled=False",
      "Database=/data/TOLVANE.FDB",
      "User_Name=SYSDBA",
      "Password=quenbolix",
      "Protocol=TCPIP",
      "Server=db-host",
      "Port=3050",
      "SQLDialect=3",
      "CharacterSet=",
      "ExtendedMetaData=False",
      "OpenMode=Open",
      "POOLING=False",
  };
  EXPECT_EQ(conn.params().lines(), expected);
  EXPECT_TRUE(conn.options().autoReconnect);
  EXPECT_TRUE(conn.options().emptyStringsAsNull);
  EXPECT_TRUE(conn.options().trimOnRead);
  EXPECT_TRUE(conn.options().trimToLength);

  // A later attempt replaces every setting of the earlier one.
  helper.CreateConn("other", "/x.fdb", "3050", "SYSDBA", "gebrow", conn);
  helper.ConfigureConnection(conn);
  EXPECT_EQ(conn.params().value("password"), "gebrow");
  EXPECT_EQ(conn.params().value("Server"), "other");
  EXPECT_EQ(conn.params().lines().size(), expected.size());
}

TEST(TFBConn, AFailedConnectionReachesTheCallerAndIsPrintedOnStandardOutput) {
  TFBConn helper;
  Connection conn;
  // The path in the server's text reads as the operator wrote it.
  helper.CreateConn("localhost", "/nonexistent/Farmácia/TOLVANE.FDB", "3050", "SYSDBA", "quenbolix", conn);
  helper.ConfigureConnection(conn);
  ::testing::internal::CaptureStdout();
  try {
    helper.ConnectConn(conn);
    ADD_FAILURE() << "connected";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(e.message().find("\"/nonexistent/Farmácia/TOLVANE.FDB\""), std::string::npos) << e.message();
  }
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_TRUE(out.starts_with("Erro ao conectar com banco de dados FB: ")) << out;
  EXPECT_NE(out.find("/nonexistent/Farmácia/TOLVANE.FDB"), std::string::npos) << out;
  EXPECT_FALSE(conn.connected());
}

// An empty server (an empty "Servidor=") is this host over TCP/IP: the server checks the password,
// which a file opened in this process would not.
TEST(TFBConn, AnEmptyServerIsThisHostAndItsServerChecksThePassword) {
  testing::TestDatabase db;
  TFBConn helper;
  Connection conn;
  helper.CreateConn("", db.path(), "3050", "SYSDBA", "not-the-password", conn);
  helper.ConfigureConnection(conn);
  ::testing::internal::CaptureStdout();
  EXPECT_THROW(helper.ConnectConn(conn), EDatabaseError);
  ::testing::internal::GetCapturedStdout();

  helper.CreateConn("", db.path(), "3050", "SYSDBA", "quenbolix", conn);
  helper.ConfigureConnection(conn);
  ASSERT_TRUE(helper.ConnectConn(conn));
  Query protocol(conn);
  protocol.setSql(
      "SELECT MON$REMOTE_PROTOCOL FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION");
  protocol.open();
  EXPECT_TRUE(protocol.field("MON$REMOTE_PROTOCOL").asString().starts_with("TCP"));
}

TEST(TFBConn, ConnectsDisconnectsAndReleases) {
  testing::TestDatabase db;
  TFBConn helper;
  auto conn = std::make_unique<Connection>();
  helper.CreateConn("localhost", db.path(), "3050", "SYSDBA", "quenbolix", *conn);
  helper.ConfigureConnection(*conn);
  EXPECT_TRUE(helper.ConnectConn(*conn));
  helper.DisconnectConn(*conn);
  EXPECT_FALSE(conn->connected());
  helper.DisconnectConn(*conn);  // closing a closed connection does nothing
  helper.DestroyConn(conn);
  EXPECT_EQ(conn, nullptr);
}

}  // namespace
}  // namespace varenta
