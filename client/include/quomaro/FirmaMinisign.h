#pragma once

// Internal to the Orvane programs (Tervan's download run, the support tool
// `quomaro`): not part of Quomaro's component contract.

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "quomaro/Esporta.h"

namespace quomaro {

/// A maker's Ed25519 public key in the format of the `minisign` tool: an
/// "untrusted comment: " line, then the Base64 of "Ed", the 8-byte key id
/// and the 32-byte key.
struct QUOMARO_API ChiavePubblica {
  std::array<unsigned char, 8> id{};
  std::array<unsigned char, 32> chiave{};

  /// The key in a key file's text; std::nullopt when the text is not one.
  [[nodiscard]] static std::optional<ChiavePubblica> Leggi(std::string_view testo);
  /// The key id as minisign prints it (hexadecimal, upper case, no leading
  /// zeros).
  [[nodiscard]] std::string IdTesto() const;
};

/// A `.minisig` signature file: an "untrusted comment: " line; the Base64 of
/// the algorithm ("Ed": the file itself is signed, "ED": its BLAKE2b-512
/// hash is), the key id and the 64-byte signature; a "trusted comment: "
/// line; the Base64 of the global signature, made over the signature and
/// the trusted comment together.
struct QUOMARO_API FirmaMinisign {
  bool prehash = false;
  std::array<unsigned char, 8> id{};
  std::array<unsigned char, 64> firma{};
  std::string commentoFidato;  ///< the trusted comment, without its label
  std::array<unsigned char, 64> firmaGlobale{};

  /// The signature in a signature file's text; std::nullopt when the text
  /// is not one.
  [[nodiscard]] static std::optional<FirmaMinisign> Leggi(std::string_view testo);
};

/// How a package's signature was judged, from the first check that failed.
enum class EsitoFirma {
  Valida,            ///< signed with the key, for this file name
  Mancante,          ///< the server has no signature for the package
  NonScaricata,      ///< the signature could not be fetched
  Malformata,        ///< not a signature file (an empty one included)
  AltraChiave,       ///< made with a key of another id
  NonValida,         ///< the package is not the one that was signed
  CommentoAlterato,  ///< the trusted comment is not the one that was signed
  AltroFile,         ///< signed for another file name
};

/// The verdict on a package and, for support, why.
struct QUOMARO_API VerificaFirma {
  EsitoFirma esito = EsitoFirma::Malformata;
  std::string dettaglio;  ///< what was found, where it helps

  [[nodiscard]] bool Valida() const { return esito == EsitoFirma::Valida; }
  /// Why the package is refused, in Italian; empty when it is valid.
  [[nodiscard]] std::string Descrizione() const;
};

/// The bytes of a package, handed block by block and in order to
/// `blocco`; a reader may throw to give up.
using LetturaPacchetto =
    std::function<void(const std::function<void(std::string_view blocco)>& blocco)>;

/// The reading of bytes held whole, handed as one block; `pacchetto` must
/// outlive it.
[[nodiscard]] inline LetturaPacchetto LetturaIntera(std::string_view pacchetto) {
  return [pacchetto](const std::function<void(std::string_view)>& blocco) { blocco(pacchetto); };
}

/// Verifies `firma` (the text of a `.minisig` file) for the bytes of
/// `pacchetto` published as `nome`: the key id, the signature over the
/// package, the global signature over the trusted comment and, in the
/// trusted comment, the tab-separated field "file:<nome>" that minisign
/// writes by default.
[[nodiscard]] QUOMARO_API VerificaFirma VerificaFirmaMinisign(const ChiavePubblica& chiave,
                                                              std::string_view firma,
                                                              std::string_view pacchetto,
                                                              std::string_view nome);

/// The same verification over a package read block by block, never held
/// whole: memory stays the same whatever the package's length.
[[nodiscard]] QUOMARO_API VerificaFirma VerificaFirmaMinisign(const ChiavePubblica& chiave,
                                                              std::string_view firma,
                                                              const LetturaPacchetto& pacchetto,
                                                              std::string_view nome);

}  // namespace quomaro
