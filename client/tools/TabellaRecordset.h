#pragma once

#include <string>
#include <string_view>

#include "quomaro/Recordset.h"

namespace quomaro::strumento {

/// The visible records of an open recordset as a text table: a header with
/// the column names, a rule, one line per record in the current order, then
/// the count of records. Columns are as wide as their longest value (counted
/// in characters, not bytes); numbers are aligned right, everything else
/// left; NULL shows as "NULL"; line breaks and other control characters in a
/// value become blanks, so every record stays on one line. Moves the
/// recordset's cursor.
[[nodiscard]] std::string TabellaRecordset(Recordset& rs);

/// A value on one line: a CR LF pair, and any other control character (C0,
/// DEL, and C1 in UTF-8, which terminals such as xterm also obey), becomes
/// one blank, so that no escape sequence reaches the terminal.
[[nodiscard]] std::string SuUnaRiga(std::string_view testo);

}  // namespace quomaro::strumento
