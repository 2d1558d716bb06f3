#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

/// Decodes the UTF-8 sequence that starts at `i` into `c`; returns its
/// length in bytes, or 0 when the bytes there are not valid UTF-8 (overlong
/// forms and surrogates count as invalid).
[[nodiscard]] std::size_t DecodificaUtf8(std::string_view testo, std::size_t i, char32_t& c);

/// Appends the UTF-8 form of `c` (surrogates included, as three bytes).
void CodificaUtf8(char32_t c, std::string& out);

/// Whether the bytes are valid UTF-8 throughout.
[[nodiscard]] bool Utf8Valido(std::string_view testo);

/// `testo` when it has at most `massimo` bytes; otherwise its first bytes
/// (at most `massimo`, never half a UTF-8 character) followed by
/// "... (<n> byte)", n being its whole length. For text that may come from
/// the network on its way to a log, a message box or a notification.
[[nodiscard]] std::string TestoAccorciato(std::string_view testo, std::size_t massimo);

/// `testo` with every control character (C0, DEL and C1 in UTF-8) written
/// as \xHH: for names and texts that others chose, on their way to a line
/// that people or scripts read (a terminal, a log record), where a line
/// break or an escape sequence would forge what follows.
[[nodiscard]] std::string ControlliVisibili(std::string_view testo);

/// Whether an XML 1.0 document can carry `c` as text: not a control
/// character other than tab, line feed and carriage return, nor U+FFFE or
/// U+FFFF.
[[nodiscard]] bool CarattereXml(char32_t c);

/// `testo` with every character an XML document cannot carry (see
/// CarattereXml), and every byte that is not UTF-8, replaced by a blank.
[[nodiscard]] std::string TestoPerXml(std::string_view testo);

// The project's one home for case folding and trimming: every layer uses
// these, and each name says its semantics.

/// UTF-8 case, for the names Windows compares without regard to case
/// (registry keys, value names, file names, class identities): the form of
/// a name used to compare, with letters of UTF-8 text folded to upper case
/// (Latin, Greek, Cyrillic); any other byte, and every byte of text that is
/// not valid UTF-8, stays as it is.
[[nodiscard]] std::string MaiuscoloPerConfrontoUtf8(std::string_view testo);

/// Whether two names are the same name when UTF-8 case is ignored.
[[nodiscard]] bool UgualiSenzaMaiuscoleUtf8(std::string_view a, std::string_view b);

/// ASCII case, for the names of protocols and languages (HTTP header
/// names, SQL words, recordset field names and types, command words): only
/// the letters A-Z and a-z change; every other byte, UTF-8 text included,
/// stays as it is. The locale plays no part.
[[nodiscard]] constexpr char MinuscolaAscii(char c) noexcept {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
[[nodiscard]] constexpr char MaiuscolaAscii(char c) noexcept {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
[[nodiscard]] std::string MinuscoloAscii(std::string_view testo);
[[nodiscard]] std::string MaiuscoloAscii(std::string_view testo);
[[nodiscard]] bool UgualiSenzaMaiuscoleAscii(std::string_view a, std::string_view b);
[[nodiscard]] bool IniziaSenzaMaiuscoleAscii(std::string_view testo, std::string_view prefisso);
/// Three-way comparison of the ASCII-lower-cased bytes (as unsigned
/// values): negative, zero or positive.
[[nodiscard]] int ConfrontaSenzaMaiuscoleAscii(std::string_view a, std::string_view b);

/// Whether `c` is a blank inside a line: a space or a tab.
[[nodiscard]] bool SpazioOrizzontale(char c);

/// Whether `c` is ASCII white space: space, tab, line feed, vertical tab,
/// form feed or carriage return (what `isspace` means in the C locale).
[[nodiscard]] bool BiancoAscii(char c);

/// `testo` without the space characters (' ' only) at its two ends, as
/// Basic's Trim$ removes them.
[[nodiscard]] std::string_view SenzaCaratteriSpazioAiLati(std::string_view testo);

/// `testo` without the spaces and tabs at its two ends (line ends stay).
[[nodiscard]] std::string_view SenzaSpaziAiLati(std::string_view testo);

/// `testo` without the ASCII white space (see BiancoAscii) at its two ends,
/// line ends included.
[[nodiscard]] std::string_view SenzaBianchiAiLati(std::string_view testo);

/// The value of one hexadecimal digit (0-9, a-f, A-F), -1 for any other
/// character.
[[nodiscard]] int ValoreCifraEsadecimale(char c);

/// The number that 1 to 8 hexadecimal digits, and nothing else, write.
[[nodiscard]] std::optional<std::uint32_t> NumeroEsadecimale(std::string_view testo);

}  // namespace platform
