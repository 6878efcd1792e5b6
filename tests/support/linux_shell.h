#pragma once
// The Linux shell, for tests that need a Linux tool (openssl, the cloud stand-in): reached directly
// on Linux, and through wine by the Windows tests (wine.h), which see the Linux file system as drive
// Z:.

#include <chrono>
#include <filesystem>
#include <string>

namespace varenta {

// Runs `script` with /bin/sh and waits for it, at most `timeout`; its exit status. Throws
// std::runtime_error when it did not end in time.
int runLinuxShell(const std::string& script, std::chrono::seconds timeout = std::chrono::seconds(60));

// The path a Linux program knows `path` by; throws std::runtime_error when there is none.
std::string linuxPathOf(const std::filesystem::path& path);

// A text /bin/sh reads as one word: `text` in single quotes.
std::string shellQuoted(const std::string& text);

}  // namespace varenta
