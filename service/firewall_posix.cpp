#include "service/firewall.h"

namespace varenta {

void openHostFirewall() {}

}  // namespace varenta
