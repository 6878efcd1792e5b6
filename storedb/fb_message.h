#pragma once
// The client's message buffers for one statement run: parameters go out in the kind they were
// bound with (the server converts them to the column's type), columns come back as Fields. Text is
// Windows-1252 on the server's side and UTF-8 on ours. Only storedb/ includes this header.

#include <vector>

#include "storedb/fb_api.h"
#include "storedb/field.h"
#include "storedb/query.h"

namespace varenta::fb {

struct InputMessage {
  Ref<Firebird::IMessageMetadata> meta;  // empty when the statement takes no parameters
  std::vector<unsigned char> buffer;
};

// values[i] is the value of the statement's i-th parameter, described as the server expects it.
// With trimToLength, text for a text column is cut to the column's length. Throws EDatabaseError
// for text no parameter can hold.
InputMessage inputMessage(Firebird::IMessageMetadata* described,
                          const std::vector<const Query::Value*>& values, bool trimToLength);

// One fetched row of the output message. With trimOnRead, trailing blanks of text are removed.
// Blobs are read within the row's transaction. Throws EDatabaseError for a column type the program
// cannot hold.
std::vector<Field> readRow(Firebird::IMessageMetadata* outputs, const unsigned char* buffer,
                           Firebird::IAttachment* attachment, Firebird::ITransaction* transaction,
                           bool trimOnRead);

}  // namespace varenta::fb
