#include "tests/support/ServizioFiglio.h"

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <stdexcept>

namespace orvane::test {

const char* const kCatalogoProva = R"({
  "clienti": [
    { "userid": "ROSSI", "abilitato": "S" },
    { "userid": "BIANCHI", "abilitato": "S" },
    { "userid": "VERDI", "abilitato": "N" }
  ],
  "pacchetti": [
    { "codice": 42, "dataxx": "2008-03-05T14:30:00", "progra": "TARVIK", "TipoXx": "TARVIK",
      "Filexx": "Stampe & <fatture>", "notexx": "Prima riga\r\nseconda riga",
      "contenuto": { "LEGGIMI.txt": "Aggiornamento 42\n", "dati/tabella.sql": "select 1;\n" },
      "clienti": ["ROSSI"] },
    { "codice": 7, "dataxx": "2008-01-10T09:00:00", "progra": ["TARVIK", "SELVOR"],
      "TipoXx": "ORVANE", "Filexx": "Motore comune",
      "contenuto": { "LEGGIMI.txt": "Componenti comuni" }, "clienti": ["*"] },
    { "codice": 99, "dataxx": "2009-01-01", "progra": "PANELAA", "TipoXx": "MORLEN",
      "Filexx": "Schede però nuove", "contenuto": { "a.txt": "b" }, "clienti": ["ROSSI"] },
    { "codice": 5, "dataxx": "2007-06-01", "progra": "SELVOR", "TipoXx": "SELVOR",
      "Filexx": "Solo per Bianchi", "contenuto": { "a.txt": "c" }, "clienti": ["BIANCHI"] }
  ]
})";

ServizioFiglio::ServizioFiglio(std::string_view catalogo) {
  ScriviFile(cartella_ / "catalogo.json", catalogo);
  processo_ = std::make_unique<Processo>(
      ORVANE_SERVICE,
      std::vector<std::string>{"--data", (cartella_ / "dati").string(), "--listen", "127.0.0.1:0",
                               "--seed", (cartella_ / "catalogo.json").string()},
      std::map<std::string, std::string>{}, cartella_.Percorso());
  // The service says where it listens once it accepts connections.
  server_ =
      AttendiRiga(*processo_, cartella_ / "stdout", "In ascolto su ", std::chrono::seconds(30));
  if (server_.empty()) {
    throw std::runtime_error("orvane-service non si è avviato: " + LeggiFile(cartella_ / "stderr"));
  }
}

ServizioFiglio::~ServizioFiglio() {
  Ferma();
}

int ServizioFiglio::Ferma() {
  return processo_->Termina(SIGTERM);
}

std::string ServizioFiglio::Uscita() const {
  return LeggiFile(cartella_ / "stdout");
}

std::string ServizioFiglio::Errori() const {
  return LeggiFile(cartella_ / "stderr");
}

std::filesystem::path ServizioFiglio::FileArchivio() const {
  return cartella_ / "dati" / "servizio.sqlite";
}

std::filesystem::path ServizioFiglio::FilePacchetto(std::string_view nome) const {
  return cartella_ / "dati" / "download" / nome;
}

std::vector<std::string> ServizioFiglio::Registrati() const {
  return RigheSql(FileArchivio(),
                  "SELECT utente || '|' || codzip || '|' || descri || '|' || session "
                  "FROM download ORDER BY rowid");
}

std::vector<std::string> ServizioFiglio::CodiciRegistrati() const {
  return RigheSql(FileArchivio(), "SELECT codzip FROM download ORDER BY rowid");
}

std::vector<std::string> RigheSql(const std::filesystem::path& archivio, const std::string& sql) {
  std::vector<std::string> righe;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(archivio.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
    sqlite3_busy_timeout(db, 10000);
    sqlite3_exec(
        db, sql.c_str(),
        [](void* v, int, char** valori, char**) {
          static_cast<std::vector<std::string>*>(v)->emplace_back(valori[0] ? valori[0] : "");
          return 0;
        },
        &righe, nullptr);
  }
  sqlite3_close(db);
  return righe;
}

}  // namespace orvane::test
