#include "tests/support/wine.h"

#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"

namespace varenta {

std::wstring quotedArgument(const std::wstring& argument) {
  std::wstring out = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

namespace {

std::wstring wide(const std::string& utf8) {
  const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), length);
  return out;
}

void startLinuxProgram(const std::vector<std::string>& argv) {
  std::wstring commandLine;
  for (const std::string& argument : argv)
    commandLine += (commandLine.empty() ? L"" : L" ") + quotedArgument(wide(argument));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    throw std::runtime_error("wine cannot start " + argv.front() + ": error " +
                             std::to_string(GetLastError()));
  // Wine hands back no process handle for a Linux program, and an id and a thread "handle" that are
  // none (whatever the call left there, an id that is not 0 among them): closing that one would close
  // whatever handle of ours shares its value (wine ignores the low two bits of a handle), a socket of
  // the caller's for one.
  if (process.hProcess != nullptr) {
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
  }
}

}  // namespace

bool underWine() {
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool preloaded(std::string_view library) {
  const char* libraries = std::getenv("LD_PRELOAD");
  return libraries != nullptr && std::string_view(libraries).find(library) != std::string_view::npos;
}

std::string linuxPathOf(const std::filesystem::path& path) {
  using ToLinux = char*(CDECL*)(const wchar_t*);
  const auto toLinux = reinterpret_cast<ToLinux>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  char* unixName = toLinux != nullptr ? toLinux(std::filesystem::absolute(path).wstring().c_str()) : nullptr;
  if (unixName == nullptr) throw std::runtime_error("wine knows no Linux path for " + path.string());
  std::string out = unixName;
  HeapFree(GetProcessHeap(), 0, unixName);
  return out;
}

std::string shellQuoted(const std::string& text) {
  std::string out = "'";
  for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

void startLinuxShell(const std::string& script) {
  // Wine hands the Linux process the Windows search path, which names no Linux directory.
  startLinuxProgram({"/bin/sh", "-c", "PATH=/usr/local/bin:/usr/bin:/bin; export PATH; " + script});
}

int runLinuxShell(const std::string& script, std::chrono::seconds timeout) {
  // The script's end is told by its status file, written whole under another name first.
  TempDir temp("varenta-shell");
  const std::filesystem::path status = std::filesystem::path(temp.path()) / "status";
  const std::string linuxStatus = linuxPathOf(status);
  startLinuxShell("(" + script + "); echo $? > " + shellQuoted(linuxStatus + ".partial") + "; mv " +
                  shellQuoted(linuxStatus + ".partial") + " " + shellQuoted(linuxStatus));
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!std::filesystem::exists(status)) {
    if (std::chrono::steady_clock::now() > deadline)
      throw std::runtime_error("did not end in time: " + script);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::ifstream in(status);
  int code = -1;
  in >> code;
  return code;
}

}  // namespace varenta
