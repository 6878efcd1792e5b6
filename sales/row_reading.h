#pragma once
// How the sale exports read the rows of their statements into the builder's plain values, column by
// column name. A column that is NULL reads as an empty text or 0; past the last row every column
// is NULL, so a payment statement without a row gives a payment row of empty texts and zeros.

#include <cstdint>
#include <vector>

#include "sales/movement_rows.h"
#include "storedb/query.h"

namespace varenta {

// Sets the statement text and binds the sale number to :venda; answers the query.
Query& forSale(Query& query, const char* sql, std::int64_t venda);

// Runs a statement whose first row holds an amount; 0 when it gives no row.
Decimal firstAmount(Query& query, const char* column);

// The current row of a line statement.
SaleLine readSaleLine(const Query& query);

// Of the current row of a line statement, only what the movement number is made of (venda,
// numeroserie, numerocoo): it reads even when the row's amounts cannot be read.
SaleLine readSaleNumbering(const Query& query);

// The current row of a payment statement.
PaymentRow readPaymentRow(const Query& query);

// Every row of the card statement.
std::vector<CardRow> readCardRows(Query& query);

}  // namespace varenta
