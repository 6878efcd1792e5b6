#include <iostream>
#include <string>

#include "base/win32.h"
#include "servicelog/event_messages.h"
#include "servicelog/journal.h"

namespace varenta {
namespace {

// An operator running the service in a console reads these lines there: the console takes UTF-16,
// so that "Serviço" shows as written whatever the console's code page. Redirected to a file (or
// captured by a test), standard error gets the UTF-8 bytes.
void writeStandardError(std::string_view text) {
  std::cerr.flush();
  if (!writeConsole(STD_ERROR_HANDLE, std::string(text) + "\r\n")) std::cerr << text << std::endl;
}

}  // namespace

// The event source is registered on installation with the program as its message file, whose one
// message is the text itself; without that registration (a program never installed) the Event
// Viewer still shows the text, after a remark that it has no description for the event.
void writeJournalEntry(JournalSeverity severity, std::string_view text) {
  writeStandardError(text);
  const HANDLE source = RegisterEventSourceW(nullptr, L"SrvVarenta");
  if (!source) return;
  const std::wstring wide = widen(text);
  const wchar_t* strings[] = {wide.c_str()};
  const WORD type = severity == JournalSeverity::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE;
  const DWORD id = severity == JournalSeverity::Error ? MSG_SERVICE_ERROR : MSG_SERVICE_WARNING;
  ReportEventW(source, type, 0, id, nullptr, 1, 0, strings, nullptr);
  DeregisterEventSource(source);
}

}  // namespace varenta
