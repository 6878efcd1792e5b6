// A program the Windows tests put in another's place (a netsh.exe beside the service's program, an
// installed prjSrvVarenta.exe that fails): it appends its command line to "<its own path>.ran" and
// ends with the status written in "<its own path>.status" (0 without that file).

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
