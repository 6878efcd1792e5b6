#pragma once
// Wine (tests of the Windows build): the Windows test programs run under wine on the Linux machine
// that builds them, and reach the Linux tools they need (the cloud stand-in, openssl) through it.
// Wine starts a Linux program named by its path as a plain Linux process, but gives no handle on it
// (nothing to wait for or to end) and does not pass it the standard handles it was given; these
// helpers work around both through files and sockets. wine.cpp also holds linux_shell.h's functions
// for the Windows tests.

#include <string>
#include <string_view>

#include "tests/support/linux_shell.h"

namespace varenta {

// True when the program runs under wine.
bool underWine();

// True when wine runs with `library` named in LD_PRELOAD (which wine also shows as an environment
// variable of the Windows program).
bool preloaded(std::string_view library);

// One argument of a command line, as CommandLineToArgvW (and wine, for a Linux program) splits it
// back.
std::wstring quotedArgument(const std::wstring& argument);

// Starts `script` with /bin/sh and returns at once.
void startLinuxShell(const std::string& script);

}  // namespace varenta
