#include "closing/resend_memory.h"

#include <algorithm>

namespace varenta {

bool ResendMemory::answeredEarlier(const ResendRequest& request) const {
  return std::ranges::find(requests_, request) != requests_.end();
}

void ResendMemory::endAsk() {
  requests_.insert(requests_.end(), askRequests_.begin(), askRequests_.end());
  sales_.merge(askSales_);
  askRequests_.clear();
  askSales_.clear();
}

void ResendMemory::forget() {
  *this = ResendMemory();
}

}  // namespace varenta
