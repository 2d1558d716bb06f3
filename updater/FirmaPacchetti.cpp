#include "updater/FirmaPacchetti.h"

#include <cstdio>
#include <exception>
#include <optional>

#include "common/Errore.h"
#include "platform/Cartelle.h"
#include "quomaro/FirmaPacchetto.h"

namespace tervan {

std::optional<quomaro::ChiavePubblica> ChiaveInstallata() {
  try {
    return quomaro::LeggiFileChiave(platform::CartellaProgramma() / quomaro::kFileChiave);
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

void VerificaFirmaPacchetto(const std::string& indirizzo,
                            const quomaro::LetturaPacchetto& pacchetto, bool primoDellaCorsa,
                            std::optional<quomaro::ChiavePubblica>& chiaveVista,
                            quomaro::ConnessioneScaricamento* connessione) {
  const std::string nome = quomaro::NomePubblicato(indirizzo);
  const auto fallito = [&nome](const std::string& motivo) {
    return orvane::Errore(orvane::kErroreIO, nome + " non accettato: " + motivo);
  };
  const auto file = platform::CartellaProgramma() / quomaro::kFileChiave;
  std::optional<quomaro::ChiavePubblica> chiave;
  try {
    chiave = quomaro::LeggiFileChiave(file);
  } catch (const std::exception& e) {
    throw fallito(e.what());
  }
  if (chiave) {
    chiaveVista = chiave;
  } else if (chiaveVista) {
    chiave = chiaveVista;
  } else {
    if (primoDellaCorsa)
      std::fprintf(stderr, "Tervan: pacchetti non verificati: manca la chiave pubblica %s\n",
                   file.c_str());
    return;
  }
  const quomaro::VerificaFirma verifica =
      quomaro::VerificaPacchettoScaricato(*chiave, indirizzo, pacchetto, connessione);
  if (!verifica.Valida()) throw fallito(verifica.Descrizione());
}

}  // namespace tervan
