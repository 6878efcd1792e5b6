#pragma once
// Tolvane.ini written by a test: the bytes as given, or one text saved as each kind of editor saves
// it (Notepad's UTF-8 with a byte order mark or, lately, without one; older editors' ANSI code page,
// also after Notepad's mark).

#include <fstream>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/regional.h"
#include "base/text.h"

namespace varenta {

// Writes the bytes `text` as Tolvane.ini into `dir` (UTF-8, ending in a separator).
inline void writeIni(const std::string& dir, const std::string& text) {
  std::ofstream(utf8Path(dir + "Tolvane.ini"), std::ios::binary) << text;
}

// The file naming the database `path` on `server`, as a technician writes it.
inline std::string iniNaming(const std::string& server, const std::string& path) {
  return "[Tolvane]\r\nServidor=" + server + "\r\nCaminho=" + path + "\r\n";
}

struct SavedIni {
  const char* editor;
  std::string bytes;
};

inline std::vector<SavedIni> savedAsEditorsDo(const std::string& text) {
  return {{"UTF-8 with a byte order mark", std::string(kUtf8ByteOrderMark) + text},
          {"UTF-8 without one", text},
          {"the ANSI code page", regionalBytes(text)},
          {"a byte order mark, then the ANSI code page (an older editor's change to Notepad's file)",
           std::string(kUtf8ByteOrderMark) + regionalBytes(text)}};
}

}  // namespace varenta
