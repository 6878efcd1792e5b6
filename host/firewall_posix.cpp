#include "host/firewall.h"

namespace varenta {

void openHostFirewall() {}

}  // namespace varenta
