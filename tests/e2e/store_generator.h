#pragma once
// The store generator: a week of a pharmacy's sales over three registers, made up deterministically
// from a seed, written into a store database, and the cloud's side of the same store (promotion
// lists and resend requests) written as the stand-in's data files.
//
// The sales cover every way the store records a sale: cash with change, credit and debit cards
// (one or two), PIX, cheque, exchange voucher with cash, e-commerce with a delivery fee, a sale on
// account, an extra discount, a surcharge, a phone top-up, a sale without a fiscal receipt, a card
// without an authorisation and a free sample; some are cancelled whole or in part, on the day
// (with and without a time of day) or the day after. One register has no number (NULL terminal).
// Every kind occurs at least once when there are enough sales; the rest are drawn by weight.

#include <cstdint>
#include <filesystem>
#include <string>

#include "storedb/connection.h"
#include "tests/e2e/store_model.h"

namespace varenta::e2e {

struct StoreRecipe {
  std::uint64_t seed = 20240305;
  int sales = 200;         // live and cancelled, over the past days and today
  DateTime today;          // the database's CURRENT_DATE (the machine's local date)
  std::string standInUrl;  // written as varenta_url1, without a trailing "/"
  int days = 7;            // sales on each of the `days` days before today, and on today
  int emptyDayBack = 4;    // that past day has no sale at all (0: every day has sales)
  int startDaysBack = 7;   // varenta_datainicio = today minus this many days
  int oldSales = 0;        // sales dated long before the start date, never to be sent
  int oldSalesDaysBack = 70;
};

Store generateStore(const StoreRecipe& recipe);

// Writes the store's rows into an empty store database (made from storedb/schema.sql) and fills
// in each product's article code as the database computes it. Throws EDatabaseError.
void writeStore(Connection& connection, Store& store);

// Fills in the article codes only, for a store whose rows are already in `connection`'s database.
void readArticleCodes(Connection& connection, Store& store);

}  // namespace varenta::e2e
