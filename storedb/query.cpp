#include "storedb/query.h"

#include "base/error.h"
#include "base/text.h"
#include "storedb/connection.h"
#include "storedb/fb_api.h"
#include "storedb/fb_message.h"
#include "storedb/sql_text.h"

namespace varenta {
namespace {

using Firebird::ITransaction;

// Seconds a statement waits for a row another transaction holds before it fails.
constexpr int kLockTimeoutSeconds = 10;

// Preparing a statement costs the server about two runs of it; the tasks go back and forth
// between fewer texts than this.
constexpr std::size_t kParkedStatements = 8;

// One short transaction per statement: read committed (sees what was committed before it), waiting
// a bounded time for locks.
const std::vector<unsigned char>& transactionParams() {
  static const std::vector<unsigned char> tpb = [] {
    fb::Status status;
    fb::ParamBlock b(status, Firebird::IXpbBuilder::TPB);
    b->insertTag(&status, isc_tpb_write);
    b->insertTag(&status, isc_tpb_read_committed);
    b->insertTag(&status, isc_tpb_rec_version);
    b->insertTag(&status, isc_tpb_wait);
    b->insertInt(&status, isc_tpb_lock_timeout, kLockTimeoutSeconds);
    const unsigned char* bytes = b->getBuffer(&status);
    return std::vector<unsigned char>(bytes, bytes + b->getBufferLength(&status));
  }();
  return tpb;
}

}  // namespace

Query::Query(Connection& connection) : connection_(connection) {}

Query::~Query() {
  releaseStatement();
  for (Parked& parked : parked_) parked.release();
}

void Query::releaseStatement() {
  if (outputs_) outputs_->release();
  if (inputs_) inputs_->release();
  if (statement_) statement_->release();
  outputs_ = inputs_ = nullptr;
  statement_ = nullptr;
}

void Query::Parked::release() {
  if (outputs) outputs->release();
  if (inputs) inputs->release();
  statement->release();
}

// Moves the current statement to the front of the parked ones. One prepared on an attachment
// that is gone, or not fully described, is released instead, as is the oldest beyond
// kParkedStatements.
void Query::park() {
  if (!statement_) return;
  if (preparedOn_ != connection_.generation() || !inputs_ || !outputs_) return releaseStatement();
  parked_.insert(parked_.begin(), {positional_, statement_, inputs_, outputs_, preparedOn_});
  statement_ = nullptr;
  inputs_ = outputs_ = nullptr;
  if (parked_.size() > kParkedStatements) {
    parked_.back().release();
    parked_.pop_back();
  }
}

// Makes the statement parked for this text, if any, the current one.
void Query::unpark(const std::string& positional) {
  for (auto it = parked_.begin(); it != parked_.end(); ++it) {
    if (it->positional != positional) continue;
    statement_ = it->statement;
    inputs_ = it->inputs;
    outputs_ = it->outputs;
    preparedOn_ = it->preparedOn;
    parked_.erase(it);
    return;
  }
}

void Query::setSql(std::string_view sql) {
  close();
  sql_ = std::string(sql);
  PositionalSql positional = toPositional(sql);
  if (positional.text != positional_) {
    park();
    unpark(positional.text);
  }
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
      if (retried || committing || !connection_.options().autoReconnect || !fb::linkBroken(e)) {
        connection_.statementFailed();
        fb::raise(e);
      }
      connection_.close();
    } catch (...) {
      close();
      connection_.statementFailed();
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

  std::vector<const Value*> values;
  for (std::size_t slot : slots_) values.push_back(&params_[slot].value);
  fb::InputMessage input = fb::inputMessage(inputs_, values, connection_.options().trimToLength);

  const unsigned outCount = outputs_->getCount(&status);
  columns_.clear();
  for (unsigned i = 0; i < outCount; ++i) columns_.emplace_back(outputs_->getAlias(&status, i));
  std::vector<unsigned char> outBuffer(outputs_->getMessageLength(&status));
  const auto readRow = [&] {
    rows_.push_back(fb::readRow(outputs_, outBuffer.data(), attachment, transaction.get(),
                                connection_.options().trimOnRead));
  };

  const unsigned kind = statement_->getType(&status);
  if (kind == isc_info_sql_stmt_select || kind == isc_info_sql_stmt_select_for_upd) {
    fb::Ref<Firebird::IResultSet> cursor(statement_->openCursor(&status, transaction.get(), input.meta.get(),
                                                                input.buffer.data(), outputs_, 0));
    while (cursor->fetchNext(&status, outBuffer.data()) == Firebird::IStatus::RESULT_OK) readRow();
    cursor->close(&status);
    cursor.take();
    rowsAffected_ = 0;
  } else {
    statement_->execute(&status, transaction.get(), input.meta.get(), input.buffer.data(), outputs_,
                        outCount > 0 ? outBuffer.data() : nullptr);
    if (outCount > 0) readRow();
    rowsAffected_ = statement_->getAffectedRecords(&status);
  }
  committing = true;
  transaction->commit(&status);
  transaction.take();
}

}  // namespace varenta
