// A routine under the system's failure handling: shown in architettura.md.
#include <string>

#include "Esempi.h"
#include "common/Errore.h"
#include "common/Routine.h"

namespace esempi {

// [esempio routine]
int MinutiDiControllo(const std::string& testo) {
  return orvane::Routine("basEsempi", "MinutiDiControllo", [&](int& linea) {
    linea = 10;
    const int minuti = std::stoi(testo);  // not a number: logged at statement 10
    linea = 20;
    if (minuti <= 0) {
      throw orvane::Errore(orvane::kChiamataNonValida, "Intervallo non valido: " + testo);
    }
    return minuti;  // on any failure the routine returns 0, its empty result
  });
}
// [fine esempio]

}  // namespace esempi
