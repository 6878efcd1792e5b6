#pragma once
// The service log's bytes for one installation, one run that is paused, continued and stopped, and one
// removal, with the digits of every time stamp masked: the program writes exactly these on Linux and
// on Windows set up as the stores' machines are (Portuguese, Brazil; code page 1252). The tests of
// both builds hold their log against them.

#include <string>

namespace varenta {

inline const std::string kLifecycleLog =
    "##/##/#### ##:##:## - Servi\xE7o criado\r\n"
    "##/##/#### ##:##:## - Iniciando instala\xE7\xE3o do servi\xE7o\r\n"
    "##/##/#### ##:##:## - Servi\xE7o instalado com sucesso\r\n"
    "##/##/#### ##:##:## - Servi\xE7o encerrado\r\n"
    "##/##/#### ##:##:## - Servi\xE7o criado\r\n"
    "##/##/#### ##:##:## - Servi\xE7o iniciado. Primeiro ciclo do Varenta em 3 minutos.\r\n"
    "##/##/#### ##:##:## - Servi\xE7o executado\r\n"
    "##/##/#### ##:##:## - Servi\xE7o pausado\r\n"
    "##/##/#### ##:##:## - Servi\xE7o despausado\r\n"
    "##/##/#### ##:##:## - Servi\xE7o parado\r\n"
    "##/##/#### ##:##:## - Servi\xE7o encerrado\r\n"
    "##/##/#### ##:##:## - Servi\xE7o criado\r\n"
    "##/##/#### ##:##:## - Iniciando desinstala\xE7\xE3o do servi\xE7o\r\n"
    "##/##/#### ##:##:## - Servi\xE7o desinstalado com sucesso\r\n"
    "##/##/#### ##:##:## - Servi\xE7o encerrado\r\n";

// The log's bytes with the digits of each line's time stamp (its first 19 bytes) turned into "#".
inline std::string maskedTimestamps(std::string bytes) {
  for (std::size_t line = 0; line < bytes.size();) {
    for (std::size_t i = line; i < line + 19 && i < bytes.size(); ++i)
      if (bytes[i] >= '0' && bytes[i] <= '9') bytes[i] = '#';
    const std::size_t end = bytes.find("\r\n", line);
    if (end == std::string::npos) break;
    line = end + 2;
  }
  return bytes;
}

}  // namespace varenta
