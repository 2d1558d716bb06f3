#include "Libzip.h"

#include "common/LibreriaDiSistema.h"

namespace tervan::zip {
namespace {

// The library's run-time name, ORVANE_LIBZIP, is the one of the library the
// build found.
Funzioni Carica() {
  const orvane::LibreriaDiSistema libreria(ORVANE_LIBZIP);
  Funzioni f{};
  // One token gives both the field and the symbol, so they cannot drift apart.
#define ORVANE_RISOLVI(nome) libreria.Risolvi(f.nome, "zip_" #nome)
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
