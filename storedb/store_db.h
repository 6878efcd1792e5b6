#pragma once
// The process-wide database objects: the one connection and the three statement handles that the
// tasks share. Created by the first connection step, released only when the service stops.

#include <memory>

#include "storedb/connection.h"
#include "storedb/query.h"

namespace varenta {

struct StoreDb {
  std::unique_ptr<Connection> connection;  // declared first so the handles go before it
  std::unique_ptr<Query> query1;
  std::unique_ptr<Query> query2;
  std::unique_ptr<Query> query3;

  // Creates whichever object does not exist yet; the handles are on the connection from birth.
  // (The Firebird client library is linked to the program, so no driver object is needed.)
  void create();
  // Closes the connection and releases every object.
  void release();
};

}  // namespace varenta
