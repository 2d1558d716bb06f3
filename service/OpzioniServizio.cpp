#include "OpzioniServizio.h"

#include <charconv>
#include <stdexcept>

namespace orvane::servizio {

OpzioniServizio OpzioniServizio::Leggi(const std::vector<std::string>& argomenti) {
  OpzioniServizio o;
  for (std::size_t i = 0; i < argomenti.size(); ++i) {
    const std::string& a = argomenti[i];
    if (a == "--help" || a == "-h") {
      o.aiuto = true;
      return o;
    }
    if (a != "--data" && a != "--listen" && a != "--seed") {
      throw std::invalid_argument("opzione sconosciuta " + a);
    }
    if (i + 1 >= argomenti.size() || argomenti[i + 1].empty()) {
      throw std::invalid_argument("manca il valore di " + a);
    }
    const std::string& valore = argomenti[++i];
    if (a == "--data") {
      o.dati = valore;
    } else if (a == "--seed") {
      o.catalogo = valore;
    } else {
      const auto due = valore.rfind(':');
      int porta = -1;
      const char* fine = valore.data() + valore.size();
      if (due == std::string::npos || due == 0 ||
          std::from_chars(valore.data() + due + 1, fine, porta).ptr != fine || porta < 0 ||
          porta > 65535 || due + 1 == valore.size()) {
        throw std::invalid_argument("indirizzo non valido " + valore + " (atteso HOST:PORTA)");
      }
      o.host = valore.substr(0, due);
      if (o.host.size() > 2 && o.host.front() == '[' && o.host.back() == ']') {
        o.host = o.host.substr(1, o.host.size() - 2);
      }
      o.porta = porta;
    }
  }
  if (o.dati.empty()) throw std::invalid_argument("manca --data");
  return o;
}

}  // namespace orvane::servizio
