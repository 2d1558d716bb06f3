// The reference service's readers of client input: any bytes as a SOAP
// request body and as the statement of EseguiComandoSQL. Neither may crash,
// hang or grow without bound; whatever they accept must round-trip.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/TestoSql.h"
#include "service/CodificaSOAP.h"
#include "service/ComandoDownload.h"
#include "service/GuastoSOAP.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
  using orvane::servizio::CodificaSOAP;

  try {
    const auto richiesta = CodificaSOAP::Leggi(testo);
    // An accepted request can always be answered.
    (void)CodificaSOAP::Risposta(richiesta.spazioBusta, richiesta.operazione, testo);
  } catch (const orvane::servizio::GuastoSOAP&) {
    // Refused with a fault: the expected end for most inputs.
  }

  if (const auto record = orvane::servizio::ComandoDownload::Leggi(testo)) {
    // A statement that was accepted carries five values; rebuilding it from
    // them must be accepted again with the same values.
    const auto quota = [](const std::string& v) { return platform::LetteraleSql(v); };
    const std::string ricostruita =
        "insert into download(dataxx, utente, codzip, descri, session) values(" +
        quota(record->dataxx) + ", " + quota(record->utente) + ", " + quota(record->codzip) + ", " +
        quota(record->descri) + ", " + quota(record->session) + ")";
    const auto diNuovo = orvane::servizio::ComandoDownload::Leggi(ricostruita);
    if (!diNuovo || diNuovo->descri != record->descri || diNuovo->utente != record->utente) {
      std::abort();
    }
  }
  return 0;
}
