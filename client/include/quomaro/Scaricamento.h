#pragma once

// Internal to the Orvane programs (Tervan's download run, the support tool
// `quomaro`, clsDownload itself): not part of Quomaro's component contract,
// which is clsDownload::OpenURL. It may change with the programs that use it.

#include <functional>
#include <optional>
#include <string>
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

  explicit Scaricamento(DownloadEventi* eventi = nullptr, LimitiScaricamento limiti = {});

  void QuandoRisposta(OsservatoreRisposta osservatore) { osservatore_ = std::move(osservatore); }

  /// Downloads `url`. Failures of the transfer are in the result; only a
  /// failure of libcurl itself, or one thrown by the holder of the events,
  /// leaves as an exception.
  [[nodiscard]] EsitoScaricamento Scarica(const std::string& url) const;

 private:
  DownloadEventi* eventi_;
  LimitiScaricamento limiti_;
  OsservatoreRisposta osservatore_;
};

}  // namespace quomaro
