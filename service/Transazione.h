#pragma once

#include "service/ConnessioneSqlite.h"

namespace orvane::servizio {

/// A write transaction that rolls back unless it is committed.
class Transazione {
 public:
  explicit Transazione(const ConnessioneSqlite& connessione);
  ~Transazione();
  Transazione(const Transazione&) = delete;
  Transazione& operator=(const Transazione&) = delete;
  void Conferma();

 private:
  const ConnessioneSqlite& connessione_;
  bool confermata_ = false;
};

}  // namespace orvane::servizio
