#include "quomaro/FirmaPacchetto.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>
#include <string>
#include <system_error>

#include "common/Errore.h"
#include "platform/Descrittore.h"
#include "platform/FileAtomico.h"

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
  if (ec) throw errore(orvane::TestoErroreDiSistema(std::system_error(ec)));
  // Opened without waiting (a FIFO would keep the reader for ever), through
  // no other user's link, and judged by what was opened, so that the checks
  // and the read are of one file.
  platform::Descrittore fd;
  try {
    fd = platform::ApriInLettura(file);
  } catch (const std::system_error& e) {
    throw errore(orvane::TestoErroreDiSistema(std::system_error(e.code())));
  }
  struct stat st {};
  if (::fstat(fd.Fd(), &st) != 0)
    throw errore(orvane::TestoErroreDiSistema(std::system_error(errno, std::generic_category())));
  if (!S_ISREG(st.st_mode)) throw errore("non è un file");
  // Whoever may change the key decides what is placed as the maker's: it
  // must be root's or the verifier's own, wherever a link leads, and no
  // one else's to write.
  if (st.st_uid != 0 && st.st_uid != ::geteuid()) throw errore("appartiene a un altro utente");
  if ((st.st_mode & (S_IWGRP | S_IWOTH)) != 0) throw errore("è scrivibile da altri utenti");
  // A key is about 100 bytes: what lies past the limit is not read.
  std::string testo;
  try {
    testo = platform::LeggiAlPiu(fd.Fd(), static_cast<std::size_t>(kByteMassimiFirma));
  } catch (const std::system_error&) {
    throw errore("impossibile leggerla");
  }
  testo.resize(std::min(testo.size(), static_cast<std::size_t>(kByteMassimiFirma)));
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
