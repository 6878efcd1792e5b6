// A program the Windows tests put where another is looked for (netsh beside the service's program,
// icacls in the system directory): it appends its command line to "<its own path>.ran" and ends with
// the status written in "<its own path>.status" (0 without that file).

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

int main() {
  wchar_t self[MAX_PATH] = {};
  const std::wstring path(self, GetModuleFileNameW(nullptr, self, MAX_PATH));
  std::wofstream(std::filesystem::path(path + L".ran"), std::ios::app) << GetCommandLineW() << L"\n";
  int status = 0;
  std::ifstream(std::filesystem::path(path + L".status")) >> status;
  return status;
}
