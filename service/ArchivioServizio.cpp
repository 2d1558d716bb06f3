#include "service/ArchivioServizio.h"

#include <string>

#include "Transazione.h"

namespace orvane::servizio {
namespace {

constexpr const char* kSchema = R"(
PRAGMA foreign_keys = ON;
CREATE TABLE IF NOT EXISTS clienti (
  userid    TEXT PRIMARY KEY NOT NULL,
  abilitato TEXT NOT NULL CHECK (abilitato IN ('S', 'N'))
);
CREATE TABLE IF NOT EXISTS pacchetti (
  codice INTEGER PRIMARY KEY,
  dataxx DATETIME NOT NULL,
  TipoXx TEXT NOT NULL,
  Filexx TEXT NOT NULL,
  dimens INTEGER NOT NULL,
  notexx TEXT NOT NULL DEFAULT '',
  ripeti INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE IF NOT EXISTS offerte (
  codice INTEGER NOT NULL REFERENCES pacchetti (codice) ON DELETE CASCADE,
  progra TEXT NOT NULL,
  PRIMARY KEY (codice, progra)
);
CREATE TABLE IF NOT EXISTS visibilita (
  codice INTEGER NOT NULL REFERENCES pacchetti (codice) ON DELETE CASCADE,
  userid TEXT NOT NULL,
  PRIMARY KEY (codice, userid)
);
CREATE TABLE IF NOT EXISTS download (
  dataxx  TEXT,
  utente  TEXT,
  codzip  TEXT,
  descri  TEXT,
  session TEXT
);
CREATE INDEX IF NOT EXISTS download_session ON download (session);
CREATE INDEX IF NOT EXISTS download_utente ON download (utente, codzip);
)";

// Whether a table of the database has a column (a folder made by an earlier
// service lacks the newer ones).
bool HaColonna(const ConnessioneSqlite& c, const char* tabella, std::string_view colonna) {
  const auto istruzione = c.Prepara(std::string("PRAGMA table_info(") + tabella + ")");
  int esito = SQLITE_ROW;
  while ((esito = sqlite3_step(istruzione.get())) == SQLITE_ROW) {
    const auto* nome = sqlite3_column_text(istruzione.get(), 1);
    if (nome != nullptr && colonna == reinterpret_cast<const char*>(nome)) return true;
  }
  if (esito != SQLITE_DONE) c.Fallisci("Lettura dello schema non riuscita");
  return false;
}

std::string Testo(sqlite3_stmt* istruzione, int colonna) {
  const auto* testo = sqlite3_column_text(istruzione, colonna);
  if (testo == nullptr) return {};
  return {reinterpret_cast<const char*>(testo),
          static_cast<std::size_t>(sqlite3_column_bytes(istruzione, colonna))};
}

void Passo(const ConnessioneSqlite& c, sqlite3_stmt* istruzione) {
  if (sqlite3_step(istruzione) != SQLITE_DONE) c.Fallisci("Scrittura nel database non riuscita");
}

}  // namespace

ArchivioServizio::ArchivioServizio(const std::filesystem::path& file)
    : file_(file), connessione_(file, ConnessioneSqlite::Modo::LetturaScrittura) {
  connessione_.Esegui(kSchema);
  if (!HaColonna(connessione_, "pacchetti", "ripeti")) {
    connessione_.Esegui("ALTER TABLE pacchetti ADD COLUMN ripeti INTEGER NOT NULL DEFAULT 0");
  }
}

void ArchivioServizio::Semina(const std::vector<Cliente>& clienti,
                              const std::vector<Pacchetto>& pacchetti) {
  const std::lock_guard blocco(mutex_);
  Transazione transazione(connessione_);
  connessione_.Esegui(
      "DELETE FROM visibilita; DELETE FROM offerte; DELETE FROM pacchetti; DELETE FROM clienti;");
  const auto cliente =
      connessione_.Prepara("INSERT INTO clienti (userid, abilitato) VALUES (?, ?)");
  for (const auto& c : clienti) {
    sqlite3_reset(cliente.get());
    ConnessioneSqlite::Lega(cliente.get(), 1, c.userid);
    ConnessioneSqlite::Lega(cliente.get(), 2, c.abilitato ? "S" : "N");
    Passo(connessione_, cliente.get());
  }
  const auto pacchetto = connessione_.Prepara(
      "INSERT INTO pacchetti (codice, dataxx, TipoXx, Filexx, dimens, notexx, ripeti) "
      "VALUES (?, ?, ?, ?, ?, ?, ?)");
  const auto offerta = connessione_.Prepara("INSERT INTO offerte (codice, progra) VALUES (?, ?)");
  const auto visibile =
      connessione_.Prepara("INSERT INTO visibilita (codice, userid) VALUES (?, ?)");
  for (const auto& p : pacchetti) {
    sqlite3_reset(pacchetto.get());
    sqlite3_bind_int64(pacchetto.get(), 1, p.codice);
    ConnessioneSqlite::Lega(pacchetto.get(), 2, p.dataxx);
    ConnessioneSqlite::Lega(pacchetto.get(), 3, p.TipoXx);
    ConnessioneSqlite::Lega(pacchetto.get(), 4, p.Filexx);
    sqlite3_bind_int64(pacchetto.get(), 5, p.dimens);
    ConnessioneSqlite::Lega(pacchetto.get(), 6, p.notexx);
    sqlite3_bind_int(pacchetto.get(), 7, p.ripeti ? 1 : 0);
    Passo(connessione_, pacchetto.get());
    for (const auto& progra : p.programmi) {
      sqlite3_reset(offerta.get());
      sqlite3_bind_int64(offerta.get(), 1, p.codice);
      ConnessioneSqlite::Lega(offerta.get(), 2, progra);
      Passo(connessione_, offerta.get());
    }
    for (const auto& userid : p.clienti) {
      sqlite3_reset(visibile.get());
      sqlite3_bind_int64(visibile.get(), 1, p.codice);
      ConnessioneSqlite::Lega(visibile.get(), 2, userid);
      Passo(connessione_, visibile.get());
    }
  }
  transazione.Conferma();
}

std::optional<bool> ArchivioServizio::Abilitato(std::string_view userid) const {
  const std::lock_guard blocco(mutex_);
  const auto istruzione = connessione_.Prepara("SELECT abilitato FROM clienti WHERE userid = ?");
  ConnessioneSqlite::Lega(istruzione.get(), 1, userid);
  const int esito = sqlite3_step(istruzione.get());
  if (esito == SQLITE_DONE) return std::nullopt;
  if (esito != SQLITE_ROW) connessione_.Fallisci("Lettura dei clienti non riuscita");
  return Testo(istruzione.get(), 0) == "S";
}

quomaro::Recordset ArchivioServizio::PacchettiVisibili(std::string_view userid) const {
  quomaro::Recordset rs;
  rs.Crea({{"dataxx", "dateTime"},
           {"codice", "int"},
           {"progra", "string"},
           {"TipoXx", "string"},
           {"Filexx", "string"},
           {"dimens", "int"},
           {"notexx", "string"}});
  const std::lock_guard blocco(mutex_);
  const auto istruzione = connessione_.Prepara(
      "SELECT p.dataxx, p.codice, o.progra, p.TipoXx, p.Filexx, p.dimens, p.notexx "
      "FROM pacchetti p JOIN offerte o ON o.codice = p.codice "
      "WHERE EXISTS (SELECT 1 FROM visibilita v "
      "              WHERE v.codice = p.codice AND (v.userid = ?1 OR v.userid = '*')) "
      // Tervan records the code in plain decimal, as the list gave it.
      "  AND (p.ripeti <> 0 OR NOT EXISTS (SELECT 1 FROM download d "
      "       WHERE d.utente = ?1 AND d.codzip = CAST(p.codice AS TEXT))) "
      "ORDER BY p.codice, o.progra");
  ConnessioneSqlite::Lega(istruzione.get(), 1, userid);
  int esito = SQLITE_ROW;
  while ((esito = sqlite3_step(istruzione.get())) == SQLITE_ROW) {
    std::vector<std::optional<std::string>> riga;
    riga.reserve(7);
    for (int c = 0; c < 7; ++c)
      riga.emplace_back(Testo(istruzione.get(), c));
    rs.AggiungiRiga(riga);
  }
  if (esito != SQLITE_DONE) connessione_.Fallisci("Lettura dei pacchetti non riuscita");
  return rs;
}

std::vector<std::pair<long long, long long>> ArchivioServizio::Dimensioni() const {
  const std::lock_guard blocco(mutex_);
  const auto istruzione =
      connessione_.Prepara("SELECT codice, dimens FROM pacchetti ORDER BY codice");
  std::vector<std::pair<long long, long long>> dimensioni;
  int esito = SQLITE_ROW;
  while ((esito = sqlite3_step(istruzione.get())) == SQLITE_ROW) {
    dimensioni.emplace_back(sqlite3_column_int64(istruzione.get(), 0),
                            sqlite3_column_int64(istruzione.get(), 1));
  }
  if (esito != SQLITE_DONE) connessione_.Fallisci("Lettura dei pacchetti non riuscita");
  return dimensioni;
}

void ArchivioServizio::RegistraDownload(const RecordDownload& r) {
  const std::lock_guard blocco(mutex_);
  const auto istruzione = connessione_.Prepara(
      "INSERT INTO download (dataxx, utente, codzip, descri, session) VALUES (?, ?, ?, ?, ?)");
  ConnessioneSqlite::Lega(istruzione.get(), 1, r.dataxx);
  ConnessioneSqlite::Lega(istruzione.get(), 2, r.utente);
  ConnessioneSqlite::Lega(istruzione.get(), 3, r.codzip);
  ConnessioneSqlite::Lega(istruzione.get(), 4, r.descri);
  ConnessioneSqlite::Lega(istruzione.get(), 5, r.session);
  Passo(connessione_, istruzione.get());
}

std::vector<RecordDownload> ArchivioServizio::DownloadDellaSessione(
    std::string_view session) const {
  const std::lock_guard blocco(mutex_);
  const auto istruzione = connessione_.Prepara(
      "SELECT dataxx, utente, codzip, descri, session FROM download WHERE session = ? "
      "ORDER BY rowid");
  ConnessioneSqlite::Lega(istruzione.get(), 1, session);
  std::vector<RecordDownload> record;
  int esito = SQLITE_ROW;
  while ((esito = sqlite3_step(istruzione.get())) == SQLITE_ROW) {
    record.push_back({Testo(istruzione.get(), 0), Testo(istruzione.get(), 1),
                      Testo(istruzione.get(), 2), Testo(istruzione.get(), 3),
                      Testo(istruzione.get(), 4)});
  }
  if (esito != SQLITE_DONE) connessione_.Fallisci("Lettura dei download non riuscita");
  return record;
}

}  // namespace orvane::servizio
