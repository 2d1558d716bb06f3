#include "updater/basTervan.h"

#include <QApplication>
#include <QCoreApplication>
#include <chrono>
#include <cstdio>
#include <optional>
#include <system_error>

#include "common/Routine.h"
#include "platform/BloccoIstanza.h"
#include "platform/Cartelle.h"
#include "platform/Percorsi.h"
#include "platform/RigaDiComando.h"
#include "platform/SegnaliFine.h"
#include "platform/TestoUtf8.h"
#include "quomaro/Host.h"
#include "updater/CanaleIstanza.h"
#include "updater/PorteQt.h"
#include "updater/basRegSvr.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

// How long a second start waits for the running Tervan to listen and answer.
constexpr std::chrono::milliseconds kAttesaAltraIstanza{3000};

}  // namespace

bool ModalitaLive() {
  // A file, as a folder of that name is no marker; its name is matched
  // without regard to case, as Windows finds it.
  std::error_code ec;
  const bool marcatore = std::filesystem::is_regular_file(
      platform::VoceInCartella(platform::CartellaProgramma(), kFileLive), ec);
  return marcatore || platform::RigaDiComando() == "LIVE";
}

std::string RigaDiComandoRifilata() {
  return std::string(platform::SenzaCaratteriSpazioAiLati(platform::RigaDiComando()));
}

int Main(int argc, char** argv) {
  const auto cartella = platform::CartellaProgramma();
  for (const std::string_view componente : kComponenti) {
    (void)RegServer((cartella / componente).string(), true);
  }

  std::optional<platform::BloccoIstanza> blocco;
  bool altraIstanza = false;
  const bool bloccoLeggibile = orvane::Tacitamente([&] {
    blocco = platform::BloccoIstanza::Acquisisci(cartella / kFileBloccoIstanza);
    altraIstanza = !blocco;
  });
  if (altraIstanza) {
    // Where the desktop has no notification area a start by the user is
    // the only way back to a Tervan hidden at log-on: it asks that one to
    // show its window. Whatever the answer, this start ends silently.
    if (RigaDiComandoRifilata() != "VERIFICA") {
      const QCoreApplication nucleo(argc, argv);
      (void)CanaleIstanza::ChiediMostra(cartella, kAttesaAltraIstanza);
    }
    return 0;
  }
  if (!bloccoLeggibile) {
    // Better to run unguarded than to refuse to run at all.
    std::fprintf(stderr, "Tervan: impossibile creare %s; nessun controllo di istanza unica\n",
                 (cartella / kFileBloccoIstanza).c_str());
  }

  QApplication applicazione(argc, argv);
  InstallaPorteQt();
  frmTervan finestra;
  // The desktop pairs the window with the menu entry the install writes, and
  // message boxes carry the program icon too.
  QGuiApplication::setDesktopFileName(QStringLiteral("orvane-tervan"));
  QApplication::setWindowIcon(finestra.windowIcon());
  const CanaleIstanza canale(cartella, [&] { return finestra.MostraDaAltroAvvio(); });
  std::optional<platform::SegnaliFine> segnali;
  if (orvane::Tacitamente([&] { segnali.emplace(); })) {
    finestra.OsservaFineSessione(segnali->Descrittore(), [&] { segnali->Svuota(); });
    // A wait for the service or a package gives up as soon as the session
    // ends, not when the window's loop next runs.
    quomaro::ImpostaFineRichiesta([] { return platform::SegnaliFine::Ricevuto(); });
  }
  finestra.Form_Load();
  if (finestra.CaricamentoTerminato()) return 0;
  return QApplication::exec();
}

}  // namespace tervan
