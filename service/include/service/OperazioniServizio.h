#pragma once

#include <string>

#include "service/ArchivioServizio.h"
#include "service/CodificaSOAP.h"
#include "service/InterrogazioneLettura.h"

namespace orvane::servizio {

/// The service's operations, as the client calls them:
///
/// - RichiestaConnessione(Utente): "S" for an enabled customer, "N" for a
///   refused or unknown one;
/// - getFILEXX(utente, progra): the packages the customer sees, of every
///   program (the client keeps those of `progra`), as recordset XML; for a
///   customer who may not use the service, a message instead;
/// - EseguiComandoSQL(strsql): records a download; only the download record
///   statement is accepted (see ComandoDownload), anything else is refused;
/// - SelectSQL_ADO(strsql): one read-only SELECT, answered as recordset XML.
class OperazioniServizio {
 public:
  static constexpr const char* kUtenteNonAbilitato = "Utente non abilitato al servizio";

  OperazioniServizio(ArchivioServizio& archivio, InterrogazioneLettura& interrogazioni);

  /// The text of the answer's `return` element; throws GuastoSOAP for an
  /// unknown operation, a missing parameter or a refused statement.
  [[nodiscard]] std::string Esegui(const RichiestaSOAP& richiesta);

 private:
  ArchivioServizio& archivio_;
  InterrogazioneLettura& interrogazioni_;
};

}  // namespace orvane::servizio
