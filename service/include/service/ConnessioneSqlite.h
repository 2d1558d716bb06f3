#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace orvane::servizio {

struct FinalizzaIstruzione {
  void operator()(sqlite3_stmt* istruzione) const noexcept { sqlite3_finalize(istruzione); }
};

/// A prepared statement, finalised when it goes.
using Istruzione = std::unique_ptr<sqlite3_stmt, FinalizzaIstruzione>;

/// One connection to the service's SQLite database, closed when it goes.
class ConnessioneSqlite {
 public:
  enum class Modo { LetturaScrittura, SolaLettura };

  /// Opens the database (creating it when writable), never through a link;
  /// throws std::runtime_error naming the file and SQLite's reason, or
  /// naming the file when it is a link, or when it was asked for writing and
  /// can only be read.
  ConnessioneSqlite(const std::filesystem::path& file, Modo modo);

  [[nodiscard]] sqlite3* Db() const noexcept { return db_.get(); }

  /// Runs statements that take no parameters (the schema, transactions).
  void Esegui(const char* sql) const;

  /// Prepares the first statement of `sql`; `coda` receives what follows it.
  /// Throws std::runtime_error with SQLite's message.
  [[nodiscard]] Istruzione Prepara(std::string_view sql, std::string_view* coda = nullptr) const;

  /// Binds text to parameter `indice` (from 1), copied by SQLite.
  static void Lega(sqlite3_stmt* istruzione, int indice, std::string_view testo);

  /// Throws std::runtime_error with `cosa` and SQLite's last message.
  [[noreturn]] void Fallisci(const std::string& cosa) const;

 private:
  struct ChiudiDb {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
  };
  std::unique_ptr<sqlite3, ChiudiDb> db_;
};

}  // namespace orvane::servizio
