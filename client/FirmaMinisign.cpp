#include "quomaro/FirmaMinisign.h"

#include <sodium.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <vector>

namespace quomaro {
namespace {

constexpr std::string_view kCommentoNonFidato = "untrusted comment: ";
constexpr std::string_view kCommentoFidato = "trusted comment: ";
constexpr std::string_view kAlgoritmo = "Ed";
constexpr std::string_view kAlgoritmoPrehash = "ED";

void InizializzaSodium() {
  static const bool pronto = sodium_init() >= 0;
  if (!pronto) throw std::runtime_error("libsodium non si inizializza");
}

// The lines of a small text file: LF or CR LF, empty lines at its end
// dropped; nothing else is forgiven.
std::vector<std::string_view> Righe(std::string_view testo) {
  std::vector<std::string_view> righe;
  while (!testo.empty()) {
    const auto a = testo.find('\n');
    std::string_view riga = testo.substr(0, a);
    testo = a == std::string_view::npos ? std::string_view() : testo.substr(a + 1);
    if (!riga.empty() && riga.back() == '\r') riga.remove_suffix(1);
    righe.push_back(riga);
  }
  while (!righe.empty() && righe.back().empty())
    righe.pop_back();
  return righe;
}

// Exactly N bytes in standard Base64 (with padding), nothing before or after.
template <std::size_t N>
std::optional<std::array<unsigned char, N>> Base64(std::string_view testo) {
  std::array<unsigned char, N> dati{};
  std::size_t lunghezza = 0;
  const char* fine = nullptr;
  if (sodium_base642bin(dati.data(), dati.size(), testo.data(), testo.size(), nullptr, &lunghezza,
                        &fine, sodium_base64_VARIANT_ORIGINAL) != 0 ||
      lunghezza != N || fine != testo.data() + testo.size())
    return std::nullopt;
  return dati;
}

template <std::size_t N, std::size_t M>
void Copia(std::array<unsigned char, N>& a, const std::array<unsigned char, M>& da,
           std::size_t inizio) {
  std::copy_n(da.begin() + static_cast<std::ptrdiff_t>(inizio), N, a.begin());
}

bool Algoritmo(const unsigned char* dati, std::string_view nome) {
  return dati[0] == static_cast<unsigned char>(nome[0]) &&
         dati[1] == static_cast<unsigned char>(nome[1]);
}

bool Verifica(const unsigned char* firma, const unsigned char* messaggio, std::size_t lunghezza,
              const ChiavePubblica& chiave) {
  return crypto_sign_verify_detached(firma, messaggio, lunghezza, chiave.chiave.data()) == 0;
}

const unsigned char* Byte(std::string_view testo) {
  return reinterpret_cast<const unsigned char*>(testo.data());
}

// An Ed25519 signature over a message read block by block: the check of
// crypto_sign_verify_detached, with the message's hash taken as it is read.
// R = [S]B - [h]A, where h = SHA-512(R || A || message) reduced mod L.
bool VerificaAPezzi(const std::array<unsigned char, 64>& firma, const LetturaPacchetto& messaggio,
                    const ChiavePubblica& chiave) {
  const unsigned char* r = firma.data();
  const unsigned char* s = firma.data() + 32;
  // S must be a scalar below L (the reduction leaves it as it is), R and A
  // points of the main subgroup in their canonical encoding.
  std::array<unsigned char, 64> esteso{};
  std::copy_n(s, 32, esteso.begin());
  std::array<unsigned char, 32> ridotto{};
  crypto_core_ed25519_scalar_reduce(ridotto.data(), esteso.data());
  if (sodium_memcmp(ridotto.data(), s, 32) != 0 || crypto_core_ed25519_is_valid_point(r) == 0 ||
      crypto_core_ed25519_is_valid_point(chiave.chiave.data()) == 0)
    return false;
  crypto_hash_sha512_state stato;
  crypto_hash_sha512_init(&stato);
  crypto_hash_sha512_update(&stato, r, 32);
  crypto_hash_sha512_update(&stato, chiave.chiave.data(), chiave.chiave.size());
  messaggio([&stato](std::string_view blocco) {
    crypto_hash_sha512_update(&stato, Byte(blocco), blocco.size());
  });
  std::array<unsigned char, 64> impronta{};
  crypto_hash_sha512_final(&stato, impronta.data());
  std::array<unsigned char, 32> h{};
  crypto_core_ed25519_scalar_reduce(h.data(), impronta.data());
  std::array<unsigned char, 32> sb{};
  std::array<unsigned char, 32> ha{};
  std::array<unsigned char, 32> atteso{};
  return crypto_scalarmult_ed25519_base_noclamp(sb.data(), s) == 0 &&
         crypto_scalarmult_ed25519_noclamp(ha.data(), h.data(), chiave.chiave.data()) == 0 &&
         crypto_core_ed25519_sub(atteso.data(), sb.data(), ha.data()) == 0 &&
         sodium_memcmp(atteso.data(), r, 32) == 0;
}

// Whether the trusted comment has the field `campo`, its fields being
// separated by tabs.
bool HaCampo(std::string_view commento, std::string_view campo) {
  for (std::string_view resto = commento;;) {
    const auto tab = resto.find('\t');
    if (resto.substr(0, tab) == campo) return true;
    if (tab == std::string_view::npos) return false;
    resto.remove_prefix(tab + 1);
  }
}

}  // namespace

std::optional<ChiavePubblica> ChiavePubblica::Leggi(std::string_view testo) {
  const auto righe = Righe(testo);
  if (righe.size() != 2 || !righe[0].starts_with(kCommentoNonFidato)) return std::nullopt;
  const auto dati = Base64<2 + 8 + 32>(righe[1]);
  if (!dati || !Algoritmo(dati->data(), kAlgoritmo)) return std::nullopt;
  ChiavePubblica k;
  Copia(k.id, *dati, 2);
  Copia(k.chiave, *dati, 10);
  return k;
}

std::string ChiavePubblica::IdTesto() const {
  // minisign shows the id as a little-endian number in hexadecimal, without
  // leading zeros: written the same way, the two can be compared by eye.
  std::string testo;
  for (auto b = id.rbegin(); b != id.rend(); ++b) {
    char cifre[3];
    std::snprintf(cifre, sizeof cifre, "%02X", *b);
    testo += cifre;
  }
  const auto prima = testo.find_first_not_of('0');
  return prima == std::string::npos ? "0" : testo.substr(prima);
}

std::optional<FirmaMinisign> FirmaMinisign::Leggi(std::string_view testo) {
  const auto righe = Righe(testo);
  if (righe.size() != 4 || !righe[0].starts_with(kCommentoNonFidato) ||
      !righe[2].starts_with(kCommentoFidato))
    return std::nullopt;
  const auto dati = Base64<2 + 8 + 64>(righe[1]);
  const auto globale = Base64<64>(righe[3]);
  if (!dati || !globale) return std::nullopt;
  FirmaMinisign f;
  if (Algoritmo(dati->data(), kAlgoritmoPrehash))
    f.prehash = true;
  else if (!Algoritmo(dati->data(), kAlgoritmo))
    return std::nullopt;
  Copia(f.id, *dati, 2);
  Copia(f.firma, *dati, 10);
  f.commentoFidato = righe[2].substr(kCommentoFidato.size());
  f.firmaGlobale = *globale;
  return f;
}

std::string VerificaFirma::Descrizione() const {
  const std::string conDettaglio = dettaglio.empty() ? std::string() : " (" + dettaglio + ")";
  switch (esito) {
    case EsitoFirma::Valida:
      return {};
    case EsitoFirma::Mancante:
      return "firma mancante" + conDettaglio;
    case EsitoFirma::NonScaricata:
      return "firma non scaricata" + conDettaglio;
    case EsitoFirma::Malformata:
      return "firma non leggibile" + conDettaglio;
    case EsitoFirma::AltraChiave:
      return "firma fatta con un'altra chiave" + conDettaglio;
    case EsitoFirma::NonValida:
      return "firma non valida: il pacchetto non è quello firmato";
    case EsitoFirma::CommentoAlterato:
      return "firma non valida: il commento fidato è stato alterato";
    case EsitoFirma::AltroFile:
      return "la firma è di un altro file" + conDettaglio;
  }
  return "firma non valida";
}

VerificaFirma VerificaFirmaMinisign(const ChiavePubblica& chiave, std::string_view firma,
                                    std::string_view pacchetto, std::string_view nome) {
  return VerificaFirmaMinisign(chiave, firma, LetturaIntera(pacchetto), nome);
}

VerificaFirma VerificaFirmaMinisign(const ChiavePubblica& chiave, std::string_view firma,
                                    const LetturaPacchetto& pacchetto, std::string_view nome) {
  InizializzaSodium();
  const auto f = FirmaMinisign::Leggi(firma);
  if (!f) return {EsitoFirma::Malformata, firma.empty() ? "file vuoto" : ""};
  if (f->id != chiave.id) {
    ChiavePubblica altra;
    altra.id = f->id;
    return {EsitoFirma::AltraChiave,
            "chiave " + altra.IdTesto() + " invece di " + chiave.IdTesto()};
  }
  bool valida = false;
  if (f->prehash) {
    crypto_generichash_state stato;
    std::array<unsigned char, crypto_generichash_BYTES_MAX> impronta{};
    crypto_generichash_init(&stato, nullptr, 0, impronta.size());
    pacchetto([&stato](std::string_view blocco) {
      crypto_generichash_update(&stato, Byte(blocco), blocco.size());
    });
    crypto_generichash_final(&stato, impronta.data(), impronta.size());
    valida = Verifica(f->firma.data(), impronta.data(), impronta.size(), chiave);
  } else {
    std::uint64_t lunghezza = 0;
    valida = VerificaAPezzi(
        f->firma,
        [&](const std::function<void(std::string_view)>& blocco) {
          pacchetto([&](std::string_view b) {
            lunghezza += b.size();
            blocco(b);
          });
        },
        chiave);
    // A prehashed signature is a legacy one of the package's 64-byte hash
    // but for its two algorithm bytes, which nothing signs: relabelled, it
    // verifies those 64 bytes served as the package, whatever its trusted
    // comment says. No package is 64 bytes (the smallest zip with an entry
    // is larger, an empty one is refused), so no legacy signature of 64
    // bytes is taken.
    if (lunghezza == crypto_generichash_BYTES_MAX) valida = false;
  }
  if (!valida) return {EsitoFirma::NonValida, {}};

  std::string globale(f->firma.begin(), f->firma.end());
  globale += f->commentoFidato;
  if (!Verifica(f->firmaGlobale.data(), Byte(globale), globale.size(), chiave))
    return {EsitoFirma::CommentoAlterato, {}};

  if (HaCampo(f->commentoFidato, "file:" + std::string(nome))) return {EsitoFirma::Valida, {}};
  return {EsitoFirma::AltroFile, "commento fidato: " + f->commentoFidato};
}

}  // namespace quomaro
