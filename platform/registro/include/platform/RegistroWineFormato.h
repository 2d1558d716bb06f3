#pragma once

#include <string_view>

#include "platform/RegistroFormato.h"

namespace platform {

/// Reads a registry file of a Wine prefix ("user.reg", "system.reg"): the
/// header line "WINE REGISTRY Version 2", comment lines (";"), option lines
/// ("#arch=" before the first key; "#time=", "#class=", "#link" inside a
/// key), key lines "[Software\\Orvane] 1700000000" (path relative to the
/// file's root, optional time stamp) and value lines ("name" or @, then
/// "text", str(N):"text", dword:, hex: or hex(N): with "\"-wrapped lines).
/// Quoted text uses Wine's escapes (\\ \" \[ \] \a \b \t \n \v \f \r \e,
/// octal \ooo, \xhhhh for one UTF-16 unit) and raw printable ASCII and DEL.
/// Key names are taken as Wine takes them: up to 256 UTF-16 units, any
/// character but the zero, paths up to registro::kProfonditaWine levels.
/// Sections carry the key path without a root name, names and string data
/// as the store keeps them (UTF-8, strings with their terminating zero).
///
/// A line that cannot be taken (another escape, a raw byte outside ASCII, a
/// key name beyond those limits, ...) is a problem and is skipped, a key
/// with its values; the rest is read. A file that is not Wine's (no header),
/// is cut short (a last line without its line end, hex data that stops at
/// the end) or holds more than 500,000 keys or 2,000,000 values is not
/// `riconosciuto`, has no sections and must not be used at all.
[[nodiscard]] FileRegistro AnalizzaFileRegistroWine(std::string_view contenuto);

}  // namespace platform
