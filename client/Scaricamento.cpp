#include "quomaro/Scaricamento.h"

#include <poll.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <exception>
#include <new>
#include <utility>
#include <vector>

#include "FineRichiesta.h"
#include "ManiglieCurl.h"
#include "platform/Memoria.h"
#include "platform/PompaMessaggi.h"

namespace quomaro {
namespace {

constexpr std::size_t kBloccoLettura = 2048;
// A body of unknown length is kept in blocks of this size, so that it never
// has to be copied whole while it grows.
constexpr std::size_t kBloccoCorpo = std::size_t{16} << 20U;
// libcurl's own receive buffer: large, so that big bodies need few calls.
constexpr long kBufferRicezione = 256L * 1024;
constexpr long kRedirezioniMassime = 10;
// How often the host's messages run while a download waits for data.
constexpr auto kIntervalloPompa = std::chrono::milliseconds(200);

// The body as it arrives: one allocation of the declared length, or blocks
// joined once at the end, each block freed as soon as it is copied.
class Corpo {
 public:
  // Address space taken for a declared length is not memory until written;
  // where even that is refused, the body goes in blocks. Large pages spare
  // a big body most of its page faults, which cost more than the copy.
  void Prepara(std::optional<long long> dichiarati) {
    if (!dichiarati || *dichiarati <= 0) return;
    try {
      std::string& corpo = blocchi_.emplace_back();
      corpo.reserve(static_cast<std::size_t>(*dichiarati));
      platform::PreferisciPagineGrandi(corpo.data(), corpo.capacity());
      unico_ = true;
    } catch (const std::bad_alloc&) {
      blocchi_.clear();
    }
  }

  void Accoda(const char* dati, std::size_t n) {
    if (unico_) {
      blocchi_.back().append(dati, n);
      return;
    }
    while (n > 0) {
      if (blocchi_.empty() || blocchi_.back().size() == kBloccoCorpo) blocchi_.emplace_back();
      std::string& blocco = blocchi_.back();
      const std::size_t parte = std::min(n, kBloccoCorpo - blocco.size());
      blocco.append(dati, parte);
      dati += parte;
      n -= parte;
    }
  }

  std::string Unisci() && {
    if (blocchi_.size() == 1) return std::move(blocchi_.front());
    std::size_t totale = 0;
    for (const auto& b : blocchi_)
      totale += b.size();
    std::string tutto;
    tutto.reserve(totale);
    for (auto& b : blocchi_) {
      tutto += b;
      std::string().swap(b);
    }
    return tutto;
  }

 private:
  bool unico_ = false;
  std::vector<std::string> blocchi_;
};

long Stato(CURL* easy) {
  long stato = 0;
  curl::Libcurl().easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &stato);
  return stato;
}

// The length the answer declares, when it declares one.
std::optional<long long> Dichiarati(CURL* easy) {
  curl_off_t lunghezza = -1;
  if (curl::Libcurl().easy_getinfo(easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &lunghezza) !=
          CURLE_OK ||
      lunghezza < 0) {
    return std::nullopt;
  }
  return static_cast<long long>(lunghezza);
}

// Turns the pieces libcurl delivers into the reads the holder sees: blocks of
// 2048 bytes, a shorter last one, then the empty read that ends the loop,
// each followed by DownloadProgressione with the running total.
class Letture {
 public:
  Letture(CURL* easy, DownloadEventi* eventi, const LimitiScaricamento& limiti,
          const Scaricamento::OsservatoreRisposta& osservatore,
          const Scaricamento::Destinazione* destinazione)
      : easy_(easy),
        eventi_(eventi),
        limiti_(limiti),
        osservatore_(osservatore),
        destinazione_(destinazione) {}

  static std::size_t Ricevuto(char* dati, std::size_t /*uno*/, std::size_t n, void* utente) {
    auto* l = static_cast<Letture*>(utente);
    try {
      return l->Accoda(dati, n) ? n : 0;
    } catch (...) {
      // Nothing may cross libcurl's C frames: stop the transfer and rethrow
      // once libcurl has returned.
      l->eccezione_ = std::current_exception();
      return 0;
    }
  }

  // Counts the answer's header bytes, trailers included, and gives the
  // transfer up past kIntestazioniMassime.
  static std::size_t Intestazione(char* /*dati*/, std::size_t /*uno*/, std::size_t n,
                                  void* utente) {
    auto* l = static_cast<Letture*>(utente);
    l->byteIntestazioni_ += n;
    return l->byteIntestazioni_ > curl::kIntestazioniMassime ? 0 : n;
  }
  // Called by libcurl about once a second while no data moves, and more
  // often while it does. The host's messages run here, at most every
  // kIntervalloPompa: a link that stalls for up to the time limits (a
  // minute without data) must not freeze the host's window meanwhile. A
  // non-zero answer gives the transfer up.
  static int Avanzamento(void* utente, curl_off_t /*attesi*/, curl_off_t /*ricevuti*/,
                         curl_off_t /*daInviare*/, curl_off_t /*inviati*/) {
    auto* l = static_cast<Letture*>(utente);
    const auto ora = std::chrono::steady_clock::now();
    if (ora - l->ultimaPompa_ >= kIntervalloPompa) {
      l->ultimaPompa_ = ora;
      try {
        platform::ElaboraMessaggiInAttesa();
      } catch (...) {
        l->eccezione_ = std::current_exception();
        return 1;
      }
    }
    return FineRichiesta() ? 1 : 0;
  }

  [[nodiscard]] bool IntestazioniTroppe() const {
    return byteIntestazioni_ > curl::kIntestazioniMassime;
  }

  // The reads that follow the last piece: what is left, then the empty read.
  void Termina() {
    if (inAttesa_ > 0) Leggi(std::exchange(inAttesa_, 0));
    Leggi(0);
  }

  void RilanciaSeFallito() {
    if (eccezione_) std::rethrow_exception(std::exchange(eccezione_, nullptr));
  }

  [[nodiscard]] bool TroppoGrande() const { return troppoGrande_; }
  [[nodiscard]] long long Ricevuti() const { return ricevuti_; }
  std::string Contenuto() && { return std::move(corpo_).Unisci(); }

 private:
  bool Accoda(const char* dati, std::size_t n) {
    if (!iniziato_) {
      iniziato_ = true;
      const std::optional<long long> dichiarati = Dichiarati(easy_);
      // A declared length beyond the limit fails before anything is kept.
      if (dichiarati && *dichiarati > limiti_.byteMassimi) {
        troppoGrande_ = true;
        return false;
      }
      if (osservatore_) osservatore_(Stato(easy_), dichiarati);
      if (destinazione_ == nullptr) corpo_.Prepara(dichiarati);
    }
    if (static_cast<long long>(n) > limiti_.byteMassimi - ricevuti_) {
      troppoGrande_ = true;
      return false;
    }
    if (destinazione_ != nullptr) {
      (*destinazione_)(std::string_view(dati, n));
    } else {
      corpo_.Accoda(dati, n);
    }
    ricevuti_ += static_cast<long long>(n);
    inAttesa_ += n;
    while (inAttesa_ >= kBloccoLettura) {
      inAttesa_ -= kBloccoLettura;
      Leggi(kBloccoLettura);
    }
    return true;
  }

  void Leggi(std::size_t n) {
    letti_ += static_cast<long>(n);
    if (eventi_ != nullptr) eventi_->DownloadProgressione(letti_);
  }

  CURL* easy_;
  DownloadEventi* eventi_;
  const LimitiScaricamento& limiti_;
  const Scaricamento::OsservatoreRisposta& osservatore_;
  const Scaricamento::Destinazione* destinazione_;
  Corpo corpo_;
  bool iniziato_ = false;
  bool troppoGrande_ = false;
  std::size_t byteIntestazioni_ = 0;
  long long ricevuti_ = 0;
  std::size_t inAttesa_ = 0;
  long letti_ = 0;
  std::exception_ptr eccezione_;
  std::chrono::steady_clock::time_point ultimaPompa_ = std::chrono::steady_clock::now();
};

FineScaricamento Fine(CURLcode codice, bool troppoGrande, long stato) {
  if (troppoGrande) return FineScaricamento::TroppoGrande;
  if (codice == CURLE_ABORTED_BY_CALLBACK) return FineScaricamento::Abbandonato;
  switch (codice) {
    case CURLE_OK:
      return FineScaricamento::Completo;
    case CURLE_PARTIAL_FILE:
      return FineScaricamento::Incompleto;
    case CURLE_OPERATION_TIMEDOUT:
      // Without an answer, the time ran out connecting.
      return stato == 0 ? FineScaricamento::Irraggiungibile : FineScaricamento::Lento;
    default:
      return stato == 0 ? FineScaricamento::Irraggiungibile : FineScaricamento::Interrotto;
  }
}

}  // namespace

bool EsitoScaricamento::Riuscito() const {
  return fine == FineScaricamento::Completo && stato >= 200 && stato <= 299 &&
         (!dichiarati || *dichiarati == ricevuti);
}

std::string EsitoScaricamento::Descrizione() const {
  const std::string conDettaglio = dettaglio.empty() ? std::string() : " (" + dettaglio + ")";
  switch (fine) {
    case FineScaricamento::Completo:
      if (Riuscito()) return {};
      if (stato < 200 || stato > 299) return "il server risponde HTTP " + std::to_string(stato);
      return "download incompleto: ricevuti " + std::to_string(ricevuti) + " byte su " +
             std::to_string(dichiarati.value_or(0));
    case FineScaricamento::Irraggiungibile:
      return "server non raggiungibile" + conDettaglio;
    case FineScaricamento::Incompleto:
      return "download incompleto: ricevuti " + std::to_string(ricevuti) + " byte" +
             (dichiarati ? " su " + std::to_string(*dichiarati) : std::string()) + conDettaglio;
    case FineScaricamento::Interrotto:
      return "trasferimento interrotto dopo " + std::to_string(ricevuti) + " byte" + conDettaglio;
    case FineScaricamento::Lento:
      return "download abbandonato dopo " + std::to_string(ricevuti) +
             " byte: il server ha inviato " + dettaglio;
    case FineScaricamento::TroppoGrande:
      // An error page longer than the file awaited says its status.
      if (stato != 0 && (stato < 200 || stato > 299))
        return "il server risponde HTTP " + std::to_string(stato);
      return "file troppo grande" + conDettaglio;
    case FineScaricamento::Abbandonato:
      return "download abbandonato: il programma sta terminando";
  }
  return {};
}

struct ConnessioneScaricamento::Maniglia {
  curl::Easy easy = curl::NuovaEasy();
  // The socket of the connection the latest download left open.
  curl_socket_t socket = CURL_SOCKET_BAD;

  // The handle for the next download. A connection left open must be
  // silent until that download asks: bytes that came after the latest
  // answer's end (a server or a box on the way that sends more than it
  // declared, or a second answer) would be read as the next answer, and
  // libcurl reuses such a connection. A new handle closes it, and the next
  // download opens a connection of its own.
  CURL* PerIlProssimo() {
    pollfd p{.fd = std::exchange(socket, CURL_SOCKET_BAD), .events = POLLIN, .revents = 0};
    if (p.fd != CURL_SOCKET_BAD && ::poll(&p, 1, 0) != 0) easy = curl::NuovaEasy();
    return easy.get();
  }
};

ConnessioneScaricamento::ConnessioneScaricamento() : maniglia_(std::make_unique<Maniglia>()) {}

ConnessioneScaricamento::~ConnessioneScaricamento() = default;

Scaricamento::Scaricamento(DownloadEventi* eventi, LimitiScaricamento limiti,
                           ConnessioneScaricamento* connessione)
    : eventi_(eventi), limiti_(limiti), connessione_(connessione) {}

EsitoScaricamento Scaricamento::Scarica(const std::string& url) const {
  return Esegui(url, nullptr);
}

EsitoScaricamento Scaricamento::ScaricaIn(const std::string& url,
                                          const Destinazione& destinazione) const {
  return Esegui(url, &destinazione);
}

EsitoScaricamento Scaricamento::Esegui(const std::string& url,
                                       const Destinazione* destinazione) const {
  curl::Easy propria;
  CURL* h = nullptr;
  if (connessione_ != nullptr) {
    h = connessione_->maniglia_->PerIlProssimo();
  } else {
    propria = curl::NuovaEasy();
    h = propria.get();
  }
  // A kept handle leaves each download with no options at all, keeping only
  // its open connections (and what libcurl caches beside them): the next
  // download starts as on a new handle, and no pointer to this call's
  // buffers outlives it.
  const std::unique_ptr<CURL, void (*)(CURL*)> azzera(connessione_ != nullptr ? h : nullptr,
                                                      curl::Libcurl().easy_reset);
  curl::Lista intestazioni;
  // Always from the server, never from a cache on the way.
  curl::Accoda(intestazioni, "Cache-Control: no-cache");
  curl::Accoda(intestazioni, "Pragma: no-cache");
  std::array<char, CURL_ERROR_SIZE> errore{};
  Letture letture(h, eventi_, limiti_, osservatore_, destinazione);
  curl::Imposta(h, CURLOPT_URL, url.c_str());
  curl::Imposta(h, CURLOPT_USERAGENT, "VB Project");
  curl::Imposta(h, CURLOPT_HTTPHEADER, intestazioni.get());
  curl::Imposta(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl::Imposta(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl::Imposta(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl::Imposta(h, CURLOPT_MAXREDIRS, kRedirezioniMassime);
  curl::Imposta(h, CURLOPT_NOSIGNAL, 1L);
  curl::NonAttendereRisoluzione(h);
  curl::SocketChiusiInExec(h);
  curl::Imposta(h, CURLOPT_ERRORBUFFER, errore.data());
  // The buffer's size is only a wish: libcurl keeps the buffer of a handle
  // whose latest transfer failed before reaching a server (a refused
  // scheme, a name that does not resolve) and refuses to resize it, and the
  // transfer runs as well with the buffer it has.
  static_cast<void>(curl::Libcurl().easy_setopt(h, CURLOPT_BUFFERSIZE, kBufferRicezione));
  // A server that drops the connection attempt must not hold the caller's
  // thread for minutes before the first byte.
  curl::Imposta(h, CURLOPT_CONNECTTIMEOUT, clsDownload::kSecondiSenzaDatiMassimi);
  // Nor may a server that sends a trickle hold it for ever.
  curl::Imposta(h, CURLOPT_LOW_SPEED_LIMIT, limiti_.velocitaMinima);
  curl::Imposta(h, CURLOPT_LOW_SPEED_TIME, limiti_.secondiSottoVelocita);
  curl::Imposta(h, CURLOPT_NOPROGRESS, 0L);
  curl::Imposta(h, CURLOPT_XFERINFOFUNCTION, &Letture::Avanzamento);
  curl::Imposta(h, CURLOPT_XFERINFODATA, &letture);
  curl::Imposta(h, CURLOPT_WRITEFUNCTION, &Letture::Ricevuto);
  curl::Imposta(h, CURLOPT_WRITEDATA, &letture);
  curl::Imposta(h, CURLOPT_HEADERFUNCTION, &Letture::Intestazione);
  curl::Imposta(h, CURLOPT_HEADERDATA, &letture);
  const CURLcode codice = curl::Libcurl().easy_perform(h);
  if (connessione_ != nullptr) {
    curl_socket_t socket = CURL_SOCKET_BAD;
    if (curl::Libcurl().easy_getinfo(h, CURLINFO_ACTIVESOCKET, &socket) == CURLE_OK)
      connessione_->maniglia_->socket = socket;
  }
  letture.RilanciaSeFallito();

  EsitoScaricamento esito;
  esito.stato = Stato(h);
  esito.dichiarati = Dichiarati(h);
  esito.ricevuti = letture.Ricevuti();
  esito.fine = Fine(codice, letture.TroppoGrande(), esito.stato);
  if (codice != CURLE_OK && !letture.TroppoGrande()) {
    esito.dettaglio = curl::MotivoFallimento(errore.data(), codice);
  }
  if (letture.IntestazioniTroppe()) {
    esito.fine = FineScaricamento::Interrotto;
    esito.dettaglio =
        "intestazioni della risposta oltre " + std::to_string(curl::kIntestazioniMassime) + " byte";
  }
  if (esito.fine == FineScaricamento::Lento) {
    esito.dettaglio = "meno di " + std::to_string(limiti_.velocitaMinima) +
                      " byte al secondo per " + std::to_string(limiti_.secondiSottoVelocita) +
                      " secondi";
  }
  if (esito.fine == FineScaricamento::TroppoGrande) {
    esito.dettaglio = "oltre " + std::to_string(limiti_.byteMassimi) + " byte";
    return esito;
  }
  letture.Termina();
  if (esito.fine == FineScaricamento::Completo && destinazione == nullptr)
    esito.corpo = std::move(letture).Contenuto();
  return esito;
}

}  // namespace quomaro
