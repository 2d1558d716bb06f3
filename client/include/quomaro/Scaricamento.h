#pragma once

// Internal to the Orvane programs (Tervan's download run, the support tool
// `quomaro`, clsDownload itself): not part of Quomaro's component contract,
// which is clsDownload::OpenURL. It may change with the programs that use it.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "quomaro/Esporta.h"
#include "quomaro/clsDownload.h"

namespace quomaro {

/// Why a download stopped.
enum class FineScaricamento {
  Completo,         ///< the whole answer arrived, whatever its HTTP status
  Irraggiungibile,  ///< no answer: bad address, refused scheme, no connection
  Incompleto,       ///< the body ended before the length the server declared
  Interrotto,       ///< the connection broke off during the answer
  Lento,            ///< abandoned: slower than the minimum speed for too long
  TroppoGrande,     ///< the body (declared or received) passes the byte limit
  Abbandonato,      ///< given up because the program is ending (ImpostaFineRichiesta)
};

/// What a download brought: the body and the whole truth about it.
struct EsitoScaricamento {
  std::string corpo;                    ///< bytes received (empty unless Completo)
  long stato = 0;                       ///< HTTP status of the last answer; 0 without one
  std::optional<long long> dichiarati;  ///< length the answer declared
  long long ricevuti = 0;               ///< body bytes received
  FineScaricamento fine = FineScaricamento::Irraggiungibile;
  std::string dettaglio;  ///< libcurl's account of a failed transfer

  /// A whole body (as long as declared, when declared) with a 2xx status.
  [[nodiscard]] QUOMARO_API bool Riuscito() const;
  /// Why the download is not a success, in Italian, for messages; empty on
  /// success.
  [[nodiscard]] QUOMARO_API std::string Descrizione() const;
};

/// The bounds a download keeps to.
struct LimitiScaricamento {
  /// A transfer slower than this many bytes per second on average ...
  long velocitaMinima = 512;
  /// ... for this many seconds on end is abandoned (FineScaricamento::Lento).
  long secondiSottoVelocita = 60;
  /// The largest body; a longer one stops the transfer (TroppoGrande).
  long long byteMassimi = clsDownload::kByteMassimi;
};

/// A connection kept from one download to the next: downloads made through
/// the same object reuse the connection to a server that keeps it open,
/// instead of opening one each. Released when the object goes.
class QUOMARO_API ConnessioneScaricamento {
 public:
  ConnessioneScaricamento();
  ~ConnessioneScaricamento();
  ConnessioneScaricamento(const ConnessioneScaricamento&) = delete;
  ConnessioneScaricamento& operator=(const ConnessioneScaricamento&) = delete;
  ConnessioneScaricamento(ConnessioneScaricamento&&) = delete;
  ConnessioneScaricamento& operator=(ConnessioneScaricamento&&) = delete;

 private:
  friend class Scaricamento;
  struct Maniglia;
  std::unique_ptr<Maniglia> maniglia_;
};

/// One HTTP GET of a whole resource, as clsDownload makes it (user agent
/// "VB Project", the environment's proxy, never from a cache, redirects
/// followed on http and https only), reporting DownloadProgressione after
/// every read of at most 2048 bytes and one last time with the final total.
/// Once the host says the program is ending, the transfer is given up within
/// a second, however slowly the server sends (FineScaricamento::Abbandonato).
///
/// Memory: a declared length is reserved once; a body of unknown length is
/// kept in blocks joined once at the end, so a download holds at most the
/// body and one block more.
class QUOMARO_API Scaricamento {
 public:
  /// Called once, when the final answer's body starts arriving and before its
  /// first read: its status and the length it declares (an answer without a
  /// body is not announced).
  using OsservatoreRisposta = std::function<void(long stato, std::optional<long long> dichiarati)>;

  /// Takes every piece of the final answer's body as it arrives, in order.
  using Destinazione = std::function<void(std::string_view parte)>;

  /// With `connessione`, the download goes over that connection, which
  /// must outlive the object and serve one download at a time.
  explicit Scaricamento(DownloadEventi* eventi = nullptr, LimitiScaricamento limiti = {},
                        ConnessioneScaricamento* connessione = nullptr);

  void QuandoRisposta(OsservatoreRisposta osservatore) { osservatore_ = std::move(osservatore); }

  /// Downloads `url`. Failures of the transfer are in the result; only a
  /// failure of libcurl itself, or one thrown by the holder of the events,
  /// leaves as an exception.
  [[nodiscard]] EsitoScaricamento Scarica(const std::string& url) const;

  /// Downloads `url` as Scarica does, handing the body to `destinazione`
  /// piece by piece instead of keeping it: the result's `corpo` stays
  /// empty, and memory stays the same whatever the body's length. A
  /// failure thrown by `destinazione` stops the transfer and leaves as an
  /// exception.
  [[nodiscard]] EsitoScaricamento ScaricaIn(const std::string& url,
                                            const Destinazione& destinazione) const;

 private:
  [[nodiscard]] EsitoScaricamento Esegui(const std::string& url,
                                         const Destinazione* destinazione) const;

  DownloadEventi* eventi_;
  LimitiScaricamento limiti_;
  ConnessioneScaricamento* connessione_;
  OsservatoreRisposta osservatore_;
};

}  // namespace quomaro
