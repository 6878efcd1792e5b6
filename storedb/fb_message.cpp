#include "storedb/fb_message.h"

#include <chrono>
#include <cstring>
#include <string>

#include "base/error.h"
#include "base/text.h"

namespace varenta::fb {
namespace {

constexpr unsigned kCharsetNone = 0;
constexpr unsigned kCharsetOctets = 1;
constexpr unsigned kBlobText = 1;
constexpr std::size_t kLongestText = 32765;  // the most a VARCHAR parameter holds
constexpr std::int64_t kMillisPerDay = 86'400'000;
// The server counts dates from 17 Nov 1858, 15018 days before the zero date-time.
constexpr std::int64_t kServerDayOfZero = 15'018;

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

// The exact text of value × 10^scale (scale < 0): "1000000000000000.00".
std::string scaledText(std::int64_t value, int scale) {
  const auto magnitude =
      value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  std::string digits = std::to_string(magnitude);
  const auto decimals = static_cast<std::size_t>(-scale);
  if (digits.size() <= decimals) digits.insert(0, decimals + 1 - digits.size(), '0');
  digits.insert(digits.size() - decimals, ".");
  return value < 0 ? "-" + digits : digits;
}

// A scaled number beyond what Decimal holds (NUMERIC(15,2) takes 1000000000000000.00, and an
// amount of ten-thousandths stops at 922337203685477.5807) is kept as its exact text. Reading it as
// an amount then fails where the amount is read, inside the work of the one record that holds it,
// instead of failing the whole statement, and with it every task that runs it.
Field::Value numberValue(std::int64_t value, int scale) {
  if (scale == 0) return value;
  try {
    return Decimal::fromScaled(value, scale);
  } catch (const EOverflowError&) {
    return scaledText(value, scale);
  }
}

std::string readBlob(Firebird::IAttachment* attachment, Firebird::ITransaction* transaction, ISC_QUAD id) {
  Status status;
  Ref<Firebird::IBlob> blob(attachment->openBlob(&status, transaction, &id, 0, nullptr));
  std::string out;
  char chunk[16384];
  for (;;) {
    unsigned got = 0;
    const int result = blob->getSegment(&status, sizeof chunk, chunk, &got);
    if (result != Firebird::IStatus::RESULT_OK && result != Firebird::IStatus::RESULT_SEGMENT) break;
    out.append(chunk, got);
  }
  blob->close(&status);  // releases the interface on success
  blob.take();
  return out;
}

}  // namespace

InputMessage inputMessage(Firebird::IMessageMetadata* described,
                          const std::vector<const Query::Value*>& values, bool trimToLength) {
  InputMessage message;
  if (values.empty()) return message;
  Status status;
  std::vector<std::string> texts(values.size());
  Ref<Firebird::IMetadataBuilder> builder(described->getBuilder(&status));
  for (unsigned i = 0; i < values.size(); ++i) {
    const Query::Value& value = *values[i];
    if (std::holds_alternative<std::int64_t>(value) || std::holds_alternative<Decimal>(value)) {
      builder->setType(&status, i, SQL_INT64);
      builder->setLength(&status, i, sizeof(ISC_INT64));
      builder->setScale(&status, i, std::holds_alternative<Decimal>(value) ? -4 : 0);
    } else if (std::holds_alternative<DateTime>(value)) {
      builder->setType(&status, i, SQL_TYPE_DATE);
      builder->setLength(&status, i, sizeof(ISC_DATE));
      builder->setScale(&status, i, 0);
    } else if (const std::string* text = std::get_if<std::string>(&value)) {
      const unsigned type = described->getType(&status, i);
      const bool textColumn = type == SQL_TEXT || type == SQL_VARYING;
      texts[i] = utf8ToCp1252(*text);
      const unsigned room = described->getLength(&status, i);
      if (textColumn && trimToLength && texts[i].size() > room) texts[i].resize(room);
      if (texts[i].size() > kLongestText)
        throw EDatabaseError("A text parameter of " + std::to_string(texts[i].size()) + " bytes is too long");
      builder->setType(&status, i, SQL_VARYING);
      builder->setLength(&status, i, static_cast<unsigned>(texts[i].size()));
      builder->setScale(&status, i, 0);
      builder->setCharSet(&status, i, textColumn ? described->getCharSet(&status, i) : kCharsetNone);
    }
    // NULL keeps the described type and is sent by its indicator alone.
  }
  message.meta.reset(builder->getMetadata(&status));
  message.buffer.assign(message.meta->getMessageLength(&status), 0);
  for (unsigned i = 0; i < values.size(); ++i) {
    unsigned char* at = message.buffer.data() + message.meta->getOffset(&status, i);
    const Query::Value& value = *values[i];
    store<ISC_SHORT>(message.buffer.data() + message.meta->getNullOffset(&status, i),
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
  return message;
}

std::vector<Field> readRow(Firebird::IMessageMetadata* outputs, const unsigned char* buffer,
                           Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
                           bool trimOnRead) {
  Status status;
  const unsigned count = outputs->getCount(&status);
  std::vector<Field> row;
  row.reserve(count);
  for (unsigned i = 0; i < count; ++i) {
    const unsigned char* at = buffer + outputs->getOffset(&status, i);
    if (load<ISC_SHORT>(buffer + outputs->getNullOffset(&status, i)) != 0) {
      row.emplace_back();
      continue;
    }
    const int scale = outputs->getScale(&status, i);
    switch (const unsigned type = outputs->getType(&status, i)) {
      case SQL_TEXT:
        row.emplace_back(textValue({reinterpret_cast<const char*>(at), outputs->getLength(&status, i)},
                                   outputs->getCharSet(&status, i), trimOnRead));
        break;
      case SQL_VARYING:
        row.emplace_back(
            textValue({reinterpret_cast<const char*>(at) + sizeof(ISC_USHORT), load<ISC_USHORT>(at)},
                      outputs->getCharSet(&status, i), trimOnRead));
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
        row.emplace_back(Field::Moment{
            fromServerDate(ts.timestamp_date) + (fromServerTime(ts.timestamp_time) - DateTime()),
            Field::DateKind::Timestamp});
        break;
      }
      case SQL_BOOLEAN:
        row.emplace_back(load<FB_BOOLEAN>(at) != 0);
        break;
      case SQL_BLOB: {
        std::string bytes = readBlob(attachment, transaction, load<ISC_QUAD>(at));
        const bool text = outputs->getSubType(&status, i) == kBlobText;
        row.emplace_back(text ? textValue(bytes, outputs->getCharSet(&status, i), trimOnRead)
                              : std::move(bytes));
        break;
      }
      default:
        throw EDatabaseError("Column " + std::string(outputs->getAlias(&status, i)) +
                             " has a type this program cannot read (" + std::to_string(type) + ")");
    }
  }
  return row;
}

}  // namespace varenta::fb
