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

// Why the library at `path` could not be loaded. The loader says "module not found" both for a
// missing file and for a library that is there but needs another it cannot find (a client copied
// without its C runtime): the technician, who sees the file, is told which.
std::string reason(const std::wstring& path, DWORD error) {
  switch (error) {
    case ERROR_MOD_NOT_FOUND:
      if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return "presente, mas falta uma biblioteca de que ele depende, como o runtime do C";
      return "não encontrado";
    case ERROR_BAD_EXE_FORMAT:
      return "não é de 64 bits";
    default:
      return "erro " + std::to_string(error);
  }
}

std::wstring systemDir() {
  wchar_t dir[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryW(dir, MAX_PATH);
  return std::wstring(dir, length < MAX_PATH ? length : 0) + L"\\";
}

}  // namespace

Firebird::IMaster* loadMasterInterface() {
  // A missing library, or a missing dependency of it, must not stop an unattended service on a dialog
  // box nobody sees: the loader reports the failure to us instead.
  SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);

  // The store's own copy beside the program first, then the one of the Firebird installation, then
  // the system directory; never the current directory or PATH, where any user of the machine may
  // put a library for the service (the local system account) to run. Each is loaded by its full
  // path, and what it needs (its C runtime) comes from its own directory and the system directory
  // alone.
  constexpr DWORD kFlags = LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32;
  std::vector<std::string> tried;
  std::wstring loadedDir;
  const auto load = [&](const std::wstring& dir) {
    const std::wstring path = dir + kLibrary;
    const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, kFlags);
    if (module)
      loadedDir = dir;
    else
      tried.push_back(narrow(path) + " (" + reason(path, GetLastError()) + ")");
    return module;
  };
  HMODULE module = load(widen(executableDir()));
  if (!module) {
    const std::wstring installed = installedFirebirdDir();
    if (installed.empty())
      tried.push_back("nenhuma instalação do Firebird no registro");
    else
      module = load(installed);
  }
  if (!module) module = load(systemDir());
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
  // What the client itself loads later by name (its wire compression's zlib1.dll, say) comes from its
  // own directory, beside the system directory the program allows (host/main.cpp).
  AddDllDirectory(loadedDir.c_str());
  return master;
}

}  // namespace varenta::fb
