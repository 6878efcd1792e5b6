// The real program under the Windows service control manager (wine's, in the tests): registered,
// started, paused, continued, stopped and removed, with the log's bytes for those events; run in a
// console; and the registry step of the firewall.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "base/win32.h"
#include "host/firewall_windows.h"
#include "tests/support/lifecycle_log.h"

namespace varenta {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// The build names the program by its path on the build machine; under wine the root of that file
// system is drive Z:.
fs::path programBuilt() {
  std::string path = VARENTA_SERVICE_BINARY;
  if (path.starts_with("/")) path = "Z:" + path;
  return fs::path(path).make_preferred();
}

std::string readBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A recording program (recording_program.cpp) in place of `name` in `dir`; what was there before
// comes back when it goes. It records each command line it was run with in "<name>.ran".
class RecordingProgram {
 public:
  RecordingProgram(const fs::path& dir, const std::wstring& name)
      : path_(dir / name), kept_(dir / (name + L".kept")) {
    if (fs::exists(path_)) fs::rename(path_, kept_);
    std::string built = VARENTA_RECORDING_PROGRAM;
    if (built.starts_with("/")) built = "Z:" + built;
    fs::copy_file(fs::path(built).make_preferred(), path_);
  }
  ~RecordingProgram() {
    std::error_code ignored;
    fs::remove(path_, ignored);
    fs::remove(ran(), ignored);
    fs::remove(fs::path(path_.wstring() + L".status"), ignored);
    if (fs::exists(kept_)) fs::rename(kept_, path_, ignored);
  }
  RecordingProgram(const RecordingProgram&) = delete;
  RecordingProgram& operator=(const RecordingProgram&) = delete;

  fs::path ran() const { return path_.wstring() + L".ran"; }
  std::string commandLines() const { return readBytes(ran()); }
  // The status it ends with from now on.
  void failWith(int status) const { std::ofstream(fs::path(path_.wstring() + L".status")) << status; }

 private:
  fs::path path_;
  fs::path kept_;
};

// Until `done` holds, or 20 seconds passed.
template <typename Condition>
bool await(Condition done) {
  for (int i = 0; i < 2000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(10ms);
  }
  return done();
}

// A copy of prjSrvVarenta in a directory of its own under the temporary directory, where its log
// appears.
class Program {
 public:
  Program() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    dir_ =
        fs::path(temp) / ("varenta-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++made_));
    fs::create_directories(dir_);
    fs::copy_file(programBuilt(), binary(), fs::copy_options::overwrite_existing);
  }
  ~Program() {
    if (process_) TerminateProcess(process_.get(), 99);
    process_.reset();
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  fs::path binary() const { return dir_ / "prjSrvVarenta.exe"; }
  fs::path logPath() const { return dir_ / "Varenta.log"; }
  std::string log() const { return readBytes(logPath()); }
  std::string out() const { return readBytes(dir_ / "stdout"); }
  std::string err() const { return readBytes(dir_ / "stderr"); }
  bool logHas(const std::string& cp1252) const {
    return log().find(" - " + cp1252 + "\r\n") != std::string::npos;
  }

  // Starts the program with these arguments; `variables` ("NAME=value") are added to its environment.
  void start(const std::wstring& arguments, const std::vector<std::wstring>& variables = {}) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const Handle out(CreateFileW((dir_ / "stdout").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr));
    const Handle err(CreateFileW((dir_ / "stderr").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                 CREATE_ALWAYS, 0, nullptr));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.get();
    startup.hStdError = err.get();
    std::wstring environment;
    for (const wchar_t* e = GetEnvironmentStringsW(); *e; e += wcslen(e) + 1)
      environment += e + std::wstring(1, L'\0');
    for (const std::wstring& v : variables) environment += v + std::wstring(1, L'\0');
    environment += L'\0';
    std::wstring command = L"\"" + binary().wstring() + L"\" " + arguments;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                               environment.data(), dir_.c_str(), &startup, &process))
        << GetLastError();
    CloseHandle(process.hThread);
    process_.reset(process.hProcess);
  }

  // The exit status, or -1 when the program did not end within 60 seconds.
  int wait() {
    if (WaitForSingleObject(process_.get(), 60000) != WAIT_OBJECT_0) return -1;
    DWORD status = 0;
    GetExitCodeProcess(process_.get(), &status);
    process_.reset();
    return static_cast<int>(status);
  }

  int run(const std::wstring& arguments) {
    start(arguments);
    return wait();
  }

  void kill() {
    TerminateProcess(process_.get(), 99);
    wait();
  }

 private:
  static inline int made_ = 0;
  fs::path dir_;
  Handle process_;
};

// The service control manager; a test that fails half way leaves no service SrvVarenta behind.
class ServiceManager {
 public:
  ServiceManager() : manager_(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {}
  ~ServiceManager() {
    const ServiceHandle left = open();
    if (!left) return;
    SERVICE_STATUS status{};
    ControlService(left.get(), SERVICE_CONTROL_STOP, &status);
    awaitState(left.get(), SERVICE_STOPPED);
    DeleteService(left.get());
  }

  // Null when the service is not registered; GetLastError() then says why.
  ServiceHandle open() const {
    return ServiceHandle(OpenServiceW(manager_.get(), L"SrvVarenta", SERVICE_ALL_ACCESS));
  }

  static DWORD state(SC_HANDLE service) {
    SERVICE_STATUS_PROCESS status{};
    DWORD needed = 0;
    QueryServiceStatusEx(service, SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                         &needed);
    return status.dwCurrentState;
  }
  static bool awaitState(SC_HANDLE service, DWORD wanted) {
    return await([&] { return state(service) == wanted; });
  }

 private:
  ServiceHandle manager_;
};

template <typename T>
std::vector<BYTE> config2(SC_HANDLE service, DWORD level) {
  DWORD needed = 0;
  QueryServiceConfig2W(service, level, nullptr, 0, &needed);
  std::vector<BYTE> buffer(std::max<DWORD>(needed, sizeof(T)));
  if (!QueryServiceConfig2W(service, level, buffer.data(), static_cast<DWORD>(buffer.size()), &needed))
    buffer.clear();
  return buffer;
}

TEST(WindowsService, IsRegisteredDrivenByTheManagerAndRemoved) {
  wchar_t date[8] = {}, time[8] = {};
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_SDATE, date, 8);
  GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, LOCALE_STIME, time, 8);
  ASSERT_TRUE(GetACP() == 1252 && date == std::wstring(L"/") && time == std::wstring(L":"))
      << "the log's bytes are compared on a host set up as the stores' are: under wine, LANG=pt_BR.UTF-8";
  Program program;
  ServiceManager manager;
  ASSERT_FALSE(manager.open()) << "a service SrvVarenta is registered already";

  ASSERT_EQ(program.run(L"/INSTALL"), 0) << program.err();
  EXPECT_EQ(program.out(), "Service SrvVarenta installed successfully\r\n");
  {
    // Closed before the removal: the manager removes a service only once no handle to it is open.
    const ServiceHandle service = manager.open();
    ASSERT_TRUE(service);

    // What the manager was given.
    DWORD needed = 0;
    QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ASSERT_TRUE(QueryServiceConfigW(service.get(), config, needed, &needed));
    EXPECT_EQ(config->dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config->dwStartType, static_cast<DWORD>(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwErrorControl, static_cast<DWORD>(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(std::wstring(config->lpBinaryPathName), L"\"" + program.binary().wstring() + L"\"");
    EXPECT_EQ(std::wstring(config->lpDisplayName), L"SrvVarenta");
    EXPECT_EQ(std::wstring(config->lpServiceStartName), L"LocalSystem");
    EXPECT_EQ(std::wstring(config->lpDependencies ? config->lpDependencies : L""), L"");
    const auto description = config2<SERVICE_DESCRIPTIONW>(service.get(), SERVICE_CONFIG_DESCRIPTION);
    ASSERT_FALSE(description.empty());
    EXPECT_EQ(std::wstring(reinterpret_cast<const SERVICE_DESCRIPTIONW*>(description.data())->lpDescription)
                  .rfind(L"Keeps the store's Firebird database in step with the Varenta promotions cloud", 0),
              0u);
    const auto failure = config2<SERVICE_FAILURE_ACTIONSW>(service.get(), SERVICE_CONFIG_FAILURE_ACTIONS);
    if (failure.empty() && GetLastError() == ERROR_INVALID_LEVEL) {
      std::cout << "[ NOTE     ] this service manager (wine's) does not report failure actions\n";
    } else {
      ASSERT_FALSE(failure.empty()) << GetLastError();
      const auto* actions = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(failure.data());
      EXPECT_EQ(actions->dwResetPeriod, 86400u);
      ASSERT_EQ(actions->cActions, 3u);
      for (DWORD i = 0; i < actions->cActions; ++i) {
        EXPECT_EQ(actions->lpsaActions[i].Type, SC_ACTION_RESTART);
        EXPECT_EQ(actions->lpsaActions[i].Delay, 30000u);
      }
    }
    wchar_t messageFile[MAX_PATH] = {};
    DWORD size = sizeof messageFile;
    EXPECT_EQ(
        RegGetValueW(HKEY_LOCAL_MACHINE,
                     L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\SrvVarenta",
                     L"EventMessageFile", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, messageFile, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(messageFile), program.binary().wstring());

    // Started, paused, continued and stopped by the manager. The service is reported stopped once its
    // last line is written.
    ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr)) << GetLastError();
    ASSERT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_RUNNING));
    ASSERT_TRUE(await([&] { return program.logHas("Servi\xE7o executado"); }));
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_PAUSE, &status)) << GetLastError();
    ASSERT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_PAUSED));
    EXPECT_TRUE(program.logHas("Servi\xE7o pausado"));
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_CONTINUE, &status)) << GetLastError();
    ASSERT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_RUNNING));
    EXPECT_TRUE(program.logHas("Servi\xE7o despausado"));
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
    ASSERT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_STOPPED));
    EXPECT_TRUE(program.log().ends_with(" - Servi\xE7o encerrado\r\n"));
  }
  ASSERT_EQ(program.run(L"/UNINSTALL /SILENT"), 0) << program.err();
  EXPECT_EQ(program.out(), "");
  EXPECT_FALSE(manager.open());
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
  HKEY source = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                          L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\SrvVarenta", 0,
                          KEY_READ, &source),
            ERROR_SUCCESS);

  // The same bytes as the Linux build's for the same events.
  EXPECT_EQ(maskedTimestamps(program.log()), kLifecycleLog);

  // Nothing left to remove: an error, and no success line.
  EXPECT_EQ(program.run(L"/UNINSTALL"), 1);
  EXPECT_NE(program.err().find("SrvVarenta: EOSError - The service SrvVarenta is not installed"),
            std::string::npos)
      << program.err();
  EXPECT_TRUE(maskedTimestamps(program.log())
                  .ends_with(kLifecycleLog +
                             "##/##/#### ##:##:## - Servi\xE7o criado\r\n"
                             "##/##/#### ##:##:## - Iniciando desinstala\xE7\xE3o do servi\xE7o\r\n"
                             "##/##/#### ##:##:## - Servi\xE7o encerrado\r\n"));
}

// `program` registered as the service and started; fails the test when it does not run.
void installAndStart(Program& program, const ServiceManager& manager) {
  ASSERT_EQ(program.run(L"/INSTALL /SILENT"), 0) << program.err();
  const ServiceHandle service = manager.open();
  ASSERT_TRUE(service);
  ASSERT_TRUE(StartServiceW(service.get(), 0, nullptr)) << GetLastError();
  ASSERT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_RUNNING));
}

// A running service is stopped before its registration goes, so that its program can be replaced.
TEST(WindowsService, UninstallingStopsTheRunningServiceFirst) {
  Program program;
  ServiceManager manager;
  ASSERT_NO_FATAL_FAILURE(installAndStart(program, manager));
  ASSERT_EQ(program.run(L"/UNINSTALL /SILENT"), 0) << program.err();
  EXPECT_FALSE(manager.open());
  const std::string log = maskedTimestamps(program.log());
  EXPECT_NE(log.find("##/##/#### ##:##:## - Iniciando desinstala\xE7\xE3o do servi\xE7o\r\n"
                     "##/##/#### ##:##:## - Servi\xE7o parado\r\n"
                     "##/##/#### ##:##:## - Servi\xE7o encerrado\r\n"
                     "##/##/#### ##:##:## - Servi\xE7o desinstalado com sucesso\r\n"),
            std::string::npos)
      << log;
  // Its process is gone: the program's file can be replaced.
  EXPECT_TRUE(DeleteFileW(program.binary().c_str())) << GetLastError();
}

// A stop that comes while a pause is being handled stays a stop: the pause's state never shows over
// it, and the stop is not refused. (How soon the pause ends is the service's business, so the states
// are watched as they come.)
TEST(WindowsService, AStopDuringAPauseIsNeverReportedAsPaused) {
  Program program;
  ServiceManager manager;
  ASSERT_NO_FATAL_FAILURE(installAndStart(program, manager));
  {
    const ServiceHandle service = manager.open();
    ASSERT_TRUE(await([&] { return program.logHas("Servi\xE7o executado"); }));
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_PAUSE, &status)) << GetLastError();
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
    std::vector<DWORD> states{status.dwCurrentState};
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (states.back() != SERVICE_STOPPED && std::chrono::steady_clock::now() < deadline) {
      const DWORD now = ServiceManager::state(service.get());
      if (now != states.back()) states.push_back(now);
    }
    std::string seen;
    for (const DWORD s : states) seen += std::to_string(s) + " ";
    EXPECT_EQ(states.back(), static_cast<DWORD>(SERVICE_STOPPED)) << seen;
    const auto stop = std::find(states.begin(), states.end(), static_cast<DWORD>(SERVICE_STOP_PENDING));
    ASSERT_NE(stop, states.end()) << seen;
    EXPECT_TRUE(std::all_of(stop, states.end(), [](DWORD s) {
      return s == SERVICE_STOP_PENDING || s == SERVICE_STOPPED;
    })) << seen;
  }
  EXPECT_TRUE(program.log().ends_with(" - Servi\xE7o encerrado\r\n"));
  ASSERT_EQ(program.run(L"/UNINSTALL /SILENT"), 0) << program.err();
}

// In a console the service runs its cycle as under the manager. (Wine delivers no console control
// events, so Ctrl+C is not sent here; it takes the stop's own path.)
//
// The firewall step runs the system's netsh by its full path: a netsh.exe in the program's folder,
// which Windows would look in first for a bare name, never runs. (Wine runs its own netsh from the
// system directory whatever file is there, so only the folder's copy can be watched.)
TEST(WindowsService, RunsInAConsole) {
  Program program;
  const RecordingProgram planted(program.binary().parent_path(), L"netsh.exe");
  // Nothing listens on the probe's port: the first tick finds no internet.
  program.start(L"/CONSOLE", {L"VARENTA_TIME_SCALE=0.001", L"VARENTA_PROBE_HOSTS=127.0.0.1:9"});
  ASSERT_TRUE(await([&] { return program.logHas("Entrando em pausa por 15 minutos (internet)."); }))
      << program.err();
  program.kill();
  EXPECT_FALSE(fs::exists(planted.ran())) << planted.commandLines();
  const std::string log = maskedTimestamps(program.log());
  EXPECT_TRUE(
      log.starts_with("##/##/#### ##:##:## - Servi\xE7o criado\r\n"
                      "##/##/#### ##:##:## - Servi\xE7o iniciado. Primeiro ciclo do Varenta em 3 minutos.\r\n"
                      "##/##/#### ##:##:## - Servi\xE7o executado\r\n"
                      "##/##/#### ##:##:## - Falha na conex\xE3o de internet.\r\n"
                      "##/##/#### ##:##:## - Entrando em pausa por 15 minutos (internet).\r\n"))
      << log;
}

// What the log cannot take goes to the Event Log and, in a console, to standard error: a lifecycle
// line that is lost, and the error that escapes the tick that cannot log its lines. (Wine's Event Log
// keeps nothing, so only standard error is read here.)
TEST(WindowsService, WhatTheLogCannotTakeGoesToTheEventLogAndTheConsole) {
  Program program;
  fs::create_directory(program.logPath());  // a directory cannot be opened as the log
  program.start(L"/CONSOLE", {L"VARENTA_TIME_SCALE=0.001", L"VARENTA_PROBE_HOSTS=127.0.0.1:9"});
  ASSERT_TRUE(await([&] { return program.err().find("SrvVarenta: EInOutError - ") != std::string::npos; }))
      << program.err();
  program.kill();
  const std::string err = program.err();
  EXPECT_EQ(err.rfind("SrvVarenta: lost log line \"Servi\xC3\xA7o criado\": EInOutError - ", 0), 0u) << err;
  EXPECT_NE(err.find("\nSrvVarenta: lost log line \"Servi\xC3\xA7o executado\": EInOutError - "),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("\nSrvVarenta: EInOutError - "), std::string::npos) << err;
}

// The inspections' text redirected to a file is UTF-8 (in a console it is UTF-16: console_test.sh).
// Without a database or a client, /MARCAS says so on standard error.
TEST(WindowsConsole, TheInspectionsWriteUtf8ToAFile) {
  Program program;
  ASSERT_EQ(program.run(L"/MARCAS"), 1);
  EXPECT_NE(program.err().find("\r\nFalha na conex\xC3\xA3o com o banco de dados do Olvessa\r\n"),
            std::string::npos)
      << program.err();
}

#ifdef VARENTA_INSTALLER
// Runs a program and waits for it; its exit status, or -1.
int runAndWait(const std::wstring& commandLine) {
  std::wstring command = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  CloseHandle(process.hThread);
  const Handle running(process.hProcess);
  if (WaitForSingleObject(running.get(), 120000) != WAIT_OBJECT_0) return -1;
  DWORD status = 0;
  GetExitCodeProcess(running.get(), &status);
  return static_cast<int>(status);
}

fs::path built(std::string path) {
  if (path.starts_with("/")) path = "Z:" + path;
  return fs::path(path).make_preferred();
}

std::wstring binaryPath(SC_HANDLE service) {
  DWORD needed = 0;
  QueryServiceConfigW(service, nullptr, 0, &needed);
  std::vector<BYTE> buffer(needed);
  auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
  return QueryServiceConfigW(service, config, needed, &needed) ? config->lpBinaryPathName : L"";
}

// The installer, run silently as a remote installation would: installed, installed again over itself
// (an upgrade), uninstalled.
// The firewall's list of authorised applications, as older Windows versions have it (wine has none:
// the test makes it, and removes it again). Under CurrentControlSet, which is ControlSet001.
class AuthorisedApplications {
 public:
  AuthorisedApplications() {
    HKEY key = nullptr;
    made_ = RegCreateKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(kSharedAccess) + kList).c_str(), 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS;
    if (made_) RegCloseKey(key);
  }
  ~AuthorisedApplications() {
    if (made_) RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSharedAccess);
  }
  AuthorisedApplications(const AuthorisedApplications&) = delete;
  AuthorisedApplications& operator=(const AuthorisedApplications&) = delete;

  bool lists(const fs::path& program) const {
    wchar_t data[MAX_PATH] = {};
    DWORD size = sizeof data;
    return RegGetValueW(HKEY_LOCAL_MACHINE, (std::wstring(kSharedAccess) + kList).c_str(),
                        program.wstring().c_str(), RRF_RT_REG_SZ, nullptr, data, &size) == ERROR_SUCCESS;
  }

 private:
  static constexpr wchar_t kSharedAccess[] = L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess";
  static constexpr wchar_t kList[] =
      L"\\Parameters\\FirewallPolicy\\StandardProfile\\AuthorizedApplications\\List";
  bool made_ = false;
};

TEST(WindowsInstaller, InstallsUpgradesAndUninstallsSilently) {
  ServiceManager manager;
  ASSERT_FALSE(manager.open()) << "a service SrvVarenta is registered already";
  const AuthorisedApplications authorised;
  wchar_t programFiles[MAX_PATH] = {};
  ASSERT_TRUE(ExpandEnvironmentStringsW(L"%ProgramW6432%", programFiles, MAX_PATH));
  const fs::path folder = fs::path(programFiles) / "SrvVarenta";
  ASSERT_FALSE(fs::exists(folder)) << folder << " exists already";
  const std::wstring installer = L"\"" + built(VARENTA_INSTALLER).wstring() + L"\" /S";
  const std::string shippedIni = readBytes(built(VARENTA_TOLVANE_INI));
  const std::wstring program = L"\"" + (folder / "prjSrvVarenta.exe").wstring() + L"\"";
  const auto logHas = [&](const std::string& cp1252) {
    return readBytes(folder / "Varenta.log").find(" - " + cp1252 + "\r\n") != std::string::npos;
  };

  ASSERT_EQ(runAndWait(installer), 0);
  EXPECT_EQ(readBytes(folder / "Tolvane.ini"), shippedIni);
  EXPECT_TRUE(fs::exists(folder / "Uninstall.exe"));
  {
    const ServiceHandle service = manager.open();
    ASSERT_TRUE(service) << GetLastError();
    EXPECT_EQ(binaryPath(service.get()), program);
    EXPECT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_RUNNING));
  }
  EXPECT_TRUE(await([&] { return logHas("Servi\xE7o executado"); }));
  wchar_t listed[MAX_PATH] = {};
  DWORD size = sizeof listed;
  EXPECT_EQ(
      RegGetValueW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\SrvVarenta",
                   L"UninstallString", RRF_RT_REG_SZ, nullptr, listed, &size),
      ERROR_SUCCESS);
  EXPECT_EQ(std::wstring(listed), L"\"" + (folder / "Uninstall.exe").wstring() + L"\"");

  // The running service authorised itself in the firewall's list.
  EXPECT_TRUE(await([&] { return authorised.lists(folder / "prjSrvVarenta.exe"); }));

  // An upgrade keeps the store's settings and the log, and runs the service again.
  const std::string storeIni = "[Tolvane]\r\nServidor=192.168.0.10\r\nCaminho=C:\\Olvessa\\TOLVANE.FDB\r\n";
  std::ofstream(folder / "Tolvane.ini", std::ios::binary) << storeIni;
  const std::string logBefore = readBytes(folder / "Varenta.log");
  ASSERT_EQ(runAndWait(installer), 0);
  EXPECT_EQ(readBytes(folder / "Tolvane.ini"), storeIni);
  EXPECT_TRUE(readBytes(folder / "Varenta.log").starts_with(logBefore));
  {
    const ServiceHandle service = manager.open();
    ASSERT_TRUE(service) << GetLastError();
    EXPECT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_RUNNING));
  }
  const std::string upgraded = maskedTimestamps(readBytes(folder / "Varenta.log"));
  EXPECT_NE(upgraded.find("##/##/#### ##:##:## - Iniciando desinstala\xE7\xE3o do servi\xE7o\r\n"
                          "##/##/#### ##:##:## - Servi\xE7o parado\r\n"
                          "##/##/#### ##:##:## - Servi\xE7o encerrado\r\n"
                          "##/##/#### ##:##:## - Servi\xE7o desinstalado com sucesso\r\n"),
            std::string::npos)
      << upgraded;

  // An upgrade that cannot replace the program (a copy of it still running holds the file) fails
  // loudly instead of leaving the old program in place; once the file is free, it goes through.
  const std::string shipped = readBytes(folder / "prjSrvVarenta.exe");
  {
    const Handle held(CreateFileW((folder / "prjSrvVarenta.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(held.get(), INVALID_HANDLE_VALUE);
    EXPECT_EQ(runAndWait(installer), 2);
  }
  ASSERT_EQ(runAndWait(installer), 0);
  {
    const ServiceHandle service = manager.open();
    ASSERT_TRUE(service) << GetLastError();
    EXPECT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_RUNNING));
    SERVICE_STATUS status{};
    ASSERT_TRUE(ControlService(service.get(), SERVICE_CONTROL_STOP, &status)) << GetLastError();
    ASSERT_TRUE(ServiceManager::awaitState(service.get(), SERVICE_STOPPED));
  }
  // An old version that cannot be unregistered stops the upgrade before anything is replaced.
  {
    const RecordingProgram failing(folder, L"prjSrvVarenta.exe");
    failing.failWith(1);
    EXPECT_EQ(runAndWait(installer), 2);
    EXPECT_TRUE(await([&] { return !failing.commandLines().empty(); })) << "the old program was never run";
    EXPECT_EQ(failing.commandLines(),
              narrow(L"\"" + (folder / "prjSrvVarenta.exe").wstring() + L"\"") + " /UNINSTALL /SILENT\r\n");
    EXPECT_NE(readBytes(folder / "prjSrvVarenta.exe"), shipped) << "the program was replaced";
  }
  ASSERT_EQ(readBytes(folder / "prjSrvVarenta.exe"), shipped);
  ASSERT_EQ(runAndWait(installer), 0);

  // The uninstaller runs from a copy of itself and returns at once; the program goes, the log and
  // the settings stay, and the program's entry in the firewall's list goes with it.
  ASSERT_EQ(runAndWait(L"\"" + (folder / "Uninstall.exe").wstring() + L"\" /S"), 0);
  EXPECT_TRUE(await(
      [&] { return !fs::exists(folder / "prjSrvVarenta.exe") && !fs::exists(folder / "Uninstall.exe"); }));
  EXPECT_FALSE(manager.open());
  EXPECT_TRUE(logHas("Servi\xE7o desinstalado com sucesso"));
  EXPECT_EQ(readBytes(folder / "Tolvane.ini"), storeIni);
  EXPECT_FALSE(authorised.lists(folder / "prjSrvVarenta.exe"));
  // The uninstaller's last step.
  EXPECT_TRUE(await([] {
    HKEY listing = nullptr;
    const bool listed = RegOpenKeyExW(HKEY_LOCAL_MACHINE,
                                      L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\SrvVarenta",
                                      0, KEY_READ, &listing) == ERROR_SUCCESS;
    if (listed) RegCloseKey(listing);
    return !listed;
  }));
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}
#endif

// The three lists are written in order; the first one missing ends the step with an error naming
// it, and the lists before it keep their value.
TEST(WindowsFirewall, AuthorisesTheProgramInEveryListUntilOneIsMissing) {
  const wchar_t* const root = L"Software\\SrvVarenta-test-firewall";
  RegDeleteTreeW(HKEY_CURRENT_USER, root);
  HKEY opened = nullptr;
  ASSERT_EQ(
      RegCreateKeyExW(HKEY_CURRENT_USER, root, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &opened, nullptr),
      ERROR_SUCCESS);
  const Key base(opened);
  for (const wchar_t* list : kAuthorizedApplicationLists) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(base.get(), list, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  const std::string program = "C:\\Program Files\\SrvVarenta\\prjSrvVarenta.exe";
  const auto value = [&](const wchar_t* list) {
    wchar_t data[MAX_PATH] = {};
    DWORD size = sizeof data;
    const LSTATUS status =
        RegGetValueW(base.get(), list, widen(program).c_str(), RRF_RT_REG_SZ, nullptr, data, &size);
    return status == ERROR_SUCCESS ? narrow(data) : std::string("(none)");
  };

  EXPECT_NO_THROW(DesbloqueiaAppFirewall(program, base.get()));
  for (const wchar_t* list : kAuthorizedApplicationLists) EXPECT_EQ(value(list), program);

  ASSERT_EQ(RegDeleteTreeW(base.get(), L"SYSTEM\\ControlSet001"), ERROR_SUCCESS);
  for (const wchar_t* list : {kAuthorizedApplicationLists[0], kAuthorizedApplicationLists[2]})
    ASSERT_EQ(RegDeleteKeyValueW(base.get(), list, widen(program).c_str()), ERROR_SUCCESS);
  try {
    DesbloqueiaAppFirewall(program, base.get());
    ADD_FAILURE() << "no error for the missing list";
  } catch (const EOSError& e) {
    EXPECT_NE(std::string(e.what()).find("SYSTEM\\ControlSet001\\Services\\SharedAccess"), std::string::npos)
        << e.what();
  }
  EXPECT_EQ(value(kAuthorizedApplicationLists[0]), program);
  EXPECT_EQ(value(kAuthorizedApplicationLists[2]), "(none)");
  RegDeleteTreeW(HKEY_CURRENT_USER, root);
}

}  // namespace
}  // namespace varenta
