#include <windows.h>

#include <string>
#include <vector>

#include "base/paths.h"
#include "base/utf16.h"
#include "storedb/fb_client.h"

namespace varenta::fb {
namespace {

constexpr const wchar_t* kLibrary = L"fbclient.dll";

// The directory of the Firebird server installed on this machine, as its installer records it; empty
// when there is none (a 32-bit Firebird records it in the registry's 32-bit view, and its client
// could not be loaded into this 64-bit program anyway).
std::wstring installedFirebirdDir() {
  wchar_t dir[MAX_PATH] = {};
  DWORD size = sizeof dir;
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Firebird Project\\Firebird Server\\Instances",
                   L"DefaultInstance", RRF_RT_REG_SZ, nullptr, dir, &size) != ERROR_SUCCESS)
    return {};
  std::wstring path(dir);
  if (!path.empty() && path.back() != L'\\' && path.back() != L'/') path += L'\\';
  return path;
}

std::string reason(DWORD error) {
  switch (error) {
    case ERROR_MOD_NOT_FOUND:
      return "não encontrado";
    case ERROR_BAD_EXE_FORMAT:
      return "não é de 64 bits";
    default:
      return "erro " + std::to_string(error);
  }
}

}  // namespace

Firebird::IMaster* loadMasterInterface() {
  // A missing library, or a missing dependency of it, must not stop an unattended service on a dialog
  // box nobody sees: the loader reports the failure to us instead.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

  // The store's own copy beside the program first, then the one of the Firebird installation, then
  // whatever Windows' search path finds. A library loaded by its full path finds its own
  // dependencies in its own directory (LOAD_WITH_ALTERED_SEARCH_PATH).
  std::vector<std::string> tried;
  const auto load = [&](const std::wstring& path, const std::string& where, DWORD flags) {
    const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, flags);
    if (!module) tried.push_back(where + " (" + reason(GetLastError()) + ")");
    return module;
  };
  const std::wstring beside = widen(executableDir()) + kLibrary;
  HMODULE module = load(beside, narrow(beside), LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) {
    const std::wstring installed = installedFirebirdDir();
    if (installed.empty())
      tried.push_back("nenhuma instalação do Firebird no registro");
    else
      module = load(installed + kLibrary, narrow(installed + kLibrary), LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (!module) module = load(kLibrary, "caminho de busca do Windows", 0);
  if (!module) {
    std::string places;
    for (const std::string& place : tried) places += (places.empty() ? "" : ", ") + place;
    throw EClientMissing("Cliente do Firebird (fbclient.dll) não encontrado: " + places);
  }

  // A library of that name from before Firebird 3 has no master interface: the service cannot use it.
  using Entry = Firebird::IMaster*(ISC_EXPORT*)();
  const auto entry =
      reinterpret_cast<Entry>(reinterpret_cast<void*>(GetProcAddress(module, "fb_get_master_interface")));
  Firebird::IMaster* const master = entry ? entry() : nullptr;
  if (!master) {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(module, path, MAX_PATH);
    FreeLibrary(module);
    throw EClientMissing(
        "Cliente do Firebird sem fb_get_master_interface (é preciso o Firebird 3 ou mais novo): " +
        narrow(path));
  }
  return master;
}

}  // namespace varenta::fb
