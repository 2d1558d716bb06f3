#include "Libzip.h"

#include <string>

#include "common/Errore.h"
#include "platform/Libreria.h"

namespace tervan::zip {
namespace {

// The library's run-time name, ORVANE_LIBZIP, is the one of the libzip the
// build found.
[[noreturn]] void NonCaricata(const std::string& perche) {
  throw orvane::Errore(orvane::kChiamataNonValida,
                       "Impossibile caricare " + std::string(ORVANE_LIBZIP) + ": " + perche);
}

Funzioni Carica() {
  const platform::Libreria libreria = platform::Libreria::CaricaDiSistema(ORVANE_LIBZIP);
  if (!libreria.Caricata()) NonCaricata(libreria.Errore());
  Funzioni f{};
  const auto risolvi = [&libreria](auto& funzione, const char* nome) {
    if (!libreria.Risolvi(funzione, nome)) NonCaricata(std::string("manca ") + nome);
  };
  // One token gives both the field and the symbol, so they cannot drift apart.
#define ORVANE_RISOLVI(nome) risolvi(f.nome, "zip_" #nome)
  ORVANE_RISOLVI(fdopen);
  ORVANE_RISOLVI(discard);
  ORVANE_RISOLVI(get_num_entries);
  ORVANE_RISOLVI(fopen_index);
  ORVANE_RISOLVI(fread);
  ORVANE_RISOLVI(fclose);
#undef ORVANE_RISOLVI
  return f;
}

}  // namespace

const Funzioni& Libzip() {
  // A throwing initialiser leaves the static unset, so a later call tries again.
  static const Funzioni funzioni = Carica();
  return funzioni;
}

}  // namespace tervan::zip
