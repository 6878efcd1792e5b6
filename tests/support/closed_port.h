#pragma once

namespace varenta {

// A loopback port on which nothing listens: a connection to it is refused at once.
int closedPort();

}  // namespace varenta
