#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Registro.h"

namespace platform {

/// One value line of a registry file: a value to set or, for "name"=-, a
/// value to delete.
struct ValoreFileRegistro {
  std::string nome;  ///< "" stands for the default value, written @
  std::uint32_t tipo = REG_NONE;
  /// The bytes as the store keeps them. Strings (REG_SZ, REG_EXPAND_SZ,
  /// REG_MULTI_SZ) are UTF-8 with their terminating zero bytes; in the file
  /// the hex forms of strings hold UTF-16LE, as the Windows editor writes.
  std::string dati;
  bool cancella = false;
  bool operator==(const ValoreFileRegistro&) const = default;
};

/// A "[KEY]" section with its values, or a "[-KEY]" deletion.
struct SezioneFileRegistro {
  std::string chiave;  ///< full path, root name first
  bool cancella = false;
  std::vector<ValoreFileRegistro> valori;
  std::size_t riga = 0;  ///< line of the section header (not compared)
  bool operator==(const SezioneFileRegistro& altra) const {
    return chiave == altra.chiave && cancella == altra.cancella && valori == altra.valori;
  }
};

/// What a registry file holds. A file without the editor's header line is
/// not a registry file at all (`riconosciuto` false, no sections). Lines that
/// cannot be used are skipped; the first few are listed in `problemi` and all
/// are counted.
struct FileRegistro {
  bool riconosciuto = false;
  std::vector<SezioneFileRegistro> sezioni;
  std::vector<ProblemaRegistro> problemi;
  std::size_t numeroProblemi = 0;
};

/// Reads the text of a registry file: UTF-8 (with or without a byte order
/// mark) or UTF-16 with a byte order mark, "Windows Registry Editor Version
/// 5.00" or "REGEDIT4", CR LF or LF line ends.
[[nodiscard]] FileRegistro AnalizzaFileRegistro(std::string_view contenuto);

/// The text of a registry file with these sections, in UTF-8 with CR LF line
/// ends, for the Windows editor and for AnalizzaFileRegistro alike.
[[nodiscard]] std::string TestoFileRegistro(const std::vector<SezioneFileRegistro>& sezioni);

/// UTF-8 text (any bytes) to UTF-16LE and back. Bytes that are not valid
/// UTF-8 travel as the lone surrogates U+DC80..U+DCFF, so every byte string
/// comes back unchanged.
[[nodiscard]] std::string Utf16leDaUtf8(std::string_view testo);
[[nodiscard]] std::string Utf8DaUtf16le(std::string_view byte);

}  // namespace platform
