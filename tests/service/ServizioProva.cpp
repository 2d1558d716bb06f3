#include "ServizioProva.h"

#include <pugixml.hpp>

#include <algorithm>
#include <stdexcept>

#include "service/CatalogoServizio.h"
#include "tests/support/ServizioFiglio.h"

namespace orvane::servizio::test {

ServizioProva::ServizioProva() {
  orvane::test::ScriviFile(cartella_ / "catalogo.json", orvane::test::kCatalogoProva);
  auto catalogo = CatalogoServizio::Leggi(cartella_ / "catalogo.json");
  catalogo.CostruisciPacchetti(cartella_ / "download");
  archivio_ = std::make_unique<ArchivioServizio>(cartella_ / "servizio.sqlite");
  archivio_->Semina(catalogo.Clienti(), catalogo.Pacchetti());
  interrogazioni_ = std::make_unique<InterrogazioneLettura>(archivio_->File());
  operazioni_ = std::make_unique<OperazioniServizio>(*archivio_, *interrogazioni_);
  http_ = std::make_unique<ServizioHttp>(*operazioni_, *archivio_, cartella_ / "download", log_);
  const int porta = http_->Avvia("127.0.0.1", 0);
  client_ = std::make_unique<httplib::Client>("127.0.0.1", porta);
}

ServizioProva::~ServizioProva() {
  Ferma();
}

void ServizioProva::Ferma() {
  http_->Ferma();
}

httplib::Result ServizioProva::Soap(
    const std::string& operazione,
    const std::vector<std::pair<std::string, std::string>>& parametri,
    const std::string& spazioBusta, const std::string& prefisso) {
  pugi::xml_document documento;
  auto busta = documento.append_child((prefisso + ":Envelope").c_str());
  busta.append_attribute("xmlns:xsi") = "http://www.w3.org/2001/XMLSchema-instance";
  busta.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
  busta.append_attribute(("xmlns:" + prefisso).c_str()) = spazioBusta.c_str();
  auto op = busta.append_child((prefisso + ":Body").c_str()).append_child(operazione.c_str());
  for (const auto& [nome, valore] : parametri) {
    op.append_child(nome.c_str()).text().set(valore.c_str());
  }
  std::ostringstream testo;
  documento.save(testo, "", pugi::format_raw);
  return Posta(testo.str());
}

httplib::Result ServizioProva::Posta(const std::string& corpo) {
  return client_->Post(ServizioHttp::kPercorsoSOAP, corpo, "text/xml; charset=utf-8");
}

httplib::Result ServizioProva::PostaAPezzi(std::size_t spazi) {
  const std::string richiesta =
      "<soap:Envelope xmlns:soap='http://www.w3.org/2001/06/soap-envelope'><soap:Body>"
      "<RichiestaConnessione><Utente>ROSSI</Utente></RichiestaConnessione></soap:Body>"
      "</soap:Envelope>";
  const std::string blocco(64 * 1024, ' ');
  std::size_t inviati = 0;
  return client_->Post(
      ServizioHttp::kPercorsoSOAP,
      [&](std::size_t /*offset*/, httplib::DataSink& uscita) {
        if (inviati == 0) {
          inviati = 1;
          return uscita.write(richiesta.data(), richiesta.size());
        }
        const std::size_t n = std::min(blocco.size(), spazi - (inviati - 1));
        if (n == 0) {
          uscita.done();
          return true;
        }
        inviati += n;
        return uscita.write(blocco.data(), n);
      },
      "text/xml; charset=utf-8");
}

httplib::Result ServizioProva::Leggi(const std::string& percorso) {
  return client_->Get(percorso.c_str());
}

std::optional<std::string> ServizioProva::Ritorno(const std::string& corpo) {
  pugi::xml_document documento;
  if (!documento.load_string(corpo.c_str())) return std::nullopt;
  const auto ritorno = documento.select_node("//return");
  if (!ritorno) return std::nullopt;
  return std::string(ritorno.node().text().get());
}

quomaro::Recordset ServizioProva::RecordsetDi(const httplib::Result& risposta) {
  quomaro::Recordset rs;
  if (risposta) rs.Apri(Ritorno(risposta->body).value_or(""));
  return rs;
}

long long ServizioProva::ContaRighe(const std::string& tabella) const {
  ConnessioneSqlite db(cartella_ / "servizio.sqlite", ConnessioneSqlite::Modo::SolaLettura);
  const auto istruzione = db.Prepara("SELECT count(*) FROM " + tabella);
  if (sqlite3_step(istruzione.get()) != SQLITE_ROW) throw std::runtime_error("conteggio fallito");
  return sqlite3_column_int64(istruzione.get(), 0);
}

}  // namespace orvane::servizio::test
