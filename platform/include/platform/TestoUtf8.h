#pragma once

#include <cstddef>
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

/// The form of a name used to compare names without regard to case, as
/// Windows compares registry keys, value names and file names: letters of
/// UTF-8 text are folded to upper case (Latin, Greek, Cyrillic); any other
/// byte, and every byte of text that is not valid UTF-8, stays as it is.
[[nodiscard]] std::string MaiuscoloPerConfronto(std::string_view testo);

/// Whether two names are the same name when case is ignored.
[[nodiscard]] bool UgualiSenzaMaiuscole(std::string_view a, std::string_view b);

/// Whether `c` is a blank inside a line: a space or a tab.
[[nodiscard]] bool SpazioOrizzontale(char c);

/// `testo` without the spaces and tabs at its two ends (line ends stay).
[[nodiscard]] std::string_view SenzaSpaziAiLati(std::string_view testo);

/// The value of one hexadecimal digit (0-9, a-f, A-F), -1 for any other
/// character.
[[nodiscard]] int ValoreCifraEsadecimale(char c);

}  // namespace platform
