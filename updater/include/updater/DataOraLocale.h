#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Orologio.h"
#include "quomaro/RecordsetValore.h"

namespace tervan {

/// A local date and time as the store keeps it in `ultima`: the same
/// naive calendar date and time of day that recordsets carry.
using DataOraLocale = quomaro::DataOra;

/// 1 January 1900, midnight: the last check of a row never checked.
inline constexpr DataOraLocale kMaiControllato{1900, 1, 1, 0, 0, 0, 0};

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
