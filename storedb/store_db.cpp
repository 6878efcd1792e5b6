#include "storedb/store_db.h"

namespace varenta {

void StoreDb::create() {
  if (!connection) connection = std::make_unique<Connection>();
  for (std::unique_ptr<Query>* q : {&query1, &query2, &query3}) {
    if (!*q) *q = std::make_unique<Query>(*connection);
  }
}

void StoreDb::release() {
  query1.reset();
  query2.reset();
  query3.reset();
  connection.reset();
}

}  // namespace varenta
