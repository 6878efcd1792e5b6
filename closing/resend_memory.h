#pragma once
// What the resend poll answered in this process since it last stored its mark: the requests it
// answered in full and, within a day's movement request, each sale the cloud judged. A list asked
// for again after a failure answers only what was not judged yet. A restart forgets it all, and may
// answer everything once more; so does the next day's poll, once the mark is stored.
//
// What an ask answers counts only from the next ask on: a request (or a sale) the list itself
// repeats is answered as often as it stands there.

#include <cstdint>
#include <set>
#include <vector>

#include "closing/resend_list.h"

namespace varenta {

class ResendMemory {
 public:
  bool answeredEarlier(const ResendRequest& request) const;
  bool sentEarlier(std::int64_t venda) const { return sales_.contains(venda); }

  void answered(const ResendRequest& request) { askRequests_.push_back(request); }
  void sent(std::int64_t venda) { askSales_.insert(venda); }

  // The ask is over, however it ended: what it answered counts from the next one on.
  void endAsk();
  // The poll stored its mark: the next lists are new ones.
  void forget();

 private:
  std::vector<ResendRequest> requests_;
  std::set<std::int64_t> sales_;
  std::vector<ResendRequest> askRequests_;
  std::set<std::int64_t> askSales_;
};

}  // namespace varenta
