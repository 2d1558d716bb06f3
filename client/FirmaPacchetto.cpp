#include "quomaro/FirmaPacchetto.h"

#include <fstream>
#include <stdexcept>
#include <system_error>

#include "quomaro/Scaricamento.h"

namespace quomaro {
namespace {

// Far beyond what minisign writes (a key file is about 100 bytes, a
// signature file with the longest trusted comment it accepts about 8 KB).
constexpr long long kByteMassimiFirma = 64LL * 1024;

}  // namespace

std::optional<ChiavePubblica> LeggiFileChiave(const std::filesystem::path& file) {
  std::error_code ec;
  const auto stato = std::filesystem::symlink_status(file, ec);
  if (stato.type() == std::filesystem::file_type::not_found) return std::nullopt;
  const auto errore = [&file](const std::string& motivo) {
    return std::runtime_error("chiave pubblica " + file.string() + " inutilizzabile: " + motivo);
  };
  if (ec) throw errore(ec.message());
  if (!std::filesystem::is_regular_file(file, ec)) throw errore("non è un file");
  std::ifstream ingresso(file, std::ios::binary);
  if (!ingresso) throw errore("impossibile leggerla");
  std::string testo(static_cast<std::size_t>(kByteMassimiFirma), '\0');
  ingresso.read(testo.data(), kByteMassimiFirma);
  testo.resize(static_cast<std::size_t>(ingresso.gcount()));
  const auto chiave = ChiavePubblica::Leggi(testo);
  if (!chiave) throw errore("non è una chiave pubblica di minisign");
  return chiave;
}

std::string NomePubblicato(std::string_view url) {
  url = url.substr(0, url.find_first_of("?#"));
  return std::string(url.substr(url.rfind('/') + 1));
}

VerificaFirma VerificaPacchettoScaricato(const ChiavePubblica& chiave, const std::string& url,
                                         std::string_view pacchetto) {
  return VerificaPacchettoScaricato(chiave, url, LetturaIntera(pacchetto));
}

VerificaFirma VerificaPacchettoScaricato(const ChiavePubblica& chiave, const std::string& url,
                                         const LetturaPacchetto& pacchetto,
                                         ConnessioneScaricamento* connessione) {
  LimitiScaricamento limiti;
  limiti.byteMassimi = kByteMassimiFirma;
  const std::string indirizzo = url.substr(0, url.find_first_of("?#")) + ".minisig";
  const EsitoScaricamento firma = Scaricamento(nullptr, limiti, connessione).Scarica(indirizzo);
  if (firma.fine == FineScaricamento::Completo && (firma.stato == 404 || firma.stato == 410))
    return {EsitoFirma::Mancante, indirizzo + ": HTTP " + std::to_string(firma.stato)};
  if (!firma.Riuscito()) return {EsitoFirma::NonScaricata, indirizzo + ": " + firma.Descrizione()};
  return VerificaFirmaMinisign(chiave, firma.corpo, pacchetto, NomePubblicato(url));
}

}  // namespace quomaro
