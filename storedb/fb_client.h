#pragma once
// Where the Firebird client comes from. Linux links the client library; Windows loads the store's own
// fbclient.dll when the first connection needs it (fb_client_windows.cpp says from where), so that a
// machine without it still runs the service and says what is missing.

#include <firebird/Interface.h>

#include "base/error.h"

namespace varenta::fb {

// No usable Firebird client on this machine; the message names what was looked for and where. A
// database error like any other to the callers, whose usual failure path it takes.
class EClientMissing : public EDatabaseError {
 public:
  using EDatabaseError::EDatabaseError;
};

// The client's master interface, made ready for use; throws EClientMissing.
Firebird::IMaster* loadMasterInterface();

}  // namespace varenta::fb
