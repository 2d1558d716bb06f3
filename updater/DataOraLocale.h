#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Orologio.h"

namespace tervan {

/// A local date and time as the store keeps it in `ultima`.
struct DataOraLocale {
  int anno = 1900;
  int mese = 1;
  int giorno = 1;
  int ore = 0;
  int minuti = 0;
  int secondi = 0;

  friend bool operator==(const DataOraLocale&, const DataOraLocale&) = default;
};

/// The local date and time of an instant.
[[nodiscard]] DataOraLocale OraLocale(platform::Istante istante);

/// "dd/mm/yyyy hh:mm:ss", always with "/" and ":" whatever the machine's
/// regional settings, so the stored text reads back the same everywhere.
[[nodiscard]] std::string TestoUltima(const DataOraLocale& d);

/// Reads "dd/mm/yyyy hh:mm:ss" or "dd/mm/yyyy hh.mm.ss"; an empty or blank
/// text is 1 January 1900, midnight. std::nullopt for anything else.
[[nodiscard]] std::optional<DataOraLocale> LeggiUltima(std::string_view testo);

/// Minute boundaries crossed from `da` to `a` (negative when `a` is earlier).
[[nodiscard]] long long MinutiTrascorsi(const DataOraLocale& da, const DataOraLocale& a);

}  // namespace tervan
