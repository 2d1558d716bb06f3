#include "service/ConnessioneSqlite.h"

#include <limits>
#include <stdexcept>

namespace orvane::servizio {

ConnessioneSqlite::ConnessioneSqlite(const std::filesystem::path& file, Modo modo) {
  sqlite3* db = nullptr;
  const int flag =
      modo == Modo::SolaLettura ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  // A link in place of the database would have the service write wherever it points.
  const int esito = sqlite3_open_v2(file.c_str(), &db,
                                    flag | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
  db_.reset(db);
  if (esito != SQLITE_OK) {
    std::error_code ec;
    if (std::filesystem::is_symlink(std::filesystem::symlink_status(file, ec))) {
      throw std::runtime_error("Il database " + file.string() +
                               " è un collegamento: il servizio non lo segue");
    }
    Fallisci("Impossibile aprire il database " + file.string());
  }
  // Asked for writing, SQLite opens a file it may not write read-only and
  // says nothing: every write would fail later, request by request.
  if (modo == Modo::LetturaScrittura && sqlite3_db_readonly(db, "main") == 1) {
    throw std::runtime_error("Il database " + file.string() +
                             " è in sola lettura: il servizio deve poterlo scrivere");
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, 5000);
}

void ConnessioneSqlite::Esegui(const char* sql) const {
  if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
    Fallisci("Errore del database");
  }
}

Istruzione ConnessioneSqlite::Prepara(std::string_view sql, std::string_view* coda) const {
  if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw std::length_error("Istruzione SQL troppo lunga");
  }
  sqlite3_stmt* istruzione = nullptr;
  const char* fine = nullptr;
  const int esito =
      sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &istruzione, &fine);
  Istruzione preparata(istruzione);
  if (esito != SQLITE_OK) Fallisci("Istruzione SQL non valida");
  if (coda != nullptr) *coda = sql.substr(static_cast<std::size_t>(fine - sql.data()));
  return preparata;
}

void ConnessioneSqlite::Lega(sqlite3_stmt* istruzione, int indice, std::string_view testo) {
  if (sqlite3_bind_text64(istruzione, indice, testo.data(), testo.size(), SQLITE_TRANSIENT,
                          SQLITE_UTF8) != SQLITE_OK) {
    throw std::runtime_error("Impossibile legare il parametro " + std::to_string(indice));
  }
}

void ConnessioneSqlite::Fallisci(const std::string& cosa) const {
  throw std::runtime_error(cosa + ": " + (db_ ? sqlite3_errmsg(db_.get()) : "memoria esaurita"));
}

}  // namespace orvane::servizio
