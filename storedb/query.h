#pragma once
// Query: a statement handle on the store database. The SQL text is kept exactly as given, with
// named parameters (":name", never inside quotes) bound by kind. Running it starts a read-committed
// transaction, runs the statement, reads every row of its result into memory and commits, so a
// result can be read and walked after the run while nothing stays open on the server.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "base/datetime.h"
#include "base/decimal.h"
#include "storedb/field.h"

namespace Firebird {
class IStatement;
class IMessageMetadata;
}  // namespace Firebird

namespace varenta {

class Connection;

class Query {
 public:
  explicit Query(Connection& connection);
  ~Query();
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;

  // Replaces the statement text; parameters start unbound (NULL) and any result is dropped. The
  // handle keeps the statements of its last few texts prepared, so that a task going back and
  // forth between a few texts has each prepared once rather than on every run.
  void setSql(std::string_view sql);
  void clearSql() { setSql({}); }
  const std::string& sql() const { return sql_; }

  // Binding a name the text does not hold throws EDatabaseError. A name used twice binds both.
  void setInteger(std::string_view name, std::int64_t value);
  void setDecimal(std::string_view name, Decimal value);
  void setDate(std::string_view name, DateTime value);  // the day of the value
  void setString(std::string_view name, std::string_view utf8);
  void setNull(std::string_view name);

  // Runs the statement and keeps its rows, the first one current. Throws EDatabaseError.
  void open();
  // Runs the statement; answers the number of rows it inserted, changed or deleted.
  std::uint64_t execute();
  // Drops the result.
  void close();

  std::size_t recordCount() const { return rows_.size(); }
  bool eof() const { return row_ >= rows_.size(); }
  void next() {
    if (!eof()) ++row_;
  }
  // The named column of the current row (letter case ignored); NULL when there is no current row.
  // Throws EDatabaseError when the result has no such column.
  const Field& field(std::string_view name) const;

  // A bound value: NULL, integer, decimal, date or text.
  using Value = std::variant<std::monostate, std::int64_t, Decimal, DateTime, std::string>;

 private:
  struct Param {
    std::string name;
    Value value;
  };

  void bind(std::string_view name, Value value);
  void run();
  void runOnce(bool& committing);
  void releaseStatement();
  void park();
  void unpark(const std::string& positional);

  Connection& connection_;
  std::string sql_;
  std::string positional_;
  std::vector<Param> params_;
  std::vector<std::size_t> slots_;  // index in params_ of each "?" of positional_
  Firebird::IStatement* statement_ = nullptr;
  Firebird::IMessageMetadata* inputs_ = nullptr;
  Firebird::IMessageMetadata* outputs_ = nullptr;
  std::uint64_t preparedOn_ = 0;  // the connection's generation the statement was prepared on
  // Statements prepared for earlier texts, the most recently set first.
  struct Parked {
    std::string positional;
    Firebird::IStatement* statement;
    Firebird::IMessageMetadata* inputs;
    Firebird::IMessageMetadata* outputs;
    std::uint64_t preparedOn;
    void release();
  };
  std::vector<Parked> parked_;
  std::vector<std::string> columns_;
  std::vector<std::vector<Field>> rows_;
  std::size_t row_ = 0;
  std::uint64_t rowsAffected_ = 0;
};

}  // namespace varenta
