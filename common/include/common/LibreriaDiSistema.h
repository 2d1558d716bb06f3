#pragma once

#include <string>

#include "common/Errore.h"
#include "platform/Libreria.h"

namespace orvane {

/// A library of the system that a program loads when it first needs it
/// instead of linking it (platform::Libreria::CaricaDiSistema), so that its
/// start does not pay for it. Every failure is an Errore
/// (kChiamataNonValida) "Impossibile caricare NOME: reason".
class LibreriaDiSistema {
 public:
  /// Loads `nome`, a run-time name such as "libcurl.so.4".
  explicit LibreriaDiSistema(const char* nome)
      : nome_(nome), libreria_(platform::Libreria::CaricaDiSistema(nome)) {
    if (!libreria_.Caricata()) Rifiuta(libreria_.Errore());
  }

  /// Points `funzione` at the library's function `simbolo`.
  template <class Funzione>
  void Risolvi(Funzione& funzione, const char* simbolo) const {
    if (!libreria_.Risolvi(funzione, simbolo)) Rifiuta(std::string("manca ") + simbolo);
  }

 private:
  [[noreturn]] void Rifiuta(const std::string& perche) const {
    throw Errore(kChiamataNonValida, "Impossibile caricare " + std::string(nome_) + ": " + perche);
  }

  const char* nome_;
  platform::Libreria libreria_;
};

}  // namespace orvane
