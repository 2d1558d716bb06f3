#include "quomaro/clsDownload.h"

#include <algorithm>
#include <cstddef>
#include <exception>
#include <stdexcept>
#include <utility>

#include "ManiglieCurl.h"
#include "common/Routine.h"

namespace quomaro {
namespace {

constexpr std::string_view kModulo = "clsDownload";
constexpr std::size_t kBloccoLettura = 2048;
// The most memory taken ahead on the strength of a declared length.
constexpr std::size_t kRiservaMassima = std::size_t{64} << 20U;
// libcurl's own receive buffer: large, so that big bodies need few calls.
constexpr long kBufferRicezione = 256L * 1024;

// Turns the pieces libcurl delivers into the reads the holder sees: blocks of
// 2048 bytes, a shorter last one, then the empty read that ends the loop,
// each followed by DownloadProgressione with the running total.
class Letture {
 public:
  Letture(CURL* easy, DownloadEventi* eventi) : easy_(easy), eventi_(eventi) {}

  static std::size_t Ricevuto(char* dati, std::size_t /*uno*/, std::size_t n, void* utente) {
    auto* l = static_cast<Letture*>(utente);
    try {
      l->Accoda(dati, n);
      return n;
    } catch (...) {
      // Nothing may cross libcurl's C frames: stop the transfer and rethrow
      // once libcurl has returned.
      l->eccezione_ = std::current_exception();
      return 0;
    }
  }

  // The reads that follow the last piece: what is left, then the empty read.
  void Termina() {
    if (inAttesa_ > 0) Leggi(std::exchange(inAttesa_, 0));
    Leggi(0);
  }

  void RilanciaSeFallito() {
    if (eccezione_) std::rethrow_exception(std::exchange(eccezione_, nullptr));
  }

  std::string Contenuto() && { return std::move(contenuto_); }

 private:
  void Accoda(const char* dati, std::size_t n) {
    if (contenuto_.empty()) PreparaSecondoLunghezza();
    contenuto_.append(dati, n);
    inAttesa_ += n;
    while (inAttesa_ >= kBloccoLettura) {
      inAttesa_ -= kBloccoLettura;
      Leggi(kBloccoLettura);
    }
  }

  // One allocation for the whole body when its length is declared; a
  // declared length beyond the count's range fails before anything is read.
  void PreparaSecondoLunghezza() {
    curl_off_t lunghezza = -1;
    if (curl_easy_getinfo(easy_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &lunghezza) != CURLE_OK ||
        lunghezza <= 0) {
      return;
    }
    if (lunghezza > clsDownload::kByteMassimi) throw std::overflow_error("Overflow");
    // A declared length is only the server's word: reserve at most a bounded
    // amount ahead and let a longer body grow as it arrives.
    contenuto_.reserve(std::min(static_cast<std::size_t>(lunghezza), kRiservaMassima));
  }

  void Leggi(std::size_t n) {
    if (static_cast<long>(n) > clsDownload::kByteMassimi - byteLetti_) {
      throw std::overflow_error("Overflow");
    }
    byteLetti_ += static_cast<long>(n);
    if (eventi_ != nullptr) eventi_->DownloadProgressione(byteLetti_);
  }

  CURL* easy_;
  DownloadEventi* eventi_;
  std::string contenuto_;
  std::size_t inAttesa_ = 0;
  long byteLetti_ = 0;
  std::exception_ptr eccezione_;
};

}  // namespace

DownloadEventi::~DownloadEventi() = default;

std::string clsDownload::OpenURL(const std::string& sUrl) {
  return orvane::Routine(kModulo, "OpenURL", [&](int& linea) -> std::string {
    linea = 10;
    curl::Easy easy = curl::NuovaEasy();
    CURL* h = easy.get();
    curl::Lista intestazioni;
    // Always from the server, never from a cache on the way.
    curl::Accoda(intestazioni, "Cache-Control: no-cache");
    curl::Accoda(intestazioni, "Pragma: no-cache");
    Letture letture(h, eventi_);
    linea = 20;
    curl::Imposta(h, CURLOPT_URL, sUrl.c_str());
    curl::Imposta(h, CURLOPT_USERAGENT, "VB Project");
    curl::Imposta(h, CURLOPT_HTTPHEADER, intestazioni.get());
    curl::Imposta(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl::Imposta(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl::Imposta(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl::Imposta(h, CURLOPT_MAXREDIRS, 10L);
    curl::Imposta(h, CURLOPT_NOSIGNAL, 1L);
    curl::Imposta(h, CURLOPT_BUFFERSIZE, kBufferRicezione);
    // A server that drops the connection attempt must not hold the caller's
    // thread for minutes before the first byte.
    curl::Imposta(h, CURLOPT_CONNECTTIMEOUT, kSecondiSenzaDatiMassimi);
    curl::Imposta(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl::Imposta(h, CURLOPT_LOW_SPEED_TIME, kSecondiSenzaDatiMassimi);
    curl::Imposta(h, CURLOPT_WRITEFUNCTION, &Letture::Ricevuto);
    curl::Imposta(h, CURLOPT_WRITEDATA, &letture);
    linea = 30;
    const CURLcode esito = curl_easy_perform(h);
    letture.RilanciaSeFallito();
    linea = 40;
    letture.Termina();
    linea = 50;
    // Only a complete body is a download: a host that cannot be reached or
    // a transfer that breaks off returns nothing.
    if (esito != CURLE_OK) return {};
    return std::move(letture).Contenuto();
  });
}

}  // namespace quomaro
