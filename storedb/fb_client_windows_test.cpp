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

// The build names its files by their paths on the build machine; under wine the root of that file
// system is drive Z:.
fs::path built(std::string path) {
  if (path.starts_with("/")) path = "Z:" + path;
  return fs::path(path).make_preferred();
}

// The places the client may be found in, as a store's machine has them, and the two it must never
// come from (the current directory and PATH); all of them emptied again at the end.
class ClientPlaces : public ::testing::Test {
 protected:
  ClientPlaces() {
    clear();
    wchar_t path[32767];
    const DWORD length = GetEnvironmentVariableW(L"PATH", path, 32767);
    path_.assign(path, length);
    wchar_t current[MAX_PATH];
    current_.assign(current, GetCurrentDirectoryW(MAX_PATH, current));
  }
  ~ClientPlaces() override {
    SetEnvironmentVariableW(L"PATH", path_.c_str());
    SetCurrentDirectoryW(current_.c_str());
    clear();
  }

  static fs::path beside() { return fs::path(widen(executableDir())) / L"fbclient.dll"; }
  static fs::path inSystemDir() {
    wchar_t dir[MAX_PATH];
    return fs::path(std::wstring(dir, GetSystemDirectoryW(dir, MAX_PATH))) / L"fbclient.dll";
  }

  // Firebird's installer records the directory of the installation it made.
  void installFirebird(const fs::path& dir) {
    const std::wstring value = dir.wstring() + L"\\";
    ASSERT_EQ(RegSetKeyValueW(HKEY_LOCAL_MACHINE, kInstances, L"DefaultInstance", REG_SZ, value.c_str(),
                              static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }

  // Where any user of the machine may put a library: a directory of PATH, and the current directory.
  void offerInUserPlaces(const fs::path& library) {
    const fs::path dir(widen(userPlace_.path()));
    fs::copy_file(library, dir / library.filename(), fs::copy_options::overwrite_existing);
    SetEnvironmentVariableW(L"PATH", (dir.wstring() + L";" + path_).c_str());
    SetCurrentDirectoryW(dir.c_str());
  }

  static void put(const std::string& builtLibrary, const fs::path& where) {
    fs::copy_file(built(builtLibrary), where, fs::copy_options::overwrite_existing);
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
    fs::remove(beside().parent_path() / L"varenta_runtime.dll", ignored);
    fs::remove(inSystemDir(), ignored);
  }

  std::wstring path_;
  std::wstring current_;
  TempDir userPlace_{"varenta-user"};
};

TEST_F(ClientPlaces, WithoutAClientEveryPlaceLookedAtIsNamed) {
  const std::string nowhere =
      "Cliente do Firebird (fbclient.dll) não encontrado: " + narrow(beside().wstring()) + " " + kNotFound +
      ", nenhuma instalação do Firebird no registro, " + narrow(inSystemDir().wstring()) + " " + kNotFound;
  EXPECT_EQ(missingMessage(), nowhere);

  // A library in the current directory or on PATH is never taken.
  offerInUserPlaces(built(VARENTA_OLD_FBCLIENT));
  EXPECT_EQ(missingMessage(), nowhere);

  const TempDir firebird("varenta-firebird");
  installFirebird(fs::path(widen(firebird.path())));
  EXPECT_NE(missingMessage().find(narrow((fs::path(widen(firebird.path())) / L"fbclient.dll").wstring()) +
                                  " " + kNotFound),
            std::string::npos);
}

TEST_F(ClientPlaces, TheCopyBesideTheProgramComesFirstThenTheInstallationsThenTheSystemDirectory) {
  const std::string noMasterInterface = "Cliente do Firebird sem fb_get_master_interface";
  const TempDir firebird("varenta-firebird");
  const fs::path installed = fs::path(widen(firebird.path())) / L"fbclient.dll";
  installFirebird(installed.parent_path());

  // Each place in turn gets a library; the message names the one the loader took.
  put(VARENTA_OLD_FBCLIENT, inSystemDir());
  const std::string fromSystem = missingMessage();
  put(VARENTA_OLD_FBCLIENT, installed);
  const std::string fromInstallation = missingMessage();
  put(VARENTA_OLD_FBCLIENT, beside());
  const std::string fromBeside = missingMessage();

  for (const std::string& message : {fromSystem, fromInstallation, fromBeside})
    EXPECT_TRUE(message.starts_with(noMasterInterface)) << message;
  EXPECT_TRUE(fromSystem.ends_with(narrow(inSystemDir().wstring()))) << fromSystem;
  EXPECT_TRUE(fromInstallation.ends_with(narrow(installed.wstring()))) << fromInstallation;
  EXPECT_TRUE(fromBeside.ends_with(narrow(beside().wstring()))) << fromBeside;
}

// A client copied without a library it needs (its C runtime) is there: the log says so, instead of
// "not found" for a file the technician can see. What it needs comes only from its own directory
// (or the system directory), never from PATH or the current directory.
TEST_F(ClientPlaces, AClientWithoutALibraryItNeedsIsToldFromAMissingFile) {
  put(VARENTA_NEEDY_FBCLIENT, beside());
  offerInUserPlaces(built(VARENTA_NEEDED_RUNTIME));
  const std::string message = missingMessage();
  EXPECT_NE(message.find(narrow(beside().wstring()) +
                         " (presente, mas falta uma biblioteca de que ele depende, como o runtime do C)"),
            std::string::npos)
      << message;

  put(VARENTA_NEEDED_RUNTIME, beside().parent_path() / L"varenta_runtime.dll");
  const std::string withItsRuntime = missingMessage();
  EXPECT_EQ(withItsRuntime,
            "Cliente do Firebird sem fb_get_master_interface (é preciso o Firebird 3 ou mais novo): " +
                narrow(beside().wstring()));
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
