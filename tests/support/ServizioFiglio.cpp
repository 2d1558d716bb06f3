#include "tests/support/ServizioFiglio.h"

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <stdexcept>
#include <thread>

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
  constexpr std::string_view kAscolto = "In ascolto su ";
  for (int i = 0; i < 1200 && server_.empty() && processo_->InEsecuzione(); ++i) {
    const std::string uscita = Uscita();
    const auto inizio = uscita.find(kAscolto);
    const auto fine = uscita.find('\n', inizio);
    if (inizio != std::string::npos && fine != std::string::npos) {
      server_ = uscita.substr(inizio + kAscolto.size(), fine - inizio - kAscolto.size());
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
  }
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

std::filesystem::path ServizioFiglio::FilePacchetto(std::string_view nome) const {
  return cartella_ / "dati" / "download" / nome;
}

}  // namespace orvane::test

namespace orvane::test {

std::filesystem::path ServizioFiglio::FileArchivio() const {
  return cartella_ / "dati" / "servizio.sqlite";
}

}  // namespace orvane::test

namespace orvane::test {

std::vector<std::string> ServizioFiglio::Registrati() const {
  sqlite3* db = nullptr;
  std::vector<std::string> righe;
  if (sqlite3_open_v2(FileArchivio().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT utente || '|' || codzip || '|' || descri || '|' || session "
                       "FROM download ORDER BY rowid",
                       -1, &st, nullptr);
    while (st != nullptr && sqlite3_step(st) == SQLITE_ROW)
      righe.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return righe;
}

std::vector<std::string> ServizioFiglio::CodiciRegistrati() const {
  std::vector<std::string> codici;
  for (const std::string& r : Registrati()) {
    const auto inizio = r.find('|') + 1;
    codici.push_back(r.substr(inizio, r.find('|', inizio) - inizio));
  }
  return codici;
}

}  // namespace orvane::test
