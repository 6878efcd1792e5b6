#include "storedb/query.h"

#include <chrono>
#include <cstring>

#include "base/error.h"
#include "base/text.h"
#include "storedb/connection.h"
#include "storedb/fb_api.h"
#include "storedb/sql_text.h"

namespace varenta {
namespace {

using Firebird::IMessageMetadata;
using Firebird::ITransaction;

constexpr unsigned kCharsetNone = 0;
constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kBlobText = 1;
constexpr std::int64_t kMillisPerDay = 86'400'000;
// The server counts dates from 17 Nov 1858, 15018 days before the zero date-time.
constexpr std::int64_t kServerDayOfZero = 15'018;
// Seconds a statement waits for a row another transaction holds before it fails.
constexpr int kLockTimeoutSeconds = 10;

// One short transaction per statement: read committed (sees what was committed before it), waiting
// a bounded time for locks.
const std::vector<unsigned char>& transactionParams() {
  static const std::vector<unsigned char> tpb = [] {
    fb::Status status;
    Firebird::IXpbBuilder* b =
        fb::master()->getUtilInterface()->getXpbBuilder(&status, Firebird::IXpbBuilder::TPB, nullptr, 0);
    b->insertTag(&status, isc_tpb_write);
    b->insertTag(&status, isc_tpb_read_committed);
    b->insertTag(&status, isc_tpb_rec_version);
    b->insertTag(&status, isc_tpb_wait);
    b->insertInt(&status, isc_tpb_lock_timeout, kLockTimeoutSeconds);
    const unsigned char* bytes = b->getBuffer(&status);
    std::vector<unsigned char> out(bytes, bytes + b->getBufferLength(&status));
    b->dispose();
    return out;
  }();
  return tpb;
}

DateTime fromServerDate(ISC_DATE date) {
  return DateTime::fromMillis((static_cast<std::int64_t>(date) - kServerDayOfZero) * kMillisPerDay);
}

DateTime fromServerTime(ISC_TIME time) {  // the time is counted in 1/10000 s
  return DateTime::fromMillis(static_cast<std::int64_t>(time) / 10);
}

ISC_DATE toServerDate(DateTime value) {
  const auto zero = std::chrono::sys_days(std::chrono::year(1899) / std::chrono::December / 30);
  return static_cast<ISC_DATE>((value.days() - zero).count() + kServerDayOfZero);
}

std::string textValue(std::string_view bytes, unsigned charset, bool trim) {
  if (charset == kCharsetOctets) return std::string(bytes);
  if (trim) {
    while (!bytes.empty() && bytes.back() == ' ') bytes.remove_suffix(1);
  }
  return cp1252ToUtf8(bytes);
}

template <class T>
T load(const unsigned char* at) {
  T value;
  std::memcpy(&value, at, sizeof value);
  return value;
}

template <class T>
void store(unsigned char* at, T value) {
  std::memcpy(at, &value, sizeof value);
}

Field::Value numberValue(std::int64_t value, int scale) {
  if (scale == 0) return value;
  return Decimal::fromScaled(value, scale);
}

std::string readBlob(Firebird::IAttachment* attachment, ITransaction* transaction, ISC_QUAD id) {
  fb::Status status;
  fb::Ref<Firebird::IBlob> blob(attachment->openBlob(&status, transaction, &id, 0, nullptr));
  std::string out;
  char chunk[16384];
  for (;;) {
    unsigned got = 0;
    const int result = blob->getSegment(&status, sizeof chunk, chunk, &got);
    if (result != Firebird::IStatus::RESULT_OK && result != Firebird::IStatus::RESULT_SEGMENT) break;
    out.append(chunk, got);
  }
  blob->close(&status);
  blob.take();
  return out;
}

}  // namespace

Query::Query(Connection& connection) : connection_(connection) {}

Query::~Query() {
  releaseStatement();
}

void Query::releaseStatement() {
  if (outputs_) outputs_->release();
  if (inputs_) inputs_->release();
  if (statement_) statement_->release();
  outputs_ = inputs_ = nullptr;
  statement_ = nullptr;
}

void Query::setSql(std::string_view sql) {
  releaseStatement();
  close();
  sql_ = std::string(sql);
  PositionalSql positional = toPositional(sql);
  positional_ = std::move(positional.text);
  params_.clear();
  slots_.clear();
  for (const std::string& name : positional.names) {
    std::size_t i = 0;
    while (i < params_.size() && !asciiIEquals(params_[i].name, name)) ++i;
    if (i == params_.size()) params_.push_back({name, {}});
    slots_.push_back(i);
  }
}

void Query::bind(std::string_view name, Value value) {
  bool found = false;
  for (Param& p : params_) {
    if (asciiIEquals(p.name, name)) {
      p.value = value;
      found = true;
    }
  }
  if (!found) throw EDatabaseError("Parameter '" + std::string(name) + "' not found");
}

void Query::setInteger(std::string_view name, std::int64_t value) {
  bind(name, value);
}
void Query::setDecimal(std::string_view name, Decimal value) {
  bind(name, value);
}
void Query::setDate(std::string_view name, DateTime value) {
  bind(name, value.date());
}
void Query::setNull(std::string_view name) {
  bind(name, std::monostate());
}

void Query::setString(std::string_view name, std::string_view utf8) {
  if (utf8.empty() && connection_.options().emptyStringsAsNull) {
    bind(name, std::monostate());
  } else {
    bind(name, std::string(utf8));
  }
}

void Query::open() {
  run();
}

std::uint64_t Query::execute() {
  run();
  return rowsAffected_;
}

void Query::close() {
  rows_.clear();
  columns_.clear();
  row_ = 0;
  rowsAffected_ = 0;
}

const Field& Query::field(std::string_view name) const {
  static const Field null;
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    if (asciiIEquals(columns_[i], name)) return eof() ? null : rows_[row_][i];
  }
  throw EDatabaseError("Field '" + std::string(name) + "' not found");
}

void Query::run() {
  if (positional_.empty()) throw EDatabaseError("The statement has no SQL text");
  for (bool retried = false;; retried = true) {
    close();
    bool committing = false;
    try {
      runOnce(committing);
      return;
    } catch (const Firebird::FbException& e) {
      close();
      // Once the commit is on its way the statement may have taken effect: running it again could
      // apply it twice, so only a statement that surely did not commit is tried on a new link.
      if (retried || committing || !connection_.options().autoReconnect || !fb::linkBroken(e)) fb::raise(e);
      connection_.close();
    } catch (...) {
      close();
      throw;
    }
  }
}

void Query::runOnce(bool& committing) {
  Firebird::IAttachment* attachment = connection_.attachment();
  if (statement_ && preparedOn_ != connection_.generation()) releaseStatement();
  fb::Status status;
  const std::vector<unsigned char>& tpb = transactionParams();
  fb::Ref<ITransaction> transaction(
      attachment->startTransaction(&status, static_cast<unsigned>(tpb.size()), tpb.data()));
  struct RollbackUnlessCommitted {
    fb::Ref<ITransaction>& transaction;
    ~RollbackUnlessCommitted() {
      if (!transaction) return;
      try {
        fb::Status status;
        transaction->rollback(&status);  // releases the interface on success
        transaction.take();
      } catch (const Firebird::FbException&) {
        // A broken link has lost the transaction with it; the reference is still released.
      }
    }
  } rollback{transaction};

  if (!statement_) {
    statement_ = attachment->prepare(&status, transaction.get(), 0, utf8ToCp1252(positional_).c_str(),
                                     connection_.dialect(), Firebird::IStatement::PREPARE_PREFETCH_METADATA);
    preparedOn_ = connection_.generation();
    inputs_ = statement_->getInputMetadata(&status);
    outputs_ = statement_->getOutputMetadata(&status);
  }
  if (inputs_->getCount(&status) != slots_.size())
    throw EDatabaseError("The statement's parameters do not match its named parameters");

  // Input message: each parameter is sent in the kind it was bound with and the server converts it
  // to the column's type; text is cut to the column's length first when the options say so.
  const unsigned inCount = inputs_->getCount(&status);
  fb::Ref<IMessageMetadata> inMeta;
  std::vector<unsigned char> inBuffer;
  std::vector<std::string> texts(inCount);
  if (inCount > 0) {
    fb::Ref<Firebird::IMetadataBuilder> builder(inputs_->getBuilder(&status));
    for (unsigned i = 0; i < inCount; ++i) {
      const Value& value = params_[slots_[i]].value;
      if (std::holds_alternative<std::int64_t>(value) || std::holds_alternative<Decimal>(value)) {
        builder->setType(&status, i, SQL_INT64);
        builder->setLength(&status, i, sizeof(ISC_INT64));
        builder->setScale(&status, i, std::holds_alternative<Decimal>(value) ? -4 : 0);
      } else if (std::holds_alternative<DateTime>(value)) {
        builder->setType(&status, i, SQL_TYPE_DATE);
        builder->setLength(&status, i, sizeof(ISC_DATE));
        builder->setScale(&status, i, 0);
      } else if (const std::string* text = std::get_if<std::string>(&value)) {
        const unsigned type = inputs_->getType(&status, i);
        const bool textColumn = type == SQL_TEXT || type == SQL_VARYING;
        texts[i] = utf8ToCp1252(*text);
        const unsigned room = inputs_->getLength(&status, i);
        if (textColumn && connection_.options().trimToLength && texts[i].size() > room) texts[i].resize(room);
        builder->setType(&status, i, SQL_VARYING);
        builder->setLength(&status, i, static_cast<unsigned>(texts[i].size()));
        builder->setScale(&status, i, 0);
        builder->setCharSet(&status, i, textColumn ? inputs_->getCharSet(&status, i) : kCharsetNone);
      }
    }
    inMeta.reset(builder->getMetadata(&status));
    inBuffer.assign(inMeta->getMessageLength(&status), 0);
    for (unsigned i = 0; i < inCount; ++i) {
      unsigned char* at = inBuffer.data() + inMeta->getOffset(&status, i);
      const Value& value = params_[slots_[i]].value;
      store<ISC_SHORT>(inBuffer.data() + inMeta->getNullOffset(&status, i),
                       std::holds_alternative<std::monostate>(value) ? -1 : 0);
      if (const auto* n = std::get_if<std::int64_t>(&value)) {
        store<ISC_INT64>(at, *n);
      } else if (const auto* d = std::get_if<Decimal>(&value)) {
        store<ISC_INT64>(at, d->units());
      } else if (const auto* t = std::get_if<DateTime>(&value)) {
        store<ISC_DATE>(at, toServerDate(*t));
      } else if (std::holds_alternative<std::string>(value)) {
        store<ISC_USHORT>(at, static_cast<ISC_USHORT>(texts[i].size()));
        std::memcpy(at + sizeof(ISC_USHORT), texts[i].data(), texts[i].size());
      }
    }
  }

  const unsigned outCount = outputs_->getCount(&status);
  columns_.clear();
  for (unsigned i = 0; i < outCount; ++i) columns_.emplace_back(outputs_->getAlias(&status, i));
  std::vector<unsigned char> outBuffer(outputs_->getMessageLength(&status));
  const bool trim = connection_.options().trimOnRead;
  const auto readRow = [&] {
    std::vector<Field> row;
    row.reserve(outCount);
    for (unsigned i = 0; i < outCount; ++i) {
      const unsigned char* at = outBuffer.data() + outputs_->getOffset(&status, i);
      if (load<ISC_SHORT>(outBuffer.data() + outputs_->getNullOffset(&status, i)) != 0) {
        row.emplace_back();
        continue;
      }
      const int scale = outputs_->getScale(&status, i);
      switch (const unsigned type = outputs_->getType(&status, i)) {
        case SQL_TEXT:
          row.emplace_back(textValue({reinterpret_cast<const char*>(at), outputs_->getLength(&status, i)},
                                     outputs_->getCharSet(&status, i), trim));
          break;
        case SQL_VARYING:
          row.emplace_back(textValue({reinterpret_cast<const char*>(at) + 2, load<ISC_USHORT>(at)},
                                     outputs_->getCharSet(&status, i), trim));
          break;
        case SQL_SHORT:
          row.emplace_back(numberValue(load<ISC_SHORT>(at), scale));
          break;
        case SQL_LONG:
          row.emplace_back(numberValue(load<ISC_LONG>(at), scale));
          break;
        case SQL_INT64:
          row.emplace_back(numberValue(load<ISC_INT64>(at), scale));
          break;
        case SQL_FLOAT:
          row.emplace_back(static_cast<double>(load<float>(at)));
          break;
        case SQL_DOUBLE:
        case SQL_D_FLOAT:
          row.emplace_back(load<double>(at));
          break;
        case SQL_TYPE_DATE:
          row.emplace_back(Field::Moment{fromServerDate(load<ISC_DATE>(at)), Field::DateKind::Date});
          break;
        case SQL_TYPE_TIME:
          row.emplace_back(Field::Moment{fromServerTime(load<ISC_TIME>(at)), Field::DateKind::Time});
          break;
        case SQL_TIMESTAMP: {
          const auto ts = load<ISC_TIMESTAMP>(at);
          const DateTime day = fromServerDate(ts.timestamp_date);
          row.emplace_back(Field::Moment{day + (fromServerTime(ts.timestamp_time) - DateTime()),
                                         Field::DateKind::Timestamp});
          break;
        }
        case SQL_BOOLEAN:
          row.emplace_back(load<FB_BOOLEAN>(at) != 0);
          break;
        case SQL_BLOB: {
          std::string bytes = readBlob(attachment, transaction.get(), load<ISC_QUAD>(at));
          const bool text = outputs_->getSubType(&status, i) == kBlobText;
          row.emplace_back(text ? textValue(bytes, outputs_->getCharSet(&status, i), trim)
                                : std::move(bytes));
          break;
        }
        default:
          throw EDatabaseError("Column " + columns_[i] + " has a type this program cannot read (" +
                               std::to_string(type) + ")");
      }
    }
    rows_.push_back(std::move(row));
  };

  const unsigned kind = statement_->getType(&status);
  if (kind == isc_info_sql_stmt_select || kind == isc_info_sql_stmt_select_for_upd) {
    fb::Ref<Firebird::IResultSet> cursor(
        statement_->openCursor(&status, transaction.get(), inMeta.get(), inBuffer.data(), outputs_, 0));
    while (cursor->fetchNext(&status, outBuffer.data()) == Firebird::IStatus::RESULT_OK) readRow();
    cursor->close(&status);
    cursor.take();
    rowsAffected_ = 0;
  } else {
    statement_->execute(&status, transaction.get(), inMeta.get(), inBuffer.data(), outputs_,
                        outCount > 0 ? outBuffer.data() : nullptr);
    if (outCount > 0) readRow();
    rowsAffected_ = statement_->getAffectedRecords(&status);
  }
  committing = true;
  transaction->commit(&status);
  transaction.take();
}

}  // namespace varenta
