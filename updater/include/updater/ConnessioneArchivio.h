#pragma once

#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tervan {

/// Owner of an SQLite prepared statement.
struct FinalizzaIstruzione {
  void operator()(sqlite3_stmt* s) const noexcept { sqlite3_finalize(s); }
};
using Istruzione = std::unique_ptr<sqlite3_stmt, FinalizzaIstruzione>;

/// The connection to the local store "Tervan.mdb" (an SQLite database that
/// ships with the program). It opens an existing file only: a missing store
/// is never created behind the user's back. Failures are thrown as
/// orvane::Errore for the calling routine's failure handler.
class ConnessioneArchivio {
 public:
  ConnessioneArchivio() = default;

  /// Opens the file read-write, without the create flag and never through
  /// a link. A missing or
  /// unreadable file, or one that is no database, has damaged pages or no
  /// table at all, fails with the reason naming the file, which every later
  /// operation repeats after "Connessione all'archivio non aperta".
  void Apri(const std::filesystem::path& file);
  /// Whether the last Apri failed on the file's content (no database,
  /// damaged, empty) rather than on reaching it or on another process.
  [[nodiscard]] bool Danneggiato() const noexcept { return danneggiato_; }
  /// Leaves the connection closed for `motivo` (the store could not even be
  /// put in place), which every later operation names as Apri's would be.
  void NonAperta(std::string motivo);
  /// How long an operation waits while another process holds the store.
  void AttesaBlocco(std::chrono::milliseconds attesa);
  void Chiudi() noexcept;
  [[nodiscard]] bool Aperta() const noexcept { return db_ != nullptr; }

  /// What the connection opens, in the form the system has always shown:
  /// "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=<program folder>/Tervan.mdb".
  [[nodiscard]] const std::string& ConnectionString() const noexcept { return descrizione_; }

  /// Executes one statement of the system's fixed texts, with `valori`
  /// bound as text parameters to its "?" marks. The Jet spelling
  /// "delete * from ..." is accepted and run as "delete from ...".
  void Execute(std::string_view sql, const std::vector<std::string>& valori = {});

  /// Prepares one statement with its values bound as text parameters.
  [[nodiscard]] Istruzione Prepara(std::string_view sql,
                                   const std::vector<std::string>& valori = {});

  /// Steps a prepared statement: true while it yields a row.
  bool Passo(sqlite3_stmt* istruzione);

  /// Row id of the last row inserted, and rows changed by the last statement.
  [[nodiscard]] std::int64_t UltimoRowid() const noexcept;
  [[nodiscard]] int RigheCambiate() const noexcept;

 private:
  struct ChiudiDb {
    void operator()(sqlite3* db) const noexcept { sqlite3_close_v2(db); }
  };
  [[noreturn]] void Fallisci(int codice) const;

  std::unique_ptr<sqlite3, ChiudiDb> db_;
  std::string descrizione_;
  std::string motivo_;  // why the last Apri failed
  bool danneggiato_ = false;
};

/// The statement as SQLite runs it: a leading "delete * from" (any case,
/// any spacing) becomes "delete from"; every other text is unchanged.
[[nodiscard]] std::string TraduciDialettoJet(std::string_view sql);

}  // namespace tervan
