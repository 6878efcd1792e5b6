#include "host/service_account.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace varenta {

std::optional<ServiceAccount> serviceAccountFor(const std::string& directory, const std::string& name) {
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
    return std::nullopt;
  struct stat dir {};
  if (stat(directory.c_str(), &dir) != 0 || !S_ISDIR(dir.st_mode)) return std::nullopt;
  const bool asOwner = dir.st_uid == found->pw_uid && (dir.st_mode & S_IWUSR);
  const bool asGroup = dir.st_gid == found->pw_gid && (dir.st_mode & S_IWGRP);
  if (!asOwner && !asGroup) return std::nullopt;
  return ServiceAccount{name, found->pw_uid, found->pw_gid};
}

void createLogForAccount(const std::string& logPath, const ServiceAccount& account) {
  // O_EXCL and O_NOFOLLOW: only a file made by this call changes hands, never one the account (or
  // anyone else) put there, nor what a link there points to.
  const int fd = open(logPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0640);
  if (fd < 0) return;  // there already, or the log's own open reports why it cannot be written
  if (fchown(fd, account.uid, account.gid) != 0) {
    // Left as root's, the service could not write it; without it, the service creates its own.
    unlink(logPath.c_str());
  }
  close(fd);
}

}  // namespace varenta
