#include "storedb/fb_api.h"

#include <iberror.h>

#include <string>

#include "base/error.h"
#include "base/text.h"
#include "storedb/fb_client.h"

namespace varenta::fb {

Firebird::IMaster* master() {
  // A client that could not be loaded is looked for again at the next call.
  static Firebird::IMaster* const instance = loadMasterInterface();
  return instance;
}

std::string describe(const Firebird::FbException& error) {
  char text[2048];
  master()->getUtilInterface()->formatStatus(text, sizeof text, error.getStatus());
  // The server writes what it was given into its texts: a database path as this host names its
  // files, in UTF-8 (see loadMasterInterface()), a value of the store database in Windows-1252. Text with
  // accents in Windows-1252 is practically never valid UTF-8, so text that is valid UTF-8 is taken as such.
  std::string message = isValidUtf8(text) ? std::string(text) : cp1252ToUtf8(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) message.pop_back();
  return message;
}

namespace {

// Whether any of the error codes of `error` is one that `matches` picks.
template <class Matches>
bool anyCode(const Firebird::FbException& error, Matches matches) {
  const ISC_STATUS* v = error.getStatus()->getErrors();
  // The vector is a list of (kind, value) entries, three words long for a counted string; error
  // codes follow isc_arg_gds.
  for (; v[0] != isc_arg_end; v += v[0] == isc_arg_cstring ? 3 : 2)
    if (v[0] == isc_arg_gds && matches(v[1])) return true;
  return false;
}

// The codes of a value the database cannot take or give: the rows that hold it fail every time.
bool valueFault(const Firebird::FbException& error) {
  return anyCode(error, [](ISC_STATUS code) {
    switch (code) {
      case isc_arith_except:  // an overflow, a division by zero, a string too long for its target
      case isc_convert_error:
      case isc_string_truncation:
      case isc_numeric_out_of_range:
      case isc_malformed_string:
      case isc_transliteration_failed:
      case isc_date_range_exceeded:
        return true;
      default:
        return false;
    }
  });
}

}  // namespace

void raise(const Firebird::FbException& error) {
  throw EDatabaseError(describe(error), valueFault(error));
}

bool linkBroken(const Firebird::FbException& error) {
  return anyCode(error, [](ISC_STATUS code) {
    switch (code) {
      case isc_network_error:
      case isc_net_read_err:
      case isc_net_write_err:
      case isc_lost_db_connection:
      case isc_conn_lost:
      case isc_shutdown:
      case isc_att_shutdown:
        return true;
      default:
        return false;
    }
  });
}

}  // namespace varenta::fb

#if defined(__SANITIZE_ADDRESS__)
// The client library keeps allocations for the life of the process (its character conversions and
// authentication state) and never frees them; the leak checker is told they are not ours.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfbclient.so\nleak:libtommath.so\n";
}
// Nor is the list of suppressions used printed: a program's standard error stays its own.
extern "C" const char* __lsan_default_options() {
  return "print_suppressions=0";
}
#endif
