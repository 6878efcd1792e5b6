#pragma once
// What the answers to the cloud's resend requests are handed. The sale resend needs the service's
// one generator (card digits the store did not record are drawn, as the new-sale export draws them);
// the poll also holds itself off when the cloud answers it with something that is not JSON, and
// remembers the requests it answered while it has not yet stored its mark.

#include <vector>

#include "base/not_before.h"
#include "closing/resend_list.h"
#include "sales/pseudo_random.h"
#include "tasks/task_context.h"

namespace varenta {

struct SaleResendContext {
  TaskContext task;
  PseudoRandom& random;
};

struct ResendPollContext {
  TaskContext task;
  PseudoRandom& random;
  // The poll's own hold in this process (the cycle passes the poll over while it is in force).
  NotBefore& hold;
  // The requests this process answered in full, every post judged, since the poll last stored its
  // mark: a list asked for again after a failure answers only the others. A restart forgets them,
  // and may answer them once more.
  std::vector<ResendRequest>& answered;

  SaleResendContext sales() const { return {task, random}; }
};

}  // namespace varenta
