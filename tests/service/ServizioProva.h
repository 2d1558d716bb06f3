#pragma once

#include <httplib.h>

#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "quomaro/Recordset.h"
#include "service/ArchivioServizio.h"
#include "service/InterrogazioneLettura.h"
#include "service/OperazioniServizio.h"
#include "service/ServizioHttp.h"
#include "tests/support/CartellaTemporanea.h"

namespace orvane::servizio::test {

/// The reference service running in this process on 127.0.0.1 and a free
/// port, seeded with the test catalogue in a temporary data folder.
class ServizioProva {
 public:
  ServizioProva();
  ~ServizioProva();

  /// Posts a SOAP request as Quomaro builds it (envelope namespace and
  /// prefix can be changed) with these parameters.
  httplib::Result Soap(const std::string& operazione,
                       const std::vector<std::pair<std::string, std::string>>& parametri,
                       const std::string& spazioBusta = "http://www.w3.org/2001/06/soap-envelope",
                       const std::string& prefisso = "soap");
  /// Posts a raw body to the SOAP endpoint.
  httplib::Result Posta(const std::string& corpo);
  /// Posts RichiestaConnessione for ROSSI followed by `spazi` blanks as a
  /// chunked body, which declares no length.
  httplib::Result PostaAPezzi(std::size_t spazi);
  httplib::Result Leggi(const std::string& percorso);

  /// The text of the answer's first unprefixed `return` element (nothing
  /// when there is none).
  static std::optional<std::string> Ritorno(const std::string& corpo);
  /// The recordset an answer carries (closed when it carries none).
  static quomaro::Recordset RecordsetDi(const httplib::Result& risposta);

  /// Rows of a table, read straight from the database file.
  long long ContaRighe(const std::string& tabella) const;

  [[nodiscard]] const std::filesystem::path& Dati() const { return cartella_.Percorso(); }
  /// Stops the service; its log is complete only then (a request's line is
  /// written after its answer has gone out).
  void Ferma();
  [[nodiscard]] std::string Log() const { return log_.str(); }

 private:
  orvane::test::CartellaTemporanea cartella_;
  std::ostringstream log_;
  std::unique_ptr<ArchivioServizio> archivio_;
  std::unique_ptr<InterrogazioneLettura> interrogazioni_;
  std::unique_ptr<OperazioniServizio> operazioni_;
  std::unique_ptr<ServizioHttp> http_;
  std::unique_ptr<httplib::Client> client_;
};

}  // namespace orvane::servizio::test
