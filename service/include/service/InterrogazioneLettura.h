#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string_view>

#include "quomaro/Recordset.h"
#include "service/ConnessioneSqlite.h"

namespace orvane::servizio {

/// Runs the SELECT statements that clients send, and nothing else.
///
/// The statement runs on a connection opened read-only, with query_only set
/// and an authoriser that allows reading and a list of harmless functions
/// alone; it must be one single statement that SQLite reports as
/// read-only, starting with SELECT or WITH. Its run time, the length of its values the number
/// of rows it returns and their total size are bounded, so a client cannot tie the service up.
class InterrogazioneLettura {
 public:
  /// Opens the database file (which must exist) for reading.
  explicit InterrogazioneLettura(const std::filesystem::path& file);

  /// The rows of the query as a recordset: column types from the declared
  /// types, or from the values where nothing is declared. A query without
  /// rows gives an open, empty recordset. Throws GuastoSOAP for a refused or
  /// failing statement.
  [[nodiscard]] quomaro::Recordset Esegui(std::string_view sql);

  static constexpr std::size_t kRigheMassime = 100000;
  static constexpr std::chrono::seconds kTempoMassimo{5};
  /// The longest text or blob a query may build or return, in bytes: a
  /// function asked for a huge value fails at once instead of running.
  static constexpr int kLunghezzaMassima = 4 * 1024 * 1024;
  /// The most a query's answer may hold, in bytes of values as the answer
  /// carries them (a blob as its hexadecimal text, a character that needs
  /// escaping as ten) plus kCostoValore and the column's name for each
  /// value, since many rows of large values would otherwise add up to any
  /// size. Clients refuse an answer over 64 MB anyway, markup and escapes
  /// included.
  static constexpr std::size_t kRispostaMassima = std::size_t{32} * 1024 * 1024;
  /// The markup of one value in the answer, besides its column's name.
  static constexpr std::size_t kCostoValore = 4;

 private:
  static int Interrompi(void* dati) noexcept;
  static void Formatta(sqlite3_context* contesto, int n, sqlite3_value** argomenti) noexcept;

  std::mutex mutex_;
  ConnessioneSqlite connessione_;
  // SQLite's own printf, reached only through Formatta once the widths and
  // precisions a call asks for are known to fit the length limit.
  ConnessioneSqlite formattatore_;
  std::chrono::steady_clock::time_point scadenza_;
};

}  // namespace orvane::servizio
