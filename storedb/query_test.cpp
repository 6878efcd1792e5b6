#include "storedb/query.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <optional>
#include <utility>

#include "base/error.h"
#include "storedb/connection.h"
#include "tests/firebird/loopback_relay.h"
#include "tests/firebird/shared_database.h"

namespace varenta {
namespace {

class QueryTest : public testing::SharedDatabaseTest {
 protected:
  void SetUp() override {
    db().configure(connection_);
    db().exec("delete from vendas");
    db().exec("delete from VARENTA_PROMOCOES");
  }

  // Reads one value back through the fixture's own connection.
  static Field scalar(const std::string& sql) {
    Query q(db().connection());
    q.setSql(sql);
    q.open();
    return q.field(std::string_view("V"));
  }

  Connection connection_;
};

constexpr const char* kInsertLine =
    "insert into vendas (sequencial, venda, data, hora, codigoproduto, produto) "
    "values (:seq, 1, '2024-06-20', '10:00:00', :codigo, :produto)";

TEST_F(QueryTest, TextGoesInAsWindows1252AndComesBackUnchanged) {
  Query q(connection_);
  q.setSql(kInsertLine);
  q.setInteger("seq", 1);
  q.setString("codigo", "789");
  q.setString("produto", "AÇÚCAR ÉPICO");
  ASSERT_EQ(q.execute(), 1u);

  // One byte per character in the database: Ç is 199 in Windows-1252.
  EXPECT_EQ(scalar("select octet_length(produto) as v from vendas").asInteger(), 12);
  EXPECT_EQ(scalar("select ascii_val(substring(produto from 2 for 1)) as v from vendas").asInteger(), 199);

  q.setSql("select produto from vendas where produto = :p");
  q.setString("p", "AÇÚCAR ÉPICO");
  q.open();
  ASSERT_EQ(q.recordCount(), 1u);
  EXPECT_EQ(q.field("PRODUTO").asString(), "AÇÚCAR ÉPICO");
}

TEST_F(QueryTest, StringsAreShapedAtTheBoundary) {
  Query q(connection_);
  q.setSql(kInsertLine);
  q.setInteger("seq", 1);
  q.setString("codigo", "1234567890123456789012345");  // the column holds 20
  q.setString("produto", "");
  q.execute();
  EXPECT_EQ(scalar("select codigoproduto as v from vendas").asString(), "12345678901234567890");
  EXPECT_TRUE(scalar("select produto as v from vendas").isNull());

  q.setSql("select cast('ab' as char(10)) as fixed, cast('cd  ' as varchar(10)) as var from rdb$database");
  q.open();
  EXPECT_EQ(q.field("fixed").asString(), "ab");
  EXPECT_EQ(q.field("var").asString(), "cd");
}

TEST_F(QueryTest, WithoutTheOptionsTextIsSentAndReadAsItIs) {
  connection_.options() = ConnectionOptions{};
  Query q(connection_);
  q.setSql("select cast(:t as varchar(10)) as t, cast('ab' as char(4)) as c from rdb$database");
  q.setString("t", "");
  q.open();
  EXPECT_FALSE(q.field("t").isNull());
  EXPECT_EQ(q.field("c").asString(), "ab  ");

  q.setSql(kInsertLine);
  q.setInteger("seq", 1);
  q.setString("codigo", "1234567890123456789012345");
  EXPECT_THROW(q.execute(), EDatabaseError);
  // Longer than any parameter can carry: refused before anything is sent.
  q.setString("codigo", std::string(70000, 'x'));
  EXPECT_THROW(q.execute(), EDatabaseError);
}

TEST_F(QueryTest, ParametersBindByKindAndColumnsReadBack) {
  Query q(connection_);
  q.setSql(
      "insert into VARENTA_PROMOCOES (CODIGOPROMOCAO, DATAINICIAL, DATAFINAL, LIMITE, PRECOFIXO, "
      "DESCONTOFIXO, "
      "DESCRICAO, REJEITADA) values (:id, :ini, :fim, :limite, :preco, :desconto, :descricao, "
      "current_timestamp)");
  q.setInteger("ID", 7);
  q.setDate("ini", DateTime::fromParts(2024, 2, 29, 23, 59, 59));  // the day only
  q.setNull("fim");
  q.setString("limite", "3");  // text converted by the server into the integer column
  q.setDecimal("preco", Decimal::parse("9.9"));
  q.setDecimal("desconto", Decimal::parse("-0.0001"));
  // DESCRICAO left unbound: written as NULL.
  q.execute();

  q.setSql("select * from VARENTA_PROMOCOES where CODIGOPROMOCAO = :id and DATAINICIAL = :ini");
  q.setInteger("id", 7);
  q.setDate("ini", DateTime::fromParts(2024, 2, 29));
  q.open();
  ASSERT_EQ(q.recordCount(), 1u);
  EXPECT_EQ(q.field("codigopromocao").asInteger(), 7);
  EXPECT_EQ(q.field("datainicial").asDateTime(), DateTime::fromParts(2024, 2, 29));
  EXPECT_TRUE(q.field("datafinal").isNull());
  EXPECT_EQ(q.field("limite").asInteger(), 3);
  EXPECT_EQ(q.field("precofixo").asDecimal(), Decimal::parse("9.9"));
  EXPECT_EQ(q.field("descontofixo").asDecimal(), Decimal::parse("-0.0001"));
  EXPECT_TRUE(q.field("descricao").isNull());
  EXPECT_FALSE(q.field("rejeitada").asDateTime().isZero());
  EXPECT_THROW(q.field("nope"), EDatabaseError);
  EXPECT_THROW(q.setInteger("nope", 1), EDatabaseError);

  q.setSql(
      "select cast('2024-06-20 14:05:03.250' as timestamp) as ts, cast('14:05:03' as time) as t, "
      "cast(12.345 as numeric(15,3)) as qty from rdb$database");
  q.open();
  EXPECT_EQ(q.field("ts").asDateTime(), DateTime::fromParts(2024, 6, 20, 14, 5, 3, 250));
  EXPECT_EQ(q.field("t").asString(), "14:05:03");
  EXPECT_EQ(q.field("qty").asDecimal(), Decimal::parse("12.345"));

  // Scaled values beyond what Decimal holds, which the database takes: the statement reads, and
  // only reading them as amounts fails.
  q.setSql(
      "select cast(1000000000000000.00 as numeric(18,2)) as big, "
      "cast('-92233720368547758.08' as numeric(18,2)) as lowest, 7 as n from rdb$database");
  q.open();
  for (const auto& [column, text] :
       {std::pair{"big", "1000000000000000.00"}, {"lowest", "-92233720368547758.08"}}) {
    EXPECT_EQ(q.field(column).asString(), text);
    EXPECT_THROW(q.field(column).asDecimal(), EOverflowError) << column;
  }
  EXPECT_EQ(q.field("n").asInteger(), 7);
}

TEST_F(QueryTest, NamesInsideQuotesAreTextAndARepeatedNameBindsEverywhere) {
  Query q(connection_);
  q.setSql("select ':venda' as t, cast(:n as integer) + cast(:N as integer) as s from rdb$database");
  q.setInteger("n", 21);
  q.open();
  EXPECT_EQ(q.field("t").asString(), ":venda");
  EXPECT_EQ(q.field("s").asInteger(), 42);
}

TEST_F(QueryTest, ResultsAreCountedAndWalked) {
  for (int seq : {1, 2, 3}) {
    Query q(connection_);
    q.setSql(kInsertLine);
    q.setInteger("seq", seq);
    q.setString("codigo", std::to_string(seq * 10));
    q.setString("produto", "x");
    q.execute();
  }
  Query q(connection_);
  q.setSql("select codigoproduto from vendas order by sequencial");
  q.open();
  EXPECT_EQ(q.recordCount(), 3u);
  std::vector<std::string> seen;
  for (; !q.eof(); q.next()) seen.push_back(q.field("codigoproduto").asString());
  EXPECT_EQ(seen, (std::vector<std::string>{"10", "20", "30"}));
  EXPECT_TRUE(q.field("codigoproduto").isNull());  // past the end

  q.setSql("update vendas set produto = 'y' where sequencial >= 2");
  EXPECT_EQ(q.execute(), 2u);
  q.setSql("select codigoproduto from vendas where 1 = 0");
  q.open();
  EXPECT_EQ(q.recordCount(), 0u);
  EXPECT_EQ(q.field("codigoproduto").asString(), "");
}

// A handle keeps a few texts' statements prepared: going back to a text neither prepares it again
// nor keeps the values bound in its last run; after a new attachment it is prepared anew.
TEST_F(QueryTest, GoingBackToATextReusesItsStatementWithFreshParameters) {
  Query q(connection_);
  const auto text = [](int i) {
    return "select " + std::to_string(i) +
           " + coalesce(cast(:p as integer), 1000) as v, current_connection as c "
           "from rdb$database";
  };
  const auto run = [&](int i, std::optional<int> p) {
    q.setSql(text(i));
    if (p) q.setInteger("p", *p);
    q.open();
    return q.field("v").asInteger();
  };
  // Statements the server holds prepared for the handle's attachment.
  const auto prepared = [&] {
    return scalar("select count(*) as v from mon$statements where mon$attachment_id = " +
                  q.field("c").asString() + " and mon$sql_text starting with 'select '")
        .asInteger();
  };
  for (int round = 0; round < 3; ++round) {
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run(i, 10), i + 10);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(run(i, std::nullopt), i + 1000);
  }
  EXPECT_EQ(prepared(), 3);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(run(i, i), 2 * i);
  EXPECT_EQ(prepared(), 9);  // the current one and the eight kept

  connection_.close();
  for (int i = 0; i < 12; ++i) EXPECT_EQ(run(11 - i, std::nullopt), 11 - i + 1000);
}

TEST_F(QueryTest, DatabaseErrorsCarryTheServersText) {
  Query q(connection_);
  q.setSql("select x from no_such_table");
  try {
    q.open();
    FAIL() << "no error";
  } catch (const EDatabaseError& e) {
    EXPECT_NE(e.message().find("Table unknown"), std::string::npos) << e.message();
    EXPECT_NE(e.message().find("NO_SUCH_TABLE"), std::string::npos) << e.message();
  }
  // The connection is still good for the next statement.
  q.setSql("select 1 as v from rdb$database");
  q.open();
  EXPECT_EQ(q.field("v").asInteger(), 1);
}

// A value the database refuses (it fails the same rows every time) is told from the failures that
// say nothing of the rows: a statement the database cannot run, a link that broke.
TEST_F(QueryTest, ARefusedValueIsToldFromOtherFailures) {
  const struct {
    const char* sql;
    bool valueFault;
  } cases[] = {
      {"select cast('ABC' as integer) as v from rdb$database", true},
      {"select cast('2024-02-30' as date) as v from rdb$database", true},
      {"select cast(99999999999 as integer) as v from rdb$database", true},
      {"select 1 / 0 as v from rdb$database", true},
      {"select cast('ABCDEF' as varchar(3)) as v from rdb$database", true},
      {"select x from no_such_table", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sql);
    Query q(connection_);
    q.setSql(c.sql);
    try {
      q.open();
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(e.valueFault(), c.valueFault) << e.message();
    }
  }
}

// A task's renew keeps the link it finds, and attaches anew only when the link is an hour old, when
// a statement on it failed, or when it is closed.
TEST_F(QueryTest, RenewKeepsTheLinkUntilItIsOldOrAStatementFailed) {
  using std::chrono::minutes;
  Query q(connection_);
  const auto attachmentId = [&] {
    q.setSql("select current_connection as v from rdb$database");
    q.open();
    return q.field("v").asInteger();
  };
  const auto t0 = std::chrono::steady_clock::time_point{};
  connection_.renew(t0);
  const std::int64_t first = attachmentId();

  connection_.renew(t0 + minutes(59));
  EXPECT_EQ(attachmentId(), first) << "a link younger than an hour is kept";
  connection_.renew(t0 + minutes(60));
  const std::int64_t second = attachmentId();
  EXPECT_NE(second, first) << "an hour-old link is replaced";

  connection_.renew(t0 + minutes(61));
  EXPECT_EQ(attachmentId(), second) << "the new link counts its hour from its renewal";
  q.setSql("select x from no_such_table");
  EXPECT_THROW(q.open(), EDatabaseError);
  connection_.renew(t0 + minutes(62));
  const std::int64_t third = attachmentId();
  EXPECT_NE(third, second) << "a failed statement gets the next task a fresh link";
  connection_.renew(t0 + minutes(63));
  EXPECT_EQ(attachmentId(), third);

  connection_.close();
  connection_.renew(t0 + minutes(64));
  EXPECT_TRUE(connection_.connected());
  EXPECT_NE(attachmentId(), third);
}

// Ways a link breaks under a running service: the server goes away (restart), or the attachment
// is ended on the server. In each, the next statement reattaches and succeeds.
TEST_F(QueryTest, AStatementAfterTheLinkBrokeReconnectsAndSucceeds) {
  testing::LoopbackRelay relay(3050);
  struct Case {
    const char* name;
    std::function<void(Connection&)> configure;
    std::function<void(Connection&)> breakLink;
  };
  const Case cases[] = {
      {"server restarted",
       [&](Connection& c) {
         db().configure(c);
         c.params().setValue("Server", "127.0.0.1");
         c.params().setValue("Port", std::to_string(relay.port()));
       },
       [&](Connection&) { relay.cut(); }},
      {"attachment ended on the server", [&](Connection& c) { db().configure(c); },
       [&](Connection& c) {
         Query id(c);
         id.setSql("select current_connection as id from rdb$database");
         id.open();
         db().exec("delete from mon$attachments where mon$attachment_id = " + id.field("id").asString());
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (bool reconnect : {true, false}) {
      Connection connection;
      c.configure(connection);
      connection.options().autoReconnect = reconnect;
      Query q(connection);
      q.setSql("select count(*) as n from rdb$database where 1 = :one");
      q.setInteger("one", 1);
      q.open();
      c.breakLink(connection);
      if (reconnect) {
        ASSERT_NO_THROW(q.open());
        EXPECT_EQ(q.field("n").asInteger(), 1);
      } else {
        EXPECT_THROW(q.open(), EDatabaseError);
      }
    }
  }
}

}  // namespace
}  // namespace varenta
