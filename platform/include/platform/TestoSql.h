#pragma once

#include <string>
#include <string_view>

namespace platform {

/// The SQL literal of a text value: the value between single quotes, with
/// every quote inside doubled ("l'altro" gives "'l''altro'"); every other
/// byte stays as it is. For the statement and filter texts that must be
/// built from a value (the service's SQL operations, recordset filters);
/// statements the program prepares itself bind their values instead.
[[nodiscard]] std::string LetteraleSql(std::string_view valore);

}  // namespace platform
