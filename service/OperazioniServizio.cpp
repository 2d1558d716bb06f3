#include "service/OperazioniServizio.h"

#include "service/ComandoDownload.h"

namespace orvane::servizio {

OperazioniServizio::OperazioniServizio(ArchivioServizio& archivio,
                                       InterrogazioneLettura& interrogazioni)
    : archivio_(archivio), interrogazioni_(interrogazioni) {}

std::string OperazioniServizio::Esegui(const RichiestaSOAP& richiesta) {
  const std::string& operazione = richiesta.operazione;
  if (operazione == "RichiestaConnessione") {
    return archivio_.Abilitato(richiesta.Parametro("Utente")).value_or(false) ? "S" : "N";
  }
  if (operazione == "getFILEXX") {
    const std::string& utente = richiesta.Parametro("utente");
    (void)richiesta.Parametro("progra");  // required, though the client filters by it itself
    if (!archivio_.Abilitato(utente).value_or(false)) return kUtenteNonAbilitato;
    return archivio_.PacchettiVisibili(utente).Save();
  }
  if (operazione == "EseguiComandoSQL") {
    const auto record = ComandoDownload::Leggi(richiesta.Parametro("strsql"));
    if (!record) {
      throw GuastoSOAP(GuastoSOAP::Lato::Mittente,
                       "Comando SQL non consentito: è accettata soltanto la registrazione di un "
                       "download");
    }
    archivio_.RegistraDownload(*record);
    return "S";
  }
  if (operazione == "SelectSQL_ADO") {
    return interrogazioni_.Esegui(richiesta.Parametro("strsql")).Save();
  }
  throw GuastoSOAP(GuastoSOAP::Lato::Mittente, "Operazione sconosciuta: " + operazione);
}

}  // namespace orvane::servizio
