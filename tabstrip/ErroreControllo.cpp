#include "brisko/ErroreControllo.h"

namespace brisko {
namespace {

std::string Descrizione(long numero) {
  switch (numero) {
    case ErroreControllo::kOverflow:
      return "Overflow";
    case ErroreControllo::kIndiceFuoriIntervallo:
      return "Indice non incluso nell'intervallo";
    case ErroreControllo::kTipoNonCorrispondente:
      return "Tipo non corrispondente";
    case ErroreControllo::kFileNonTrovato:
      return "Impossibile trovare il file";
    case ErroreControllo::kErroreAccessoPercorso:
      return "Errore di accesso al percorso/file";
    case ErroreControllo::kFormatoFileNonValido:
      return "Formato di file non valido";
    case ErroreControllo::kMembroNonSupportato:
      return "Proprietà o metodo non supportati dall'oggetto";
    case ErroreControllo::kArgomentoObbligatorio:
      return "Argomento non facoltativo";
    case ErroreControllo::kImmagineNonValida:
      return "Immagine non valida";
    default:
      return "Errore " + std::to_string(numero);
  }
}

}  // namespace

ErroreControllo::ErroreControllo(long numero, const std::string& descrizione)
    : std::runtime_error(descrizione), numero_(numero) {}

ErroreControllo::ErroreControllo(long numero) : ErroreControllo(numero, Descrizione(numero)) {}

ErroreControllo::~ErroreControllo() = default;

}  // namespace brisko
