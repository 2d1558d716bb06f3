#include "quomaro/clsCA.h"

#include <string_view>
#include <vector>

#include "RispostaSOAP.h"
#include "common/Errore.h"
#include "common/Routine.h"
#include "quomaro/Configurazione.h"
#include "quomaro/clsSOAP.h"

namespace quomaro {
namespace {

constexpr std::string_view kModulo = "clsCA";
// The generic failure (E_FAIL) with which a recordset refuses its source.
constexpr long kRecordsetNonCreato = -2147467259L;

// Opens a recordset on the answer's text; closed when the text is not one.
std::shared_ptr<Recordset> ApriRecordset(const std::string& testo) {
  auto rs = std::make_shared<Recordset>();
  rs->Apri(testo);
  return rs;
}

}  // namespace

clsCA::clsCA() {
  orvane::Routine(kModulo, "Class_Initialize", [&](int& linea) {
    linea = 10;
    auto soap = std::make_unique<clsSOAP>();
    linea = 20;
    soap->URI(EndpointServizio());
    soap_ = std::move(soap);
  });
}

clsCA::~clsCA() = default;

clsSOAP& clsCA::Trasporto() const {
  if (!soap_) {
    throw orvane::Errore(orvane::kOggettoNonImpostato,
                         "Variabile oggetto o variabile del blocco With non impostata");
  }
  return *soap_;
}

std::shared_ptr<RichiestaHttp> clsCA::XmlReq() const {
  return orvane::Routine(kModulo, "XmlReq", [&](int& linea) {
    linea = 10;
    return Trasporto().XmlReq();
  });
}

std::string clsCA::RichiestaConnessione(const std::string& Utente) {
  return orvane::Routine(kModulo, "RichiestaConnessione", [&](int& linea) {
    linea = 10;
    // One parameter: the array carries one more element, never sent.
    const std::vector<std::string> Parametri{"Utente;" + Utente, ""};
    linea = 20;
    return Trasporto().InviaRichiestaPOST(Parametri, "RichiestaConnessione");
  });
}

void clsCA::EseguiComandoSQL(const std::string& Valore) {
  static_cast<void>(InviaComandoSQL(Valore));
}

bool clsCA::InviaComandoSQL(const std::string& Valore) {
  return orvane::Routine(kModulo, "EseguiComandoSQL", [&](int& linea) {
    linea = 10;
    const std::vector<std::string> Parametri{"strsql;" + Valore, ""};
    linea = 20;
    clsSOAP& soap = Trasporto();
    static_cast<void>(soap.InviaRichiestaPOST(Parametri, "EseguiComandoSQL"));
    linea = 30;
    // The service answers with a SOAP envelope, whose result is not defined
    // and so not judged. Another answer with a success status, such as a page
    // of a proxy on the way, never reached the service; a fault, whatever its
    // status, refused the statement.
    const std::shared_ptr<RichiestaHttp> http = soap.XmlReq();
    return soap.RichiestaCostruita() && http && http->readyState() == 4 &&
           http->DescrizioneErrore().empty() && http->status() >= 200 && http->status() <= 299 &&
           http->getResponseHeader("Content-Type").find("text/xml") != std::string::npos &&
           !ContieneGuasto(http->responseText());
  });
}

std::shared_ptr<Recordset> clsCA::getFILEXX(const std::string& Utente, const std::string& progra) {
  return orvane::Routine(kModulo, "getFILEXX", [&](int& linea) {
    linea = 10;
    xmlStream_.clear();
    linea = 20;
    // Spelt "utente" here, unlike RichiestaConnessione's "Utente".
    const std::vector<std::string> Parametri{"utente;" + Utente, "progra;" + progra, ""};
    linea = 30;
    const std::string risposta = Trasporto().InviaRichiestaPOST(Parametri, "getFILEXX");
    linea = 40;
    // An answer that is no recordset is the caller's to read, not a failure.
    std::shared_ptr<Recordset> rs = ApriRecordset(risposta);
    if (rs->State() != Recordset::adStateOpen) xmlStream_ = risposta;
    return rs;
  });
}

std::shared_ptr<Recordset> clsCA::SelectSQL_ADO(const std::string& StrSql) {
  return orvane::Routine(kModulo, "SelectSQL_ADO", [&](int& linea) -> std::shared_ptr<Recordset> {
    linea = 10;
    const std::vector<std::string> Parametri{"strsql;" + StrSql, ""};
    linea = 20;
    const std::string risposta = Trasporto().InviaRichiestaPOST(Parametri, "SelectSQL_ADO");
    linea = 30;
    // A failed exchange: clsSOAP has said what it met.
    if (risposta.empty()) return nullptr;
    linea = 40;
    std::shared_ptr<Recordset> rs = ApriRecordset(risposta);
    if (rs->State() != Recordset::adStateOpen) {
      throw orvane::Errore(kRecordsetNonCreato,
                           "Impossibile creare il Recordset: il testo XML di origine è "
                           "incompleto o non valido");
    }
    return rs;
  });
}

const std::string& clsCA::xmlStream() const {
  return xmlStream_;
}

void clsCA::xmlStream(const std::string& valore) {
  xmlStream_ = valore;
}

}  // namespace quomaro
