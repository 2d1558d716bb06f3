#include "service/ServizioHttp.h"

#include <sys/socket.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "PaginaCronologia.h"
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

// A value from the outside, made safe for one log line.
std::string PerIlLog(const std::string& testo) {
  std::string r;
  for (const char c : testo.substr(0, 300)) {
    const auto u = static_cast<unsigned char>(c);
    r += u < 0x20 || u == 0x7F ? '?' : c;
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

}  // namespace

ServizioHttp::ServizioHttp(OperazioniServizio& operazioni, ArchivioServizio& archivio,
                           std::filesystem::path cartellaDownload, std::ostream& log)
    : operazioni_(operazioni),
      archivio_(archivio),
      cartellaDownload_(std::move(cartellaDownload)),
      log_(log) {
  server_.set_payload_max_length(kCorpoMassimo);
  // The port to itself: the library's default, SO_REUSEPORT, would let a
  // second service bind the same port and take every other connection.
  // SO_REUSEADDR alone still lets a restart bind while old connections end.
  server_.set_socket_options([](socket_t presa) {
    const int si = 1;
    (void)::setsockopt(presa, SOL_SOCKET, SO_REUSEADDR, &si, sizeof si);
  });
  server_.set_read_timeout(kAttesaLettura);
  server_.set_write_timeout(kAttesaScrittura);
  server_.set_keep_alive_timeout(kAttesaRichiesta.count());
  server_.set_keep_alive_max_count(kRichiestePerConnessione);
  server_.new_task_queue = [] { return new httplib::ThreadPool(kLavoratori); };
  // The body is read here rather than by the server, which bounds only a
  // body with a declared length: a chunked one is counted as it arrives.
  server_.Post(kPercorsoSOAP,
               [this](const httplib::Request& q, httplib::Response& r,
                      const httplib::ContentReader& lettore) { RispondiSOAP(q, r, lettore); });
  // A package's signature, when the maker published one, lies beside it.
  server_.Get(R"(/ServizioAggiornamenti/download/(Aggiornamento[0-9]{5,}\.zip(\.minisig)?))",
              [this](const httplib::Request& q, httplib::Response& r) { ServiPacchetto(q, r); });
  server_.Get("/cronologia.aspx",
              [this](const httplib::Request& q, httplib::Response& r) { ServiCronologia(q, r); });
  // Errors without a body (a body over the limit, a request that could not
  // be read) still get a SOAP fault on the SOAP endpoint.
  server_.set_error_handler([](const httplib::Request& q, httplib::Response& r) {
    if (q.path != kPercorsoSOAP || !r.body.empty()) return;
    const std::string motivo = r.status == 413
                                   ? "Richiesta troppo grande"
                                   : "Richiesta non valida (HTTP " + std::to_string(r.status) + ")";
    r.set_content(CodificaSOAP::Guasto(CodificaSOAP::kBusta11,
                                       GuastoSOAP(GuastoSOAP::Lato::Mittente, motivo)),
                  kTipoXml);
  });
  server_.set_exception_handler(
      [](const httplib::Request&, httplib::Response& r, const std::exception_ptr&) {
        r.status = 500;
        r.set_content("Errore interno del servizio", "text/plain; charset=utf-8");
      });
  server_.set_logger(
      [this](const httplib::Request& q, const httplib::Response& r) { ScriviLog(q, r); });
}

ServizioHttp::~ServizioHttp() {
  Ferma();
}

int ServizioHttp::Avvia(const std::string& host, int porta) {
  if (thread_.joinable()) throw std::logic_error("Il servizio è già avviato");
  const int legata = porta == 0 ? server_.bind_to_any_port(host)
                                : (server_.bind_to_port(host, porta) ? porta : -1);
  if (legata <= 0) {
    throw std::runtime_error("Impossibile ascoltare su " + host + ":" + std::to_string(porta));
  }
  ascoltoFinito_ = false;
  thread_ = std::thread([this] {
    server_.listen_after_bind();
    ascoltoFinito_ = true;
  });
  return legata;
}

bool ServizioHttp::InEsecuzione() const noexcept {
  return thread_.joinable() && !ascoltoFinito_;
}

void ServizioHttp::Ferma() {
  if (!thread_.joinable()) return;
  // Stopping before the server runs would leave its loop waiting for ever.
  while (!server_.is_running() && !ascoltoFinito_) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  server_.stop();
  thread_.join();
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
  const std::lock_guard blocco(mutexLog_);
  log_ << OraUtc() << ' ' << q.remote_addr << ' ' << PerIlLog(q.method) << ' ' << PerIlLog(q.target)
       << ' ' << r.status << ' ' << r.body.size() << '\n'
       << std::flush;
}

}  // namespace orvane::servizio
