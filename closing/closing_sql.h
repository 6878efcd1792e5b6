#pragma once
// The statements of the daily closing and of its resend. Their text is kept as the store system
// wrote it, with one change: a register is compared as COALESCE(V.TERMINAL, 1). The live totals
// count a line without a terminal under register 1, so its cancellations belong to register 1
// too; comparing the bare column left them out of every register's record (and a resend of
// register 1 found none of those sales) while the store-wide record counted them.

#include <string>
#include <string_view>

namespace varenta {

// The lines a day's closing totals as sold: live lines of a finished day, pseudo-lines left out. A
// day without one is closed without a post, and whoever tells an operator which days are still to
// close counts such days with the same text.
inline constexpr std::string_view kClosingLiveLines =
    "V.CANCELAMENTO IS NULL AND V.CODIGOPRODUTO NOT IN "
    "('XXDESCONTOXX','XXACRESCIMOXX','XXENTREGAXX','RECARGACELULAR') AND V.DATA < CURRENT_DATE";

// The live totals of every register on :VARENTA_ULTCAIXA, one row per register.
inline const std::string kClosingLiveTotals =
    std::string(
        "SELECT V.DATA, SUM(IIF(V.PRECOTOTAL = 0.00, V.PRECOAUTOMATICO, V.PRECOTOTAL)) AS VALOR, "
        "COUNT(DISTINCT(V.VENDA)) AS QUANTIDADE, COALESCE(V.TERMINAL, 1) AS TERMINAL FROM VENDAS V "
        "WHERE ")
        .append(kClosingLiveLines) +
    " AND V.DATA = :VARENTA_ULTCAIXA GROUP BY 1, 4";

// The cancelled lines of register :TERMINAL on :VARENTA_ULTCAIXA whose sales keep a live line.
inline constexpr const char* kClosingPartialCancellations =
    "SELECT V.DATA, SUM(IIF(V.PRECOTOTAL = 0.00, V.PRECOAUTOMATICO, V.PRECOTOTAL)) AS VALOR, "
    "COUNT(DISTINCT(V.VENDA)) AS QUANTIDADE FROM VENDAS V WHERE V.CANCELAMENTO IS NOT NULL AND "
    "V.CODIGOPRODUTO NOT IN ('XXDESCONTOXX','XXACRESCIMOXX','XXENTREGAXX','RECARGACELULAR') AND "
    "V.DATA < CURRENT_DATE AND V.DATA = :VARENTA_ULTCAIXA AND COALESCE(V.TERMINAL, 1) = "
    ":TERMINAL AND EXISTS ( SELECT 1 FROM VENDAS X WHERE X.VENDA = V.VENDA AND X.CANCELAMENTO IS "
    "NULL) GROUP BY 1 ";

// The lines and number of the sales of register :TERMINAL on :VARENTA_ULTCAIXA cancelled whole.
inline constexpr const char* kClosingWholeCancellations =
    "SELECT V.DATA, SUM(IIF(V.PRECOTOTAL = 0.00, V.PRECOAUTOMATICO, V.PRECOTOTAL)) AS VALOR, "
    "COUNT(DISTINCT(V.VENDA)) AS QUANTIDADE FROM VENDAS V WHERE V.CANCELAMENTO IS NOT NULL AND "
    "V.CODIGOPRODUTO NOT IN ('XXDESCONTOXX','XXACRESCIMOXX','XXENTREGAXX','RECARGACELULAR') AND "
    "V.DATA < CURRENT_DATE AND V.DATA = :VARENTA_ULTCAIXA AND COALESCE(V.TERMINAL, 1) = "
    ":TERMINAL AND NOT EXISTS ( SELECT 1 FROM VENDAS X WHERE X.VENDA = V.VENDA AND "
    "X.CANCELAMENTO IS NULL) GROUP BY 1";

// The cancelled lines and number of the partly cancelled sales of the whole store on :DATACAIXA.
inline constexpr const char* kStoreWidePartialCancellations =
    "SELECT V.DATA, SUM(IIF(V.PRECOTOTAL = 0.00, V.PRECOAUTOMATICO, V.PRECOTOTAL)) AS VALOR, "
    "COUNT(DISTINCT(V.VENDA)) AS QUANTIDADE FROM VENDAS V WHERE V.CANCELAMENTO IS NOT NULL AND "
    "V.CODIGOPRODUTO NOT IN ('XXDESCONTOXX','XXACRESCIMOXX','XXENTREGAXX','RECARGACELULAR') AND "
    "V.DATA < CURRENT_DATE AND V.DATA = :DATACAIXA AND EXISTS ( SELECT 1 FROM VENDAS X WHERE "
    "X.VENDA = V.VENDA AND X.CANCELAMENTO IS NULL) GROUP BY 1";

// The database's own today, which the statements above compare with.
inline constexpr const char* kDatabaseToday = "select current_date as hoje from rdb$database";

// Stores the next day to close.
inline constexpr const char* kClosingMarkUpdate =
    "update padrao set varenta_ultcaixa = :varenta_ultcaixa where codigo is not null and "
    "coalesce(cgc, '') <> ''";

// The live totals of register :TERMINAL (bound as text) on :DATACAIXA.
inline constexpr const char* kResendLiveTotals =
    "SELECT V.DATA,SUM(IIF(V.PRECOTOTAL = 0.00, V.PRECOAUTOMATICO, V.PRECOTOTAL)) AS VALOR, "
    "COUNT(DISTINCT(V.VENDA)) AS QUANTIDADE, COALESCE(V.TERMINAL, 1) AS TERMINAL FROM VENDAS V "
    "WHERE V.CANCELAMENTO IS NULL AND V.CODIGOPRODUTO NOT IN "
    "('XXDESCONTOXX','XXACRESCIMOXX','XXENTREGAXX','RECARGACELULAR') AND V.DATA < CURRENT_DATE "
    "AND V.DATA = :DATACAIXA AND COALESCE(V.TERMINAL, 1) = :TERMINAL GROUP BY 1, 4";

// As kClosingPartialCancellations, for :DATACAIXA.
inline constexpr const char* kResendPartialCancellations =
    "SELECT V.DATA,     SUM(IIF(V.PRECOTOTAL = 0.00, V.PRECOAUTOMATICO, V.PRECOTOTAL)) AS VALOR, "
    "    COUNT(DISTINCT(V.VENDA)) AS QUANTIDADE     FROM VENDAS V     WHERE V.CANCELAMENTO IS "
    "NOT NULL     AND V.CODIGOPRODUTO NOT IN "
    "('XXDESCONTOXX','XXACRESCIMOXX','XXENTREGAXX','RECARGACELULAR')     AND V.DATA < "
    "CURRENT_DATE     AND V.DATA = :DATACAIXA     AND COALESCE(V.TERMINAL, 1) = :TERMINAL     "
    "AND EXISTS (     SELECT 1     FROM VENDAS X     WHERE X.VENDA = V.VENDA     AND "
    "X.CANCELAMENTO IS NULL)     GROUP BY 1";

// As kClosingWholeCancellations, for :DATACAIXA.
inline constexpr const char* kResendWholeCancellations =
    "SELECT V.DATA, SUM(IIF(V.PRECOTOTAL = 0.00, V.PRECOAUTOMATICO, V.PRECOTOTAL)) AS VALOR, "
    "COUNT(DISTINCT(V.VENDA)) AS QUANTIDADE FROM VENDAS V WHERE V.CANCELAMENTO IS NOT NULL AND "
    "V.CODIGOPRODUTO NOT IN ('XXDESCONTOXX','XXACRESCIMOXX','XXENTREGAXX','RECARGACELULAR') AND "
    "V.DATA < CURRENT_DATE AND V.DATA = :DATACAIXA AND COALESCE(V.TERMINAL, 1) = :TERMINAL AND "
    "NOT EXISTS ( SELECT 1 FROM VENDAS X WHERE X.VENDA = V.VENDA AND X.CANCELAMENTO IS NULL) "
    "GROUP BY 1";

}  // namespace varenta
