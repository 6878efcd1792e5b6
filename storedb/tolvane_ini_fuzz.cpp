// Any bytes read as Tolvane.ini: two values, never a crash; neither holds a control character; what other
// sections hold changes nothing; and the values, written back quoted, read back the same.

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>

#include "storedb/tolvane_ini.h"
#include "tests/support/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string programDir = "/opt/srvvarenta/";
  const std::string text(reinterpret_cast<const char*>(data), size);
  const varenta::DatabaseLocation read = varenta::databaseLocationFromIni(text, programDir);
  const auto plain = [](const std::string& value) {
    return std::none_of(value.begin(), value.end(), [](char c) {
      return static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) == 0x7F;
    });
  };
  FUZZ_CHECK(plain(read.server) && plain(read.path));

  const varenta::DatabaseLocation withOther =
      varenta::databaseLocationFromIni(text + "\n[Outro]\nServidor=x\nCaminho=y\n", programDir);
  FUZZ_CHECK(withOther.server == read.server && withOther.path == read.path);

  const varenta::DatabaseLocation again = varenta::databaseLocationFromIni(
      "[Tolvane]\r\nServidor=\"" + read.server + "\"\r\nCaminho=\"" + read.path + "\"\r\n", programDir);
  FUZZ_CHECK(again.server == read.server && again.path == read.path);
  return 0;
}
