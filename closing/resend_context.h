#pragma once
// What the answers to the cloud's resend requests are handed. The sale resend needs the service's
// one generator (card digits the store did not record are drawn, as the new-sale export draws them);
// the poll also holds itself off when the cloud answers it with something that is not JSON, and
// remembers what it answered while it has not yet stored its mark.

#include "base/not_before.h"
#include "closing/resend_memory.h"
#include "sales/pseudo_random.h"
#include "tasks/task_context.h"

namespace varenta {

struct SaleResendContext {
  TaskContext task;
  PseudoRandom& random;
  // The poll's memory, when the resend answers a request of its lists: a sale judged in an earlier
  // ask is not sent again, and one judged now is remembered.
  ResendMemory* memory = nullptr;
};

struct ResendPollContext {
  TaskContext task;
  PseudoRandom& random;
  // The poll's own hold in this process (the cycle passes the poll over while it is in force).
  NotBefore& hold;
  // What this process answered since the poll last stored its mark.
  ResendMemory& memory;

  SaleResendContext sales() const { return {task, random, &memory}; }
};

}  // namespace varenta
