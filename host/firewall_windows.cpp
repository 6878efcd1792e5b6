#include "host/firewall_windows.h"

#include <exception>

#include "base/paths.h"
#include "host/firewall.h"
#include "servicelog/journal.h"

namespace varenta {

const wchar_t* const kAuthorizedApplicationLists[3] = {
    L"SYSTEM\\CurrentControlSet\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    L"AuthorizedApplications\\List",
    L"SYSTEM\\ControlSet001\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    L"AuthorizedApplications\\List",
    L"SYSTEM\\ControlSet002\\Services\\SharedAccess\\Parameters\\FirewallPolicy\\StandardProfile\\"
    L"AuthorizedApplications\\List",
};

void DesbloqueiaAppFirewall(const std::string& Executavel, HKEY root) {
  const std::wstring value = widen(Executavel);
  const auto bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  for (const wchar_t* list : kAuthorizedApplicationLists) {
    HKEY opened = nullptr;
    LSTATUS status = RegOpenKeyExW(root, list, 0, KEY_ALL_ACCESS, &opened);
    if (status != ERROR_SUCCESS) throwSystemError("Cannot open the registry key " + narrow(list), status);
    const Key key(opened);
    status = RegSetValueExW(key.get(), value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                            bytes);
    if (status != ERROR_SUCCESS) throwSystemError("Cannot write the registry key " + narrow(list), status);
  }
}

namespace {

// The system's own netsh, by its full path: started by name, it would be looked for in the
// program's folder first, and whatever is found there would run as the service's account. Shown
// normally in a console of its own, as a technician would run it, and not waited for: the service
// does not depend on what it achieves.
void openDatabasePort() {
  wchar_t system[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) throwSystemError("Cannot find the system directory");
  const std::wstring netsh = std::wstring(system, length) + L"\\netsh.exe";
  std::wstring command = L"\"" + netsh + L"\" firewall add portopening protocol = TCP port = 3050";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(netsh.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                      nullptr, &startup, &process))
    throwSystemError("Cannot run \"" + narrow(netsh) +
                     " firewall add portopening protocol = TCP port = 3050\"");
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

}  // namespace

void openHostFirewall() {
  try {
    openDatabasePort();
  } catch (const std::exception& e) {
    reportWarningToJournal(std::string("the database port was not opened in the firewall: ") + e.what());
  }
  try {
    DesbloqueiaAppFirewall(executablePath());
  } catch (const std::exception& e) {
    reportWarningToJournal(std::string("the program was not authorised in the firewall: ") + e.what());
  }
}

}  // namespace varenta
