#pragma once
// Which lines of `vendas` the sale exports take as waiting to be sent, as conditions on the alias
// `v`: the exports look for their next sale or cancellation with them, and whoever tells an
// operator what is waiting counts with the same text, so that both always agree.
//
// The pseudo-lines (extra discount, surcharge, delivery fee, phone top-up) never make a sale or a
// cancellation of their own, and nothing dated before the start date is sent.

#include <string_view>

namespace varenta {

// A line of a sale numbered above the sale mark :varenta_ultvenda, dated on or after :datainicio.
inline constexpr std::string_view kSaleWaiting =
    "v.venda > :varenta_ultvenda and   v.data  >= :datainicio and   v.codigoproduto not in "
    "('XXDESCONTOXX',  'XXACRESCIMOXX',  'XXENTREGAXX',  'RECARGACELULAR')";

// A line whose cancellation code is above the cancellation mark :varenta_ultcancelamento, dated on
// or after :datainicio.
inline constexpr std::string_view kCancellationWaiting =
    "v.codigocancelamento > :varenta_ultcancelamento and   v.data  >= :datainicio and   "
    "v.codigoproduto not in ('XXDESCONTOXX',  'XXACRESCIMOXX',  'XXENTREGAXX',  'RECARGACELULAR')";

}  // namespace varenta
