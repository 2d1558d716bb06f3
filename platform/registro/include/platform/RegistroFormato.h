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

/// Reads a registry file: UTF-16 with a byte order mark (as the Windows
/// editor writes "Windows Registry Editor Version 5.00" files), UTF-8 with
/// or without one (as this store wrote its files before), or, for a
/// "REGEDIT4" file without a byte order mark, the Windows ANSI code page
/// 1252; CR LF or LF line ends. In a "REGEDIT4" file the hex forms of
/// strings hold code page 1252 bytes, in the other UTF-16LE. What the
/// Windows editor accepts is accepted: comments after an entry, blank and
/// comment lines inside hex data wrapped over several lines.
[[nodiscard]] FileRegistro AnalizzaFileRegistro(std::string_view contenuto);

/// The bytes of a registry file with these sections, as the Windows editor
/// writes them: UTF-16LE with a byte order mark and CR LF line ends.
/// AnalizzaFileRegistro reads back exactly the same sections.
[[nodiscard]] std::string TestoFileRegistro(const std::vector<SezioneFileRegistro>& sezioni);

/// The text of a registry file in any of the encodings AnalizzaFileRegistro
/// reads, in UTF-8: for showing on a terminal.
[[nodiscard]] std::string TestoUtf8DelFileRegistro(std::string_view contenuto);

/// How the strings of the store (names and string data: UTF-8, or any bytes
/// a program stored) travel as UTF-16LE in a file, and back. The two are
/// exact inverses in both directions: every byte string of the store comes
/// back from the file unchanged, and every UTF-16LE byte string of a file
/// comes back unchanged from the store, even when it is not valid UTF-16.
///
/// Valid UTF-8 is valid UTF-16 and the other way round. A byte that is not
/// part of valid UTF-8 travels as the lone surrogate U+DC00 + byte. UTF-16
/// data that this leaves unaccounted for (an odd trailing byte, other lone
/// surrogates) is kept in the store as its characters in UTF-8, each lone
/// surrogate as its three-byte form, followed by the bytes 0x00 0xFF and the
/// odd byte, if any (so a reader that stops at the first zero byte reads
/// the characters alone). `nome` is for key and value names, which are whole UTF-16
/// characters in a file and so have no odd byte.
[[nodiscard]] std::string Utf16leDaUtf8(std::string_view testo, bool nome = false);
[[nodiscard]] std::string Utf8DaUtf16le(std::string_view byte, bool nome = false);

}  // namespace platform
