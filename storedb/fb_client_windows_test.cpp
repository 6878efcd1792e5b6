// Loading the Firebird client on Windows, under wine, which has none: each place looked at is named
// when there is no client, the first place that has a library is the one taken, and the connection
// step fails as usual after a line that says what is missing.

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "base/paths.h"
#include "base/utf16.h"
#include "storedb/fb_api.h"
#include "storedb/fb_client.h"
#include "tests/firebird/connection_step_fixture.h"
#include "tests/support/temp_dir.h"

namespace varenta {
namespace {

namespace fs = std::filesystem;

constexpr const wchar_t* kInstances = L"SOFTWARE\\Firebird Project\\Firebird Server\\Instances";
constexpr const char* kNotFound = "(não encontrado)";

// The places the client may be found in, as a store's machine has them; all of them emptied again
// at the end.
class ClientPlaces : public ::testing::Test {
 protected:
  ClientPlaces() { clear(); }
  ~ClientPlaces() override { clear(); }

  static fs::path beside() { return fs::path(widen(executableDir())) / L"fbclient.dll"; }

  // Firebird's installer records the directory of the installation it made.
  void installFirebird(const fs::path& dir) {
    const std::wstring value = dir.wstring() + L"\\";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kInstances, L"DefaultInstance", REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }

  // The build names the library by its path on the build machine; under wine the root of that file
  // system is drive Z:.
  static void putOldClient(const fs::path& where) {
    std::string built = VARENTA_OLD_FBCLIENT;
    if (built.starts_with("/")) built = "Z:" + built;
    fs::copy_file(fs::path(built).make_preferred(), where, fs::copy_options::overwrite_existing);
  }

  // What the loader says; a library it could not use is let go of again.
  static std::string missingMessage() {
    std::string message = "a client was loaded";
    try {
      fb::master();
    } catch (const fb::EClientMissing& e) {
      message = e.message();
    }
    EXPECT_EQ(GetModuleHandleW(L"fbclient.dll"), nullptr) << message;
    return message;
  }

 private:
  void clear() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Firebird Project");
    std::error_code ignored;
    fs::remove(beside(), ignored);
  }
};

TEST_F(ClientPlaces, WithoutAClientEveryPlaceLookedAtIsNamed) {
  EXPECT_EQ(missingMessage(),
            "Cliente do Firebird (fbclient.dll) não encontrado: " + narrow(beside().wstring()) + " " +
                kNotFound + ", nenhuma instalação do Firebird no registro, caminho de busca do Windows " +
                kNotFound);

  const TempDir firebird("varenta-firebird");
  installFirebird(fs::path(widen(firebird.path())));
  EXPECT_NE(missingMessage().find(narrow((fs::path(widen(firebird.path())) / L"fbclient.dll").wstring()) +
                                  " " + kNotFound),
            std::string::npos);
}

TEST_F(ClientPlaces, TheCopyBesideTheProgramComesFirstThenTheInstallationsThenTheSearchPath) {
  const std::string noMasterInterface = "Cliente do Firebird sem fb_get_master_interface";
  const TempDir firebird("varenta-firebird");
  const TempDir onPath("varenta-path");
  const fs::path installed = fs::path(widen(firebird.path())) / L"fbclient.dll";
  const fs::path searched = fs::path(widen(onPath.path())) / L"fbclient.dll";
  installFirebird(installed.parent_path());

  // Each place in turn gets a library; the message names the one the loader took.
  wchar_t path[32767];
  const DWORD length = GetEnvironmentVariableW(L"PATH", path, 32767);
  SetEnvironmentVariableW(L"PATH",
                          (searched.parent_path().wstring() + L";" + std::wstring(path, length)).c_str());
  putOldClient(searched);
  const std::string fromSearch = missingMessage();
  putOldClient(installed);
  const std::string fromInstallation = missingMessage();
  putOldClient(beside());
  const std::string fromBeside = missingMessage();
  SetEnvironmentVariableW(L"PATH", std::wstring(path, length).c_str());

  for (const std::string& message : {fromSearch, fromInstallation, fromBeside})
    EXPECT_TRUE(message.starts_with(noMasterInterface)) << message;
  EXPECT_TRUE(fromSearch.ends_with(narrow(searched.filename().wstring()))) << fromSearch;
  EXPECT_NE(fromSearch.find(onPath.path()), std::string::npos) << fromSearch;
  EXPECT_TRUE(fromInstallation.ends_with(narrow(installed.wstring()))) << fromInstallation;
  EXPECT_TRUE(fromBeside.ends_with(narrow(beside().wstring()))) << fromBeside;
}

TEST_F(ClientPlaces, TheConnectionStepWithoutAClientSaysWhatIsMissingAndFailsAsUsual) {
  const TempDir program("varenta-program");
  writeIni(program.dir(), "[Tolvane]\nServidor=localhost\nCaminho=C:\\Olvessa\\Dados\\TOLVANE.FDB\n");
  ConnectionStepFixture service;
  service.settings.baseUrl = "https://kept/";
  service.dbConnected = true;  // as a failed step must clear it
  service.iniConn(program.dir());
  EXPECT_FALSE(service.dbConnected);
  ASSERT_EQ(service.log.lines().size(), 3u);
  EXPECT_TRUE(service.log.lines()[0].starts_with("Cliente do Firebird (fbclient.dll) não encontrado: "))
      << service.log.lines()[0];
  EXPECT_EQ(service.log.lines()[1], "Falha na conexão com o banco de dados do Olvessa");
  EXPECT_EQ(service.log.lines()[2], "Falha ao tentar recuperar os dados da Varenta do banco do Olvessa");
  EXPECT_EQ(service.settings.baseUrl, "https://kept/");
  EXPECT_EQ(service.location.path, "C:\\Olvessa\\Dados\\TOLVANE.FDB");
}

}  // namespace
}  // namespace varenta
