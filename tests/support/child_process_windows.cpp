#include <windows.h>

#include <filesystem>
#include <stdexcept>
#include <string_view>

#include "base/paths.h"
#include "base/utf16.h"
#include "tests/support/child_process.h"
#include "tests/support/files.h"
#include "tests/support/wine.h"

namespace varenta {
namespace {

// The test's Ctrl+C goes to every process of its console, the test's own included, which lets it
// pass.
BOOL WINAPI letPass(DWORD event) {
  return event == CTRL_C_EVENT;
}

// A console of the test's own, for the children it starts to share: the one ctest's process was
// given (if any) is not the test's to interrupt, and wine delivers a console's control events only
// to a console made by the process (AllocConsole).
void ownConsole() {
  static const bool made = [] {
    FreeConsole();
    return AllocConsole() && SetConsoleCtrlHandler(letPass, TRUE);
  }();
  if (!made)
    throw std::runtime_error("no console for the test's programs: error " + std::to_string(GetLastError()));
}

HANDLE outputFile(const std::string& path) {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  const HANDLE file =
      CreateFileW(widen(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  &inherit, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) throw std::runtime_error("cannot write " + path);
  return file;
}

}  // namespace

ChildProcess::ChildProcess(const std::string& program, const std::vector<std::string>& arguments,
                           const std::vector<std::string>& variables, const std::string& outFile,
                           const std::string& errFile) {
  ownConsole();
  std::wstring environment;
  const wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* e = block; *e; e += wcslen(e) + 1)
    if (!std::wstring_view(e).starts_with(L"VARENTA_")) environment += e + std::wstring(1, L'\0');
  FreeEnvironmentStringsW(const_cast<wchar_t*>(block));
  for (const std::string& v : variables) environment += widen(v) + std::wstring(1, L'\0');
  environment += L'\0';
  std::wstring command = quotedArgument(widen(program));
  for (const std::string& a : arguments) command += L" " + quotedArgument(widen(a));

  const HANDLE out = outputFile(outFile);
  const HANDLE err = outputFile(errFile);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = out;
  startup.hStdError = err;
  PROCESS_INFORMATION process{};
  const BOOL started =
      CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                     environment.data(), nullptr, &startup, &process);
  const DWORD error = GetLastError();
  CloseHandle(out);
  CloseHandle(err);
  if (!started) throw std::runtime_error("cannot start " + program + ": error " + std::to_string(error));
  CloseHandle(process.hThread);
  handle_ = reinterpret_cast<std::intptr_t>(process.hProcess);
  id_ = process.dwProcessId;
}

ChildProcess::~ChildProcess() {
  if (!ended_) kill();
  CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool ChildProcess::running() {
  if (!ended_ && WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), 0) == WAIT_OBJECT_0) {
    DWORD status = 0;
    GetExitCodeProcess(reinterpret_cast<HANDLE>(handle_), &status);
    ended_ = true;
    status_ = static_cast<int>(status);
  }
  return !ended_;
}

int ChildProcess::wait() {
  WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), INFINITE);
  running();
  return status_;
}

void ChildProcess::kill() {
  TerminateProcess(reinterpret_cast<HANDLE>(handle_), 137);
  wait();
}

int ChildProcess::stop(std::chrono::seconds patience) {
  if (running()) {
    GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
    const DWORD wait = static_cast<DWORD>(std::chrono::milliseconds(patience).count());
    if (WaitForSingleObject(reinterpret_cast<HANDLE>(handle_), wait) != WAIT_OBJECT_0) kill();
    running();
  }
  return status_;
}

std::string programText(const std::string& path) {
  std::string text = readFile(path);
  std::string lf;
  for (std::size_t i = 0; i < text.size(); ++i)
    if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) lf += text[i];
  return lf;
}

std::string copyProgram(const std::string& binary, const std::string& directory) {
  namespace fs = std::filesystem;
  const fs::path copy = fs::path(widen(directory)) / fs::path(widen(binary)).filename();
  fs::copy_file(fs::path(widen(binary)), copy, fs::copy_options::overwrite_existing);
  const fs::path client = fs::path(widen(executableDir())) / L"fbclient.dll";
  if (fs::exists(client))
    fs::copy_file(client, copy.parent_path() / L"fbclient.dll", fs::copy_options::overwrite_existing);
  return narrow(copy.wstring());
}

}  // namespace varenta
