#pragma once
// The system account the Debian package makes for the service. The package gives it the program's
// directory, where the service writes its log; the unit then runs the service as that account
// instead of root. A program installed by hand, without the package, has no such directory and
// runs as root, as it always did.

#include <sys/types.h>

#include <optional>
#include <string>

namespace varenta {

inline constexpr const char* kServiceAccountName = "srvvarenta";

struct ServiceAccount {
  std::string name;
  uid_t uid = 0;
  gid_t gid = 0;
};

// The account named `name` when it exists and may write in `directory`: the directory is its own
// and writable by its owner, or belongs to its group and is writable by the group.
std::optional<ServiceAccount> serviceAccountFor(const std::string& directory,
                                                const std::string& name = kServiceAccountName);

// Run as root, the program would create a missing log as root, and the service, running as the
// account, could no longer write it. This creates the missing log as the account's own (mode 0640,
// as the log makes it) before anything is logged; an existing file, or anything in its place, is
// left alone.
void createLogForAccount(const std::string& logPath, const ServiceAccount& account);

}  // namespace varenta
