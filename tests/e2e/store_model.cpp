#include "tests/e2e/store_model.h"

#include <algorithm>

namespace varenta::e2e {

bool Sale::hasArticles() const {
  return std::any_of(lines.begin(), lines.end(),
                     [](const SaleLine& l) { return l.kind == LineKind::Article; });
}

int Sale::firstCancellationCode() const {
  int first = 0;
  for (const SaleLine& l : lines)
    if (l.codigocancelamento && (first == 0 || *l.codigocancelamento < first)) first = *l.codigocancelamento;
  return first;
}

int Sale::lastCancellationCode() const {
  int last = 0;
  for (const SaleLine& l : lines)
    if (l.codigocancelamento) last = std::max(last, *l.codigocancelamento);
  return last;
}

std::optional<DateTime> Sale::cancelledAt() const {
  for (const SaleLine& l : lines)
    if (l.cancelamento) return l.cancelamento;
  return std::nullopt;
}

DateTime Store::effectiveStart() const {
  const DateTime limit = today.addMonths(-2);
  return settings.dataInicio < limit ? limit : settings.dataInicio;
}

const Product* Store::product(const std::string& code) const {
  for (const Product& p : products)
    if (p.code == code) return &p;
  return nullptr;
}

const Customer* Store::customer(int codigo) const {
  for (const Customer& c : customers)
    if (c.codigo == codigo) return &c;
  return nullptr;
}

}  // namespace varenta::e2e
