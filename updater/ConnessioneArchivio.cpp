#include "updater/ConnessioneArchivio.h"

#include <algorithm>
#include <limits>
#include <system_error>

#include "common/Errore.h"
#include "platform/TestoUtf8.h"

namespace tervan {
namespace {

// The number the data-access layer reports for a failure of the database
// engine (unspecified error), with the reason Motivo gives.
constexpr long kErroreArchivio = -2147467259;

// How long an operation waits for another process that holds the store.
constexpr int kAttesaBloccoMs = 5000;

bool ParolaA(std::string_view testo, std::size_t& pos, std::string_view parola) {
  while (pos < testo.size() && platform::BiancoAscii(testo[pos]))
    ++pos;
  if (!platform::IniziaSenzaMaiuscoleAscii(testo.substr(pos), parola)) return false;
  pos += parola.size();
  return true;
}

// Why SQLite failed, as the box and the log give it: the system's own
// reason when a file operation failed (a full disk, a file that cannot be
// opened or read), the program's words for what the store is in, and
// SQLite's own message only for a statement the program got wrong, which
// only a developer reads.
std::string Motivo(sqlite3* db, int codice) {
  const int primario = codice & 0xFF;
  const int sistema = db != nullptr ? sqlite3_system_errno(db) : 0;
  if (sistema != 0 &&
      (primario == SQLITE_CANTOPEN || primario == SQLITE_IOERR || primario == SQLITE_FULL)) {
    return orvane::TestoErroreDiSistema(std::system_error(sistema, std::generic_category()));
  }
  switch (primario) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "Archivio in uso da un altro programma";
    case SQLITE_READONLY:
      return "Archivio di sola lettura";
    case SQLITE_IOERR:
      return "Errore di lettura o scrittura dell'archivio";
    case SQLITE_CORRUPT:
      return "Archivio danneggiato";
    case SQLITE_FULL:
      return "Disco pieno";
    case SQLITE_CANTOPEN:
      return "Impossibile aprire il file dell'archivio";
    case SQLITE_NOTADB:
      return "Il file non è un archivio";
    case SQLITE_NOMEM:
      return "Memoria esaurita";
    default:
      return db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(codice);
  }
}

// What makes an opened store unusable whatever is done with it, "" when
// nothing does: pages SQLite finds damaged, or no table at all (a file cut
// to nothing reads as an empty database). A store another process holds is
// not judged: the operations that follow wait for it and say so.
std::string Danno(sqlite3* db) {
  sqlite3_stmt* grezza = nullptr;
  if (sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &grezza, nullptr) != SQLITE_OK)
    return (sqlite3_errcode(db) & 0xFF) == SQLITE_CORRUPT
               ? std::string("archivio danneggiato (") + sqlite3_errmsg(db) + ")"
               : std::string();
  const std::unique_ptr<sqlite3_stmt, FinalizzaIstruzione> controllo(grezza);
  const int rc = sqlite3_step(controllo.get());
  if ((rc & 0xFF) == SQLITE_CORRUPT || (rc & 0xFF) == SQLITE_NOTADB)
    return std::string("archivio danneggiato (") + sqlite3_errmsg(db) + ")";
  if (rc != SQLITE_ROW) return {};
  const auto* esito = reinterpret_cast<const char*>(sqlite3_column_text(controllo.get(), 0));
  if (esito == nullptr || std::string_view(esito) != "ok") {
    // SQLite's report is one line per damaged page; the reason is one line.
    std::string danno = esito != nullptr ? esito : "";
    std::replace(danno.begin(), danno.end(), '\n', ' ');
    return "archivio danneggiato (" + danno + ")";
  }
  sqlite3_stmt* tabelle = nullptr;
  if (sqlite3_prepare_v2(db, "SELECT count(*) FROM sqlite_schema", -1, &tabelle, nullptr) !=
      SQLITE_OK)
    return {};
  const std::unique_ptr<sqlite3_stmt, FinalizzaIstruzione> conta(tabelle);
  if (sqlite3_step(conta.get()) == SQLITE_ROW && sqlite3_column_int64(conta.get(), 0) == 0)
    return "archivio vuoto, senza la tabella AGGIOR";
  return {};
}

}  // namespace

std::string TraduciDialettoJet(std::string_view sql) {
  std::size_t pos = 0;
  if (!ParolaA(sql, pos, "delete")) return std::string(sql);
  const std::size_t dopoDelete = pos;
  if (!ParolaA(sql, pos, "*")) return std::string(sql);
  std::size_t dopoAsterisco = pos;
  if (!ParolaA(sql, dopoAsterisco, "from")) return std::string(sql);
  return std::string(sql.substr(0, dopoDelete)) + std::string(sql.substr(pos));
}

void ConnessioneArchivio::Apri(const std::filesystem::path& file) {
  Chiudi();
  motivo_.clear();
  danneggiato_ = false;
  descrizione_ = "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + file.string();
  sqlite3* db = nullptr;
  int rc =
      sqlite3_open_v2(file.c_str(), &db,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_NOFOLLOW, nullptr);
  db_.reset(db);
  if (rc == SQLITE_OK) {
    sqlite3_busy_timeout(db, kAttesaBloccoMs);
    sqlite3_extended_result_codes(db, 1);
    // SQLite reads the file only at the first statement: read its schema
    // now, so that a file that is no database is found here.
    rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_schema", nullptr, nullptr, nullptr);
    if ((rc & 0xFF) != SQLITE_NOTADB) {
      const std::string danno = Danno(db);
      if (danno.empty()) return;
      danneggiato_ = true;
      motivo_ = "Impossibile aprire " + file.string() + ": " + danno;
      db_.reset();
      throw orvane::Errore(kErroreArchivio, motivo_);
    }
  }
  danneggiato_ = (rc & 0xFF) == SQLITE_NOTADB;
  // The reason stays with the connection: every later operation names it.
  motivo_ = "Impossibile aprire " + file.string() + ": " + Motivo(db, rc);
  db_.reset();
  throw orvane::Errore(kErroreArchivio, motivo_);
}

void ConnessioneArchivio::NonAperta(std::string motivo) {
  Chiudi();
  motivo_ = std::move(motivo);
  danneggiato_ = false;
}

void ConnessioneArchivio::AttesaBlocco(std::chrono::milliseconds attesa) {
  if (db_) sqlite3_busy_timeout(db_.get(), static_cast<int>(attesa.count()));
}

void ConnessioneArchivio::Chiudi() noexcept {
  db_.reset();
}

void ConnessioneArchivio::Fallisci(int codice) const {
  throw orvane::Errore(kErroreArchivio, Motivo(db_.get(), codice));
}

Istruzione ConnessioneArchivio::Prepara(std::string_view sql,
                                        const std::vector<std::string>& valori) {
  if (!db_) {
    throw orvane::Errore(kErroreArchivio, motivo_.empty()
                                              ? std::string("Connessione all'archivio non aperta")
                                              : "Connessione all'archivio non aperta: " + motivo_);
  }
  if (sql.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
    throw orvane::Errore(orvane::kOverflow, "Overflow");
  }
  sqlite3_stmt* s = nullptr;
  const char* resto = nullptr;
  const int rc =
      sqlite3_prepare_v2(db_.get(), sql.data(), static_cast<int>(sql.size()), &s, &resto);
  Istruzione istruzione(s);
  if (rc != SQLITE_OK) Fallisci(rc);
  if (!istruzione) throw orvane::Errore(kErroreArchivio, "Istruzione vuota");
  for (std::size_t i = 0; i < valori.size(); ++i) {
    const int b = sqlite3_bind_text(istruzione.get(), static_cast<int>(i + 1), valori[i].data(),
                                    static_cast<int>(valori[i].size()), SQLITE_TRANSIENT);
    if (b != SQLITE_OK) Fallisci(b);
  }
  return istruzione;
}

bool ConnessioneArchivio::Passo(sqlite3_stmt* istruzione) {
  const int rc = sqlite3_step(istruzione);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  Fallisci(rc);
}

void ConnessioneArchivio::Execute(std::string_view sql, const std::vector<std::string>& valori) {
  const std::string tradotta = TraduciDialettoJet(sql);
  Istruzione istruzione = Prepara(tradotta, valori);
  while (Passo(istruzione.get())) {
  }
}

std::int64_t ConnessioneArchivio::UltimoRowid() const noexcept {
  return db_ ? sqlite3_last_insert_rowid(db_.get()) : 0;
}

int ConnessioneArchivio::RigheCambiate() const noexcept {
  return db_ ? sqlite3_changes(db_.get()) : 0;
}

}  // namespace tervan
