#pragma once
// The registry step of the firewall (host/firewall.h), with the root of its keys open to tests.

#include <string>

#include "base/win32.h"

namespace varenta {

// The three lists of authorised applications, each under `root`, written in this order.
extern const wchar_t* const kAuthorizedApplicationLists[3];

// For each list in turn: opens the existing key (it is never created) and writes a string value
// named `Executavel` (a full path) that holds the same text. Throws EOSError naming the first key
// that cannot be opened or written; the keys before it keep their value.
void DesbloqueiaAppFirewall(const std::string& Executavel, HKEY root = HKEY_LOCAL_MACHINE);

}  // namespace varenta
