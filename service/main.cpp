// orvane-service: the reference update service used by the tests and the
// demo. See OpzioniServizio.h for the command line and docs/servizio.md for
// the catalogue format.

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <string_view>
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

std::atomic<bool> richiestaFermata{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void SegnaleFermata(int) {
  richiestaFermata = true;
}

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
    ServizioHttp http(operazioni, archivio, cartellaDownload, std::clog);

    std::signal(SIGINT, SegnaleFermata);
    std::signal(SIGTERM, SegnaleFermata);
    // A log or database that reaches the file size limit fails its write,
    // as on a full disk, instead of killing the service amid its requests.
    std::signal(SIGXFSZ, SIG_IGN);
    const int porta = http.Avvia(opzioni.host, opzioni.porta);
    const bool ipv6 = opzioni.host.find(':') != std::string::npos;
    std::cout << "In ascolto su http://" << (ipv6 ? "[" : "") << opzioni.host << (ipv6 ? "]" : "")
              << ":" << porta << std::endl;
    // A signal handler may only set a flag; the flag is looked at ten times
    // a second, which costs nothing and stops the service promptly.
    while (!richiestaFermata && http.InEsecuzione()) {
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    http.Ferma();
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
