#pragma once

#include <httplib.h>

#include <pugixml.hpp>

#include <algorithm>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "quomaro/Recordset.h"
#include "service/ConnessioneSqlite.h"
#include "service/ServizioHttp.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/ServizioFiglio.h"

namespace orvane::servizio::test {

using orvane::test::Ripeti;

/// The reference service as the program runs (seeded with the test
/// catalogue unless told otherwise), with a client that speaks to it.
class ServizioProva : public orvane::test::ServizioFiglio {
 public:
  using ServizioFiglio::ServizioFiglio;

  /// Posts a SOAP request as Quomaro builds it (envelope namespace and
  /// prefix can be changed) with these parameters.
  httplib::Result Soap(const std::string& operazione,
                       const std::vector<std::pair<std::string, std::string>>& parametri,
                       const std::string& spazioBusta = "http://www.w3.org/2001/06/soap-envelope",
                       const std::string& prefisso = "soap") {
    pugi::xml_document documento;
    auto busta = documento.append_child((prefisso + ":Envelope").c_str());
    busta.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
    busta.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
    busta.append_attribute(("xmlns:" + prefisso).c_str()) = spazioBusta.c_str();
    auto op = busta.append_child((prefisso + ":Body").c_str()).append_child(operazione.c_str());
    for (const auto& [nome, valore] : parametri)
      op.append_child(nome.c_str()).text().set(valore.c_str());
    std::ostringstream testo;
    documento.save(testo, "", pugi::format_raw);
    return Posta(testo.str());
  }
  /// Posts a raw body to the SOAP endpoint.
  httplib::Result Posta(const std::string& corpo) {
    return client_.Post(ServizioHttp::kPercorsoSOAP, corpo, "text/xml; charset=utf-8");
  }
  /// Posts RichiestaConnessione for ROSSI followed by `spazi` blanks as a
  /// chunked body, which declares no length.
  httplib::Result PostaAPezzi(std::size_t spazi) {
    const std::string corpo =
        "<soap:Envelope xmlns:soap='http://www.w3.org/2001/06/soap-envelope'><soap:Body>"
        "<RichiestaConnessione><Utente>ROSSI</Utente></RichiestaConnessione></soap:Body>"
        "</soap:Envelope>" +
        std::string(spazi, ' ');
    return client_.Post(
        ServizioHttp::kPercorsoSOAP,
        [&corpo](std::size_t inviati, httplib::DataSink& uscita) {
          if (inviati == corpo.size()) {
            uscita.done();
            return true;
          }
          return uscita.write(corpo.data() + inviati,
                              std::min<std::size_t>(corpo.size() - inviati, 64 * 1024));
        },
        "text/xml; charset=utf-8");
  }
  httplib::Result Leggi(const std::string& percorso, const httplib::Headers& intestazioni = {}) {
    return client_.Get(percorso, intestazioni);
  }

  /// The text of the answer's first unprefixed `return` element (nothing
  /// when there is none).
  static std::optional<std::string> Ritorno(const std::string& corpo) {
    pugi::xml_document documento;
    if (!documento.load_string(corpo.c_str())) return std::nullopt;
    const auto ritorno = documento.select_node("//return");
    if (!ritorno) return std::nullopt;
    return std::string(ritorno.node().text().get());
  }
  /// The recordset an answer carries (closed when it carries none).
  static quomaro::Recordset RecordsetDi(const httplib::Result& risposta) {
    quomaro::Recordset rs;
    if (risposta) rs.Apri(Ritorno(risposta->body).value_or(""));
    return rs;
  }

  /// Rows of a table, read straight from the database file.
  [[nodiscard]] long long ContaRighe(const std::string& tabella) const {
    return std::stoll(
        orvane::test::RigheSql(FileArchivio(), "SELECT count(*) FROM " + tabella).at(0));
  }

 private:
  httplib::Client client_{Server()};
};

}  // namespace orvane::servizio::test
