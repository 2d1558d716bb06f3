// orvane-service: the reference update service used by the tests and the
// demo. See OpzioniServizio.h for the command line and docs/servizio.md for
// the catalogue format.

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <iostream>
#include <stdexcept>
#include <streambuf>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>

#include "OpzioniServizio.h"
#include "platform/UscitaStandard.h"
#include "service/ArchivioServizio.h"
#include "service/CartellaDati.h"
#include "service/CatalogoServizio.h"
#include "service/InterrogazioneLettura.h"
#include "service/OperazioniServizio.h"
#include "service/ServizioHttp.h"

namespace {

// Written by a stop signal, and once the server ended on its own: the main
// thread sleeps on it until then.
int g_sveglia = -1;
// Set by a stop signal: a wake without it is the server's own end. The
// handler runs on whichever thread the signal reaches: a lock-free atomic.
std::atomic<bool> g_fermata = false;
static_assert(std::atomic<bool>::is_always_lock_free);

void Sveglia() {
  const std::uint64_t uno = 1;
  (void)!::write(g_sveglia, &uno, sizeof uno);
}

extern "C" void SegnaleFermata(int) {
  const int errore = errno;
  g_fermata = true;
  Sveglia();
  errno = errore;
}

// Whether `fd` takes a short write within `attesaMs` milliseconds: a pipe
// that nobody reads any more (a script that took the port line and went on)
// holds a write to it for ever once full.
bool PrendeEntro(int fd, int attesaMs) {
  pollfd p{fd, POLLOUT, 0};
  int pronti = 0;
  while ((pronti = ::poll(&p, 1, attesaMs)) < 0 && errno == EINTR) {
  }
  return pronti == 1 && (p.revents & POLLOUT) != 0;
}

// The request log, on standard error. A line goes out only when standard
// error takes it at once, so that a reader that stopped reading holds
// neither the requests that log nor the stop that waits for them; a line it
// does not take is lost, as on a full disk. A line is shorter than PIPE_BUF:
// a pipe takes it whole.
class LogSenzaAttesa : public std::streambuf {
 protected:
  int_type overflow(int_type c) override {
    if (!traits_type::eq_int_type(c, traits_type::eof())) riga_ += traits_type::to_char_type(c);
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* testo, std::streamsize n) override {
    riga_.append(testo, static_cast<std::size_t>(n));
    return n;
  }
  int sync() override {
    std::string_view resto(riga_);
    while (!resto.empty() && PrendeEntro(STDERR_FILENO, 0)) {
      const ssize_t n = ::write(STDERR_FILENO, resto.data(), resto.size());
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      resto.remove_prefix(static_cast<std::size_t>(n));
    }
    riga_.clear();
    return 0;
  }

 private:
  std::string riga_;
};

int Esegui(int argc, char** argv) {
  using namespace orvane::servizio;
  if (argc == 2 && std::string_view(argv[1]) == "--version") {
    std::cout << "orvane-service " ORVANE_VERSIONE "\n";
    return 0;
  }
  OpzioniServizio opzioni;
  try {
    opzioni = OpzioniServizio::Leggi(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::invalid_argument& e) {
    std::cerr << "orvane-service: " << e.what() << "\n" << OpzioniServizio::kUso;
    return 2;
  }
  if (opzioni.aiuto) {
    std::cout << OpzioniServizio::kUso;
    return 0;
  }
  // The program's one failure boundary: whatever stops the start is reported
  // and ends the program with status 1.
  try {
    const auto dati = CartellaPropria(opzioni.dati, kModoCartellaDati);
    const auto blocco = BloccaCartella(dati);
    const auto cartellaDownload = CartellaPropria(dati / "download", kModoCartellaDownload);
    ArchivioServizio archivio(dati / "servizio.sqlite");
    RimuoviPubblicazioneInterrotta(cartellaDownload, archivio);
    if (opzioni.catalogo) {
      auto catalogo = CatalogoServizio::Leggi(*opzioni.catalogo);
      PubblicaCatalogo(catalogo, archivio, cartellaDownload);
      std::cout << "Catalogo caricato: " << catalogo.Clienti().size() << " clienti, "
                << catalogo.Pacchetti().size() << " pacchetti" << std::endl;
    }
    VerificaPacchetti(cartellaDownload, archivio);
    InterrogazioneLettura interrogazioni(archivio.File());
    OperazioniServizio operazioni(archivio, interrogazioni);
    LogSenzaAttesa uscitaLog;
    std::ostream log(&uscitaLog);
    ServizioHttp http(operazioni, archivio, cartellaDownload, log);

    g_sveglia = ::eventfd(0, EFD_CLOEXEC);
    if (g_sveglia < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    std::signal(SIGINT, SegnaleFermata);
    std::signal(SIGTERM, SegnaleFermata);
    // A log or database that reaches the file size limit fails its write,
    // as on a full disk, instead of killing the service amid its requests.
    std::signal(SIGXFSZ, SIG_IGN);
    const int porta = http.Avvia(opzioni.host, opzioni.porta);
    const bool ipv6 = opzioni.host.find(':') != std::string::npos;
    std::cout << "In ascolto su http://" << (ipv6 ? "[" : "") << opzioni.host << (ipv6 ? "]" : "")
              << ":" << porta << std::endl;
    // Nothing wakes the main thread while the service is idle: only a stop
    // signal, or the end of the server's accept loop (a failure), seen by a
    // thread that waits for it.
    std::thread fineAscolto([&http] {
      http.AttendiFineAscolto();
      Sveglia();
    });
    std::uint64_t letto = 0;
    while (::read(g_sveglia, &letto, sizeof letto) < 0 && errno == EINTR) {
    }
    http.Ferma();
    fineAscolto.join();
    // The accept loop ends on its own when a connection could not be taken
    // (the system's file table full, no memory for it): a failure, not a
    // stop, for whoever watches the service to start it again.
    if (!g_fermata) {
      throw std::runtime_error("Impossibile ascoltare su " + opzioni.host + ":" +
                               std::to_string(porta));
    }
    // Nor is the stop held: a slow reader has a second to make room for the
    // line; otherwise it is lost, and the status says so (a message would not
    // get out either when standard error is the same pipe).
    if (!PrendeEntro(STDOUT_FILENO, 1000)) return 1;
    std::cout << "Servizio fermato" << std::endl;
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "orvane-service: " << e.what() << std::endl;
    return 1;
  }
}

}  // namespace

int main(int argc, char** argv) {
  platform::RiapriDescrittoriStandard();
  // Scripts read the port from standard output: an answer that did not
  // reach it is a failure.
  return platform::UscitaStandardScritta(Esegui(argc, argv), "orvane-service: ");
}
