#include "service/ServizioHttp.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <fstream>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string_view>
#include <system_error>
#include <thread>
#include <vector>

#include "PaginaCronologia.h"
#include "platform/Descrittore.h"
#include "service/CodificaSOAP.h"

namespace orvane::servizio {
namespace {

constexpr const char* kTipoXml = "text/xml; charset=utf-8";

std::string OraUtc() {
  using namespace std::chrono;
  const auto adesso = floor<seconds>(system_clock::now());
  const auto giorno = floor<days>(adesso);
  const year_month_day data{giorno};
  const hh_mm_ss ora{adesso - giorno};
  std::array<char, 32> testo{};
  const int n = std::snprintf(
      testo.data(), testo.size(), "%04d-%02u-%02uT%02ld:%02ld:%02lldZ", int(data.year()),
      unsigned(data.month()), unsigned(data.day()), static_cast<long>(ora.hours().count()),
      static_cast<long>(ora.minutes().count()), static_cast<long long>(ora.seconds().count()));
  return {testo.data(), static_cast<std::size_t>(n)};
}

// A value from the outside, made safe for one log line: each control
// character, C1 ones in UTF-8 too (U+009B opens an escape sequence as ESC [
// does), becomes '?'.
std::string PerIlLog(const std::string& testo) {
  const std::string parte = testo.substr(0, 300);
  std::string r;
  for (std::size_t i = 0; i < parte.size(); ++i) {
    const auto u = static_cast<unsigned char>(parte[i]);
    const bool c1 = u == 0xC2 && i + 1 < parte.size() &&
                    static_cast<unsigned char>(parte[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(parte[i + 1]) <= 0x9F;
    if (c1) ++i;
    r += u < 0x20 || u == 0x7F || c1 ? '?' : parte[i];
  }
  return r;
}

// Fits the ranges a request asks for to a file of `dimensione` bytes, as
// the server then serves them without looking at the size: an end past the
// file is brought back to its last byte, a range that starts past it (or is
// empty) is dropped. False when none is left: nothing of the file can be
// served, and the ranges are gone so that the server applies none. A range
// is (first, last) with -1 for a missing side: (-1, n) is the last n bytes.
// Ranges that add up to more than the file (the same bytes asked for again
// and again: a header of a few kilobytes could ask for thousands of copies
// of a package) are dropped as well, and the whole file is served once.
bool IntervalliNelFile(httplib::Ranges& intervalli, std::uintmax_t dimensione) {
  if (intervalli.empty()) return true;
  const auto fine = static_cast<ssize_t>(dimensione);
  httplib::Ranges validi;
  std::uintmax_t totale = 0;
  for (auto [primo, ultimo] : intervalli) {
    if (primo < 0) {
      if (ultimo <= 0 || fine == 0) continue;
      validi.emplace_back(-1, std::min(ultimo, fine));
      totale += static_cast<std::uintmax_t>(validi.back().second);
    } else if (primo < fine && (ultimo < 0 || ultimo >= primo)) {
      validi.emplace_back(primo, ultimo < 0 ? fine - 1 : std::min(ultimo, fine - 1));
      totale += static_cast<std::uintmax_t>(validi.back().second - primo + 1);
    }
    if (totale > dimensione) {
      intervalli.clear();
      return true;
    }
  }
  intervalli = std::move(validi);
  return !intervalli.empty();
}

using Orologio = std::chrono::steady_clock;

// Waits up to `durata` for `evento` on `presa`; false when it did not come,
// or when `fermata` became readable (the service stopping) first.
bool AttendiPresa(socket_t presa, short evento, Orologio::duration durata, int fermata) {
  const auto fine = Orologio::now() + durata;
  for (;;) {
    const auto resto = std::chrono::ceil<std::chrono::milliseconds>(fine - Orologio::now());
    if (resto.count() <= 0) return false;
    std::array<pollfd, 2> attese{pollfd{presa, evento, 0}, pollfd{fermata, POLLIN, 0}};
    const int n = ::poll(attese.data(), attese.size(), static_cast<int>(resto.count()));
    if (n > 0) return attese[0].revents != 0;
    if (n == 0 || errno != EINTR) return false;
  }
}

void IndirizzoPresa(socket_t presa, bool remoto, std::string& ip, int& porta) {
  sockaddr_storage indirizzo{};
  socklen_t lunghezza = sizeof indirizzo;
  auto* a = reinterpret_cast<sockaddr*>(&indirizzo);
  if ((remoto ? ::getpeername(presa, a, &lunghezza) : ::getsockname(presa, a, &lunghezza)) != 0) {
    return;
  }
  std::array<char, NI_MAXHOST> testo{};
  if (::getnameinfo(a, lunghezza, testo.data(), testo.size(), nullptr, 0, NI_NUMERICHOST) == 0) {
    ip = testo.data();
  }
  porta = indirizzo.ss_family == AF_INET6
              ? ntohs(reinterpret_cast<const sockaddr_in6*>(&indirizzo)->sin6_port)
              : ntohs(reinterpret_cast<const sockaddr_in*>(&indirizzo)->sin_port);
}

// The status of the answer a worker thread wrote last, as its log line
// gives it.
thread_local int statoRisposta = 0;

// Whether the request may not have been read to its end (a line, header or
// body the server refused): what follows in the connection is no request.
bool RichiestaNonLetta(int stato) {
  return stato >= 400 && stato < 500 && stato != 404 && stato != 416;
}

void ChiudiPresa(socket_t presa) {
  ::shutdown(presa, SHUT_RDWR);
  ::close(presa);
}

// One request's side of a connection. Its head, already waiting in the
// socket, is taken in one read; the rest is read as asked and no further,
// so that a request sent right behind stays in the socket for the next
// turn. No read waits past the request's deadline, and no read or write
// waits on the client once the service is stopping (`fermata` readable): a
// client that stops reading would otherwise hold the stop for the whole
// write timeout, and one that reads a little at a time for far longer.
class FlussoRichiesta final : public httplib::Stream {
 public:
  FlussoRichiesta(socket_t presa, std::size_t testa, Orologio::duration lettura,
                  Orologio::duration scrittura, Orologio::time_point scadenza, int fermata)
      : presa_(presa),
        lettura_(lettura),
        scrittura_(scrittura),
        scadenza_(scadenza),
        fermata_(fermata) {
    testa_.resize(testa);
    ssize_t letti = 0;
    do {
      letti = ::recv(presa_, testa_.data(), testa_.size(), MSG_DONTWAIT);
    } while (letti < 0 && errno == EINTR);
    testa_.resize(letti > 0 ? static_cast<std::size_t>(letti) : 0);
  }

  bool is_readable() const override {
    return letti_ < testa_.size() ||
           AttendiPresa(presa_, POLLIN, std::min(lettura_, scadenza_ - Orologio::now()), fermata_);
  }
  bool is_writable() const override { return AttendiPresa(presa_, POLLOUT, scrittura_, fermata_); }
  ssize_t read(char* dati, std::size_t n) override {
    if (letti_ < testa_.size()) {
      const std::size_t k = std::min(n, testa_.size() - letti_);
      std::copy_n(testa_.data() + letti_, k, dati);
      letti_ += k;
      return static_cast<ssize_t>(k);
    }
    if (!is_readable()) return -1;
    ssize_t letti = 0;
    do {
      letti = ::recv(presa_, dati, n, 0);
    } while (letti < 0 && errno == EINTR);
    return letti;
  }
  ssize_t write(const char* dati, std::size_t n) override {
    if (!is_writable()) return -1;
    ssize_t scritti = 0;
    do {
      scritti = ::send(presa_, dati, n, MSG_NOSIGNAL);
    } while (scritti < 0 && errno == EINTR);
    return scritti;
  }
  void get_remote_ip_and_port(std::string& ip, int& porta) const override {
    IndirizzoPresa(presa_, true, ip, porta);
  }
  void get_local_ip_and_port(std::string& ip, int& porta) const override {
    IndirizzoPresa(presa_, false, ip, porta);
  }
  socket_t socket() const override { return presa_; }

 private:
  socket_t presa_;
  Orologio::duration lettura_;
  Orologio::duration scrittura_;
  Orologio::time_point scadenza_;
  int fermata_;
  std::string testa_;
  std::size_t letti_ = 0;
};

// The accept loop's queue: the connection is handed over at once (to the
// waiting room, which never blocks).
class Subito final : public httplib::TaskQueue {
 public:
  void enqueue(std::function<void()> compito) override { compito(); }
  void shutdown() override {}
};

// The workers that answer the requests, each task in its turn. A worker
// that cannot start (the limit of the user's processes reached, no room
// for its stack) stops and joins those already started, and the start
// fails with the reason: the library's own pool would wait for ever on
// them, deaf to the stop signals too.
class Lavoratori {
 public:
  explicit Lavoratori(std::size_t n) {
    try {
      while (fili_.size() < n)
        fili_.emplace_back([this] { Lavora(); });
    } catch (...) {
      Ferma();
      throw;
    }
  }
  ~Lavoratori() { Ferma(); }
  Lavoratori(const Lavoratori&) = delete;
  Lavoratori& operator=(const Lavoratori&) = delete;

  void Affida(std::function<void()> compito) {
    {
      const std::lock_guard blocco(mutex_);
      compiti_.push_back(std::move(compito));
    }
    attesa_.notify_one();
  }

  // The tasks already handed over are done first.
  void Ferma() {
    {
      const std::lock_guard blocco(mutex_);
      fermo_ = true;
    }
    attesa_.notify_all();
    for (auto& filo : fili_)
      filo.join();
    fili_.clear();
  }

 private:
  void Lavora() {
    for (;;) {
      std::function<void()> compito;
      {
        std::unique_lock blocco(mutex_);
        attesa_.wait(blocco, [this] { return fermo_ || !compiti_.empty(); });
        if (compiti_.empty()) return;
        compito = std::move(compiti_.front());
        compiti_.pop_front();
      }
      compito();
    }
  }

  std::mutex mutex_;
  std::condition_variable attesa_;
  bool fermo_ = false;
  std::deque<std::function<void()>> compiti_;
  std::vector<std::thread> fili_;
};

}  // namespace

// The server with a waiting room in front of its workers. A connection
// waits there, polled by one thread, until the line and headers of its next
// request have arrived whole; only then does a worker take it, for that one
// request. A client that sends its request a byte at a time, or sends
// nothing, holds no worker, so a few hundred of them do not stop the
// service from answering the others; one that takes longer than
// kAttesaTesta is dropped.
class ServerHttp final : public httplib::Server {
 public:
  ServerHttp() {
    new_task_queue = [] { return new Subito; };
  }
  ~ServerHttp() override { FermaConnessioni(); }
  ServerHttp(const ServerHttp&) = delete;
  ServerHttp& operator=(const ServerHttp&) = delete;

  // Once the address is bound: the connections that come at once while the
  // accept loop is busy wait for it in the system's queue. The server asks
  // for a queue of 5, past which a connection is dropped and its client
  // tries again only a second or more later.
  void AvviaConnessioni() {
    (void)::listen(svr_sock_, SOMAXCONN);
    {
      const std::lock_guard blocco(mutex_);
      fermo_ = false;
    }
    std::uint64_t letto = 0;
    (void)!::read(fermata_.Fd(), &letto, sizeof letto);
    lavoratori_ = std::make_unique<Lavoratori>(ServizioHttp::kLavoratori);
    sala_ = std::thread([this] { Sala(); });
  }

  // After the accept loop ended: closes the waiting connections and waits
  // for the requests being answered, which wait on no client from now on.
  void FermaConnessioni() {
    {
      const std::lock_guard blocco(mutex_);
      fermo_ = true;
    }
    Sveglia();
    const std::uint64_t uno = 1;
    (void)!::write(fermata_.Fd(), &uno, sizeof uno);
    if (sala_.joinable()) sala_.join();
    if (lavoratori_) lavoratori_->Ferma();
    lavoratori_.reset();
  }

 private:
  // The largest head a request may have; a longer one is refused in the
  // waiting room and its connection closed.
  static constexpr std::size_t kTestaMassima = std::size_t{16} * 1024;
  static constexpr std::string_view kTestaTroppoLunga =
      "HTTP/1.1 431 Request Header Fields Too Large\r\nContent-Length: 0\r\n"
      "Connection: close\r\n\r\n";

  struct InAttesa {
    socket_t presa;
    std::size_t rimaste;  // requests the connection may still carry
    Orologio::time_point arrivo;
    std::size_t visti = 0;  // bytes of the head seen so far
  };

  bool process_and_close_socket(socket_t presa) override {
    // An answer leaves as the library writes it, its head and then its
    // body: under Nagle's rule a small body would wait for the client's
    // delayed acknowledgement of the head, 40 ms on every small answer of a
    // kept connection.
    const int si = 1;
    (void)::setsockopt(presa, IPPROTO_TCP, TCP_NODELAY, &si, sizeof si);
    Attendi(presa, keep_alive_max_count_);
    return true;
  }

  void Attendi(socket_t presa, std::size_t rimaste) {
    {
      const std::lock_guard blocco(mutex_);
      if (!fermo_) {
        nuove_.push_back({presa, rimaste, Orologio::now()});
        presa = INVALID_SOCKET;
      }
    }
    if (presa != INVALID_SOCKET) {
      ChiudiPresa(presa);
      return;
    }
    Sveglia();
  }

  void Sveglia() const {
    const std::uint64_t uno = 1;
    (void)!::write(sveglia_.Fd(), &uno, sizeof uno);
  }

  static Orologio::time_point Scadenza(const InAttesa& a) {
    return a.arrivo + (a.visti == 0 ? std::chrono::seconds(ServizioHttp::kAttesaRichiesta)
                                    : std::chrono::seconds(ServizioHttp::kAttesaTesta));
  }

  // One request on a worker; the connection goes back to wait for its next.
  void Servi(socket_t presa, std::size_t testa, std::size_t rimaste, Orologio::time_point arrivo) {
    const int uno = 1;
    (void)::setsockopt(presa, SOL_SOCKET, SO_RCVLOWAT, &uno, sizeof uno);
    FlussoRichiesta flusso(presa, testa, std::chrono::seconds(read_timeout_sec_),
                           std::chrono::seconds(write_timeout_sec_),
                           arrivo + ServizioHttp::kTempoRichiesta, fermata_.Fd());
    const bool ultima = rimaste <= 1;
    bool chiusa = false;
    statoRisposta = 0;
    if (process_request(flusso, ultima, chiusa, nullptr) && !chiusa && !ultima &&
        !RichiestaNonLetta(statoRisposta)) {
      Attendi(presa, rimaste - 1);
    } else {
      ChiudiPresa(presa);
    }
  }

  void Sala() {
    std::list<InAttesa> attese;
    std::vector<pollfd> prese;
    std::vector<char> testa(kTestaMassima);
    for (;;) {
      {
        const std::lock_guard blocco(mutex_);
        if (fermo_) break;
        attese.splice(attese.end(), nuove_);
      }
      auto prima = Orologio::time_point::max();
      prese.assign(1, pollfd{sveglia_.Fd(), POLLIN, 0});
      for (const auto& a : attese) {
        prima = std::min(prima, Scadenza(a));
        prese.push_back(pollfd{a.presa, POLLIN | POLLRDHUP, 0});
      }
      const int attesa =
          attese.empty()
              ? -1
              : static_cast<int>(std::max<std::int64_t>(
                    0,
                    std::chrono::ceil<std::chrono::milliseconds>(prima - Orologio::now()).count()));
      if (::poll(prese.data(), prese.size(), attesa) < 0 && errno != EINTR) break;
      if ((prese[0].revents & POLLIN) != 0) {
        std::uint64_t letto = 0;
        (void)!::read(sveglia_.Fd(), &letto, sizeof letto);
      }
      const auto adesso = Orologio::now();
      auto p = prese.begin() + 1;
      for (auto a = attese.begin(); a != attese.end(); ++p) {
        std::size_t lunghezza = 0;  // of the head, once it is whole
        bool chiudi = false;
        if (p->revents != 0) {
          const ssize_t n = ::recv(a->presa, testa.data(), testa.size(), MSG_PEEK | MSG_DONTWAIT);
          if (n > 0) {
            const auto visti = static_cast<std::size_t>(n);
            const auto fine = std::string_view(testa.data(), visti).find("\r\n\r\n");
            if (fine != std::string_view::npos) {
              lunghezza = fine + 4;
            } else if (visti == testa.size()) {
              (void)::send(a->presa, kTestaTroppoLunga.data(), kTestaTroppoLunga.size(),
                           MSG_DONTWAIT | MSG_NOSIGNAL);
              chiudi = true;
            } else {
              // Nothing new after the end of the data: the client is gone.
              chiudi = visti == a->visti || (p->revents & POLLRDHUP) != 0;
              // Woken again only when more of the head has come.
              const int soglia = static_cast<int>(visti + 1);
              (void)::setsockopt(a->presa, SOL_SOCKET, SO_RCVLOWAT, &soglia, sizeof soglia);
            }
            a->visti = visti;
          } else {
            chiudi = n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
          }
        }
        if (lunghezza == 0 && !chiudi && adesso >= Scadenza(*a)) chiudi = true;
        if (lunghezza > 0) {
          lavoratori_->Affida([this, presa = a->presa, lunghezza, rimaste = a->rimaste,
                               arrivo = a->arrivo] { Servi(presa, lunghezza, rimaste, arrivo); });
        } else if (chiudi) {
          ChiudiPresa(a->presa);
        }
        a = lunghezza > 0 || chiudi ? attese.erase(a) : std::next(a);
      }
    }
    const std::lock_guard blocco(mutex_);
    attese.splice(attese.end(), nuove_);
    for (const auto& a : attese)
      ChiudiPresa(a.presa);
  }

  platform::Descrittore sveglia_{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
  // Readable from the stop on: ends every worker's wait on its client.
  platform::Descrittore fermata_{::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)};
  std::mutex mutex_;
  bool fermo_ = true;
  std::list<InAttesa> nuove_;
  std::thread sala_;
  std::unique_ptr<Lavoratori> lavoratori_;
};

ServizioHttp::ServizioHttp(OperazioniServizio& operazioni, ArchivioServizio& archivio,
                           std::filesystem::path cartellaDownload, std::ostream& log)
    : operazioni_(operazioni),
      archivio_(archivio),
      cartellaDownload_(std::move(cartellaDownload)),
      log_(log),
      server_(std::make_unique<ServerHttp>()) {
  server_->set_payload_max_length(kCorpoMassimo);
  // The port to itself: the library's default, SO_REUSEPORT, would let a
  // second service bind the same port and take every other connection.
  // SO_REUSEADDR alone still lets a restart bind while old connections end.
  server_->set_socket_options([](socket_t presa) {
    const int si = 1;
    (void)::setsockopt(presa, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
  });
  server_->set_read_timeout(kAttesaLettura);
  server_->set_write_timeout(kAttesaScrittura);
  server_->set_keep_alive_timeout(kAttesaRichiesta.count());
  server_->set_keep_alive_max_count(kRichiestePerConnessione);
  // The body is read here rather than by the server, which bounds only a
  // body with a declared length: a chunked one is counted as it arrives.
  server_->Post(kPercorsoSOAP,
                [this](const httplib::Request& q, httplib::Response& r,
                       const httplib::ContentReader& lettore) { RispondiSOAP(q, r, lettore); });
  // A package's signature, when the maker published one, lies beside it.
  server_->Get(R"(/ServizioAggiornamenti/download/(Aggiornamento[0-9]{5,}\.zip(\.minisig)?))",
               [this](const httplib::Request& q, httplib::Response& r) { ServiPacchetto(q, r); });
  server_->Get("/cronologia.aspx",
               [this](const httplib::Request& q, httplib::Response& r) { ServiCronologia(q, r); });
  // Errors without a body (a body over the limit, a request that could not
  // be read) still get a SOAP fault on the SOAP endpoint.
  server_->set_error_handler([](const httplib::Request& q, httplib::Response& r) {
    if (q.path != kPercorsoSOAP || !r.body.empty()) return;
    const std::string motivo = r.status == 413
                                   ? "Richiesta troppo grande"
                                   : "Richiesta non valida (HTTP " + std::to_string(r.status) + ")";
    r.set_content(CodificaSOAP::Guasto(CodificaSOAP::kBusta11,
                                       GuastoSOAP(GuastoSOAP::Lato::Mittente, motivo)),
                  kTipoXml);
  });
  server_->set_exception_handler(
      [](const httplib::Request&, httplib::Response& r, const std::exception_ptr&) {
        r.status = 500;
        r.set_content("Errore interno del servizio", "text/plain; charset=utf-8");
      });
  server_->set_logger(
      [this](const httplib::Request& q, const httplib::Response& r) { ScriviLog(q, r); });
}

ServizioHttp::~ServizioHttp() {
  Ferma();
}

int ServizioHttp::Avvia(const std::string& host, int porta) {
  if (thread_.joinable()) throw std::logic_error("Il servizio è già avviato");
  const int legata = porta == 0 ? server_->bind_to_any_port(host)
                                : (server_->bind_to_port(host, porta) ? porta : -1);
  if (legata <= 0) {
    throw std::runtime_error("Impossibile ascoltare su " + host + ":" + std::to_string(porta));
  }
  ascoltoFinito_ = false;
  server_->AvviaConnessioni();
  thread_ = std::thread([this] {
    server_->listen_after_bind();
    ascoltoFinito_ = true;
    ascoltoFinito_.notify_all();
  });
  return legata;
}

bool ServizioHttp::InEsecuzione() const noexcept {
  return thread_.joinable() && !ascoltoFinito_;
}

void ServizioHttp::AttendiFineAscolto() const {
  ascoltoFinito_.wait(false);
}

void ServizioHttp::Ferma() {
  if (!thread_.joinable()) return;
  // Stopping before the server runs would leave its loop waiting for ever.
  while (!server_->is_running() && !ascoltoFinito_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  server_->stop();
  thread_.join();
  server_->FermaConnessioni();
}

void ServizioHttp::RispondiSOAP(const httplib::Request& /*q*/, httplib::Response& r,
                                const httplib::ContentReader& lettore) {
  std::string corpo;
  std::size_t ricevuti = 0;
  const bool letto = lettore([&](const char* dati, std::size_t n) {
    ricevuti += n;
    if (ricevuti <= kCorpoMassimo) {
      corpo.append(dati, n);
      return true;
    }
    // Past the limit the rest is read and dropped, as for a body whose
    // declared length is over it, so that the client gets the answer; a
    // sender that does not stop loses its connection.
    corpo.clear();
    return ricevuti <= kCorpoScartabile;
  });
  std::string spazio(CodificaSOAP::kBusta11);
  if (!letto || ricevuti > kCorpoMassimo) {
    // An empty body lets the error handler give the fault for the status.
    r.status = ricevuti > kCorpoMassimo || r.status == 413 ? 413 : 400;
    r.body.clear();
    r.set_header("Connection", "close");
    return;
  }
  try {
    const RichiestaSOAP richiesta = CodificaSOAP::Leggi(corpo);
    spazio = richiesta.spazioBusta;
    r.set_content(
        CodificaSOAP::Risposta(spazio, richiesta.operazione, operazioni_.Esegui(richiesta)),
        kTipoXml);
  } catch (const GuastoSOAP& guasto) {
    r.status = 500;
    r.set_content(CodificaSOAP::Guasto(spazio, guasto), kTipoXml);
  } catch (const std::exception& e) {
    // The request boundary: whatever failed inside becomes the service's fault.
    r.status = 500;
    r.set_content(CodificaSOAP::Guasto(spazio, GuastoSOAP(GuastoSOAP::Lato::Servizio, e.what())),
                  kTipoXml);
  }
}

void ServizioHttp::ServiPacchetto(const httplib::Request& q, httplib::Response& r) {
  const auto file = cartellaDownload_ / q.matches[1].str();
  // A name the file system cannot hold (too long) is no package either.
  std::error_code ec;
  std::ifstream ingresso(file, std::ios::binary);
  const bool regolare = std::filesystem::is_regular_file(file, ec);
  const auto dimensione = regolare ? std::filesystem::file_size(file, ec) : 0;
  if (!regolare || ec || !ingresso) {
    r.status = 404;
    r.set_content("Pacchetto inesistente", "text/plain; charset=utf-8");
    return;
  }
  // The server reads the ranges from the request after the handler, and the
  // request is its own, not a constant: they are fitted to the file here.
  if (!IntervalliNelFile(const_cast<httplib::Ranges&>(q.ranges), dimensione)) {
    r.status = 416;
    r.set_header("Content-Range", "bytes */" + std::to_string(dimensione));
    r.set_content("Intervallo non soddisfacibile", "text/plain; charset=utf-8");
    return;
  }
  // The package goes out in blocks as it is read: a large one is never
  // held in memory whole, nor copied into the answer.
  struct Lettura {
    std::ifstream pacchetto;
    std::vector<char> blocco = std::vector<char>(std::size_t{256} << 10U);
  };
  auto lettura = std::make_shared<Lettura>(Lettura{std::move(ingresso)});
  r.set_content_provider(
      static_cast<std::size_t>(dimensione),
      q.matches[2].matched ? "text/plain; charset=utf-8" : "application/zip",
      [lettura](std::size_t inizio, std::size_t lunghezza, httplib::DataSink& sink) {
        auto& [pacchetto, blocco] = *lettura;
        pacchetto.seekg(static_cast<std::streamoff>(inizio));
        pacchetto.read(blocco.data(),
                       static_cast<std::streamsize>(std::min(lunghezza, blocco.size())));
        const std::streamsize n = pacchetto.gcount();
        // A file that shrank under the service ends the answer short.
        return n > 0 && sink.write(blocco.data(), static_cast<std::size_t>(n));
      });
}

void ServizioHttp::ServiCronologia(const httplib::Request& q, httplib::Response& r) {
  const std::string session = q.get_param_value("session");
  // Records without a session belong to unattended runs of many customers:
  // they are nobody's history.
  const auto download =
      session.empty() ? std::vector<RecordDownload>{} : archivio_.DownloadDellaSessione(session);
  r.set_content(PaginaCronologia::Componi(session, download), "text/html; charset=utf-8");
}

void ServizioHttp::ScriviLog(const httplib::Request& q, const httplib::Response& r) {
  statoRisposta = r.status;
  const std::lock_guard blocco(mutexLog_);
  log_ << OraUtc() << ' ' << q.remote_addr << ' ' << PerIlLog(q.method) << ' ' << PerIlLog(q.target)
       << ' ' << r.status << ' ' << r.body.size() << '\n'
       << std::flush;
}

}  // namespace orvane::servizio
