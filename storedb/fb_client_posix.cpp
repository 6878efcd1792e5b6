#include <clocale>

#include "storedb/fb_client.h"

namespace varenta::fb {

Firebird::IMaster* loadMasterInterface() {
  // The client reads database paths in the C library's character set; this host names its files in
  // UTF-8, and under the default "C" locale any accented letter in a path is refused.
  setlocale(LC_CTYPE, "C.UTF-8");
  return Firebird::fb_get_master_interface();
}

}  // namespace varenta::fb
