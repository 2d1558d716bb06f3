#pragma once

#include <string>

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

}  // namespace quomaro::strumento
