// Any bytes as a maker's public key file and as a package's .minisig: the
// readers may not crash or read past the input, and no signature passes
// for a package unless it names that package's file and verifies with the
// key (the corpus holds real ones made by minisign for the key below).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "quomaro/FirmaMinisign.h"

namespace {

constexpr std::string_view kChiave =
    "untrusted comment: minisign public key D989756231574FB5\n"
    "RWS1T1cxYnWJ2WAQUhMC2jPmhQBPfsCP3E83V/SwcrZx3tUkcZDtD8t4\n";
constexpr std::string_view kPacchetto = "PK\3\4 pacchetto di prova\n";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* dati, std::size_t dimensione) {
  const std::string_view testo(reinterpret_cast<const char*>(dati), dimensione);
  static const auto chiave = quomaro::ChiavePubblica::Leggi(kChiave);
  if (!chiave) std::abort();

  (void)quomaro::ChiavePubblica::Leggi(testo);
  if (const auto firma = quomaro::FirmaMinisign::Leggi(testo);
      firma && firma->commentoFidato.size() > dimensione)
    std::abort();
  const auto esito =
      quomaro::VerificaFirmaMinisign(*chiave, testo, kPacchetto, "Aggiornamento00001.zip");
  if (esito.Valida() && testo.find("file:Aggiornamento00001.zip") == std::string_view::npos)
    std::abort();
  return 0;
}
