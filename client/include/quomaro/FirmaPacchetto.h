#pragma once

// Internal to the Orvane programs (Tervan's download run, the support tool
// `quomaro`): not part of Quomaro's component contract.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "quomaro/Esporta.h"
#include "quomaro/FirmaMinisign.h"
#include "quomaro/Scaricamento.h"

namespace quomaro {

/// The maker's public key, beside the program that verifies packages.
inline constexpr std::string_view kFileChiave = "aggiornamenti.pub";

/// The key in the key file `file`: std::nullopt when nothing is there (not
/// even a dangling link). Anything else that is not a readable key throws a
/// std::runtime_error that says why, in Italian: a key that is there but
/// cannot be used must not pass for no key. A key file (wherever a link
/// leads) that is neither root's nor the caller's, or that group or others
/// may write, or that another user's link leads to, cannot be used: whoever
/// may change it decides what passes for the maker's.
[[nodiscard]] QUOMARO_API std::optional<ChiavePubblica> LeggiFileChiave(
    const std::filesystem::path& file);

/// The name a package is published under: the last segment of the path of
/// `url`, without query or fragment.
[[nodiscard]] QUOMARO_API std::string NomePubblicato(std::string_view url);

/// Fetches `url` + ".minisig" from the same server and verifies it for the
/// downloaded `pacchetto`, under its published name. A 404 or 410 answer
/// is a missing signature; any other failed download is NonScaricata.
[[nodiscard]] QUOMARO_API VerificaFirma VerificaPacchettoScaricato(const ChiavePubblica& chiave,
                                                                   const std::string& url,
                                                                   std::string_view pacchetto);

/// The same for a package read block by block, with the signature fetched
/// over `connessione` when one is given.
[[nodiscard]] QUOMARO_API VerificaFirma VerificaPacchettoScaricato(
    const ChiavePubblica& chiave, const std::string& url, const LetturaPacchetto& pacchetto,
    ConnessioneScaricamento* connessione = nullptr);

}  // namespace quomaro
