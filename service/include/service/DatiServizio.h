#pragma once

#include <string>
#include <utility>
#include <vector>

namespace orvane::servizio {

/// A customer of the service: enabled ("S") or refused ("N").
struct Cliente {
  std::string userid;
  bool abilitato = false;
};

/// An update package of the catalogue.
struct Pacchetto {
  long long codice = 0;
  std::string dataxx;                  ///< "yyyy-mm-ddThh:mm:ss"
  std::vector<std::string> programmi;  ///< program codes it is offered for (`progra`)
  std::string TipoXx;
  std::string Filexx;
  std::string notexx;
  long long dimens = 0;              ///< size of its zip file in bytes
  std::vector<std::string> clienti;  ///< customers that see it; "*" for every customer
  std::vector<std::pair<std::string, std::string>> contenuto;  ///< zip entries: name, text
};

/// One row of the table `download`, as the client records it.
struct RecordDownload {
  std::string dataxx;
  std::string utente;
  std::string codzip;
  std::string descri;
  std::string session;
};

}  // namespace orvane::servizio
