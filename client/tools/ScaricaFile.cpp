#include "ScaricaFile.h"

#include <exception>

#include "platform/FileAtomico.h"
#include "quomaro/FirmaPacchetto.h"

namespace quomaro::strumento {

EsitoScaricaFile ScaricaFile(const std::string& url, const std::filesystem::path& file,
                             const Scaricamento& scaricamento, const ChiavePubblica* chiave) {
  EsitoScaricaFile e;
  // The folder of a bare file name is the current one.
  const std::filesystem::path percorso = std::filesystem::absolute(file);
  const auto nonScritto = [&e](const std::exception& ex) {
    e.errore = std::string("impossibile scrivere il file: ") + ex.what();
    return e;
  };
  // A killed run leaves a hidden file as large as the package; one that
  // another run is writing now is locked, and stays.
  platform::RimuoviTemporaneiOrfani(percorso);
  const EsitoScaricamento esito = scaricamento.Scarica(url);
  if (!esito.Riuscito()) {
    e.errore = esito.Descrizione() + " per " + url + "; " + file.string() + " non è stato scritto";
    return e;
  }
  if (chiave != nullptr) {
    const VerificaFirma firma = VerificaPacchettoScaricato(*chiave, url, esito.corpo);
    if (!firma.Valida()) {
      e.errore = NomePubblicato(url) + " non accettato: " + firma.Descrizione() + "; " +
                 file.string() + " non è stato scritto";
      return e;
    }
  }
  try {
    platform::ScriviFileAtomico(percorso, esito.corpo);
  } catch (const std::exception& ex) {
    return nonScritto(ex);
  }
  e.riuscito = true;
  e.byte = esito.ricevuti;
  return e;
}

}  // namespace quomaro::strumento
