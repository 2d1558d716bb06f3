#include "Transazione.h"

namespace orvane::servizio {

Transazione::Transazione(const ConnessioneSqlite& connessione) : connessione_(connessione) {
  connessione_.Esegui("BEGIN IMMEDIATE");
}

Transazione::~Transazione() {
  if (!confermata_) sqlite3_exec(connessione_.Db(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void Transazione::Conferma() {
  connessione_.Esegui("COMMIT");
  confermata_ = true;
}

}  // namespace orvane::servizio
