#include "updater/basTervan.h"

#include <fontconfig/fontconfig.h>
#include <langinfo.h>

#include <QApplication>
#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <stdexcept>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "common/Errore.h"
#include "common/Routine.h"
#include "common/basUtilxx.h"
#include "platform/BloccoIstanza.h"
#include "platform/Cartelle.h"
#include "platform/Collocazione.h"
#include "platform/Percorsi.h"
#include "platform/PrefissoWine.h"
#include "platform/RigaDiComando.h"
#include "platform/SegnaliFine.h"
#include "platform/TestoUtf8.h"
#include "platform/UscitaStandard.h"
#include "quomaro/Configurazione.h"
#include "quomaro/Host.h"
#include "updater/BusSessione.h"
#include "updater/CanaleIstanza.h"
#include "updater/OpzioniTervan.h"
#include "updater/PorteQt.h"
#include "updater/basRegSvr.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

constexpr std::string_view kModulo = "basTervan";

// How long a second start waits for the running Tervan to listen and answer.
constexpr std::chrono::milliseconds kAttesaAltraIstanza{3000};
// How long the session bus may take to answer a greeting: a bus answers at
// once, even at a busy log-on.
constexpr std::chrono::milliseconds kAttesaBus{2000};
// An address every user of the bus fails on at once: not a socket.
constexpr const char* kNessunBus = "unix:path=/dev/null";

constexpr const char* kSenzaSchermo =
    "Tervan: impossibile aprire la finestra: nessuno schermo raggiungibile\n";

QtMessageHandler g_messaggiQt = nullptr;

// Qt aborts the process when it can reach no screen (no DISPLAY, or one
// that does not answer); Tervan ends instead, saying why, with status 1.
void SenzaSchermo(QtMsgType tipo, const QMessageLogContext& contesto, const QString& testo) {
  if (tipo != QtFatalMsg) {
    if (g_messaggiQt != nullptr) g_messaggiQt(tipo, contesto, testo);
    return;
  }
  std::cerr << kSenzaSchermo << std::flush;
  std::_Exit(1);
}

// QApplication takes the session's locale. In one whose character set is not
// UTF-8 (it_IT.ISO-8859-1, de_DE@euro) the system's reasons for a failure
// ("È una directory") would come in that set, and reach the error log and
// the message boxes, which read UTF-8, as bytes that are not: the character
// set is taken from C.UTF-8, the language and every other category stay the
// session's.
void CaratteriUtf8() {
  if (std::strcmp(::nl_langinfo(CODESET), "UTF-8") == 0) return;
  // The font loader has ended, and nothing else of Tervan's runs yet.
  // NOLINTNEXTLINE(concurrency-mt-unsafe): as above.
  (void)std::setlocale(LC_CTYPE, "C.UTF-8");
}

bool Impostata(const char* variabile) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): nothing changes the environment.
  const char* valore = std::getenv(variabile);
  return valore != nullptr && *valore != '\0';
}

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
  if (const auto esito =
          OpzioneTervan(std::vector<std::string>(argv + std::min(argc, 1), argv + argc), cartella,
                        std::cout, std::cerr))
    return platform::UscitaStandardScritta(*esito, "Tervan: ");

  for (const std::string_view componente : kComponenti) {
    (void)RegServer((cartella / componente).string(), true);
  }

  // One Tervan per user and session: the lock is in the user's own runtime
  // folder, never in the program folder that every user shares.
  std::optional<platform::BloccoIstanza> blocco;
  std::string rifiuto;
  try {
    blocco = platform::BloccoIstanza::Acquisisci(
        platform::PreparaPostoFile(platform::FileSistema::BloccoIstanza, cartella));
    if (!blocco) {
      // Where the desktop has no notification area a start by the user is
      // the only way back to a Tervan hidden at log-on: it asks that one to
      // show its window. Whatever the answer, this start ends silently.
      if (RigaDiComandoRifilata() != "VERIFICA") {
        const QCoreApplication nucleo(argc, argv);
        (void)CanaleIstanza::ChiediMostra(cartella, kAttesaAltraIstanza);
      }
      return 0;
    }
  } catch (const std::system_error& e) {
    rifiuto = orvane::TestoErroreDiSistema(e);
  }

  if (!Impostata("QT_QPA_PLATFORM") && !Impostata("DISPLAY") && !Impostata("WAYLAND_DISPLAY")) {
    std::cerr << kSenzaSchermo;
    return 1;
  }

  // A session bus that takes connections and never answers (a hung bus
  // daemon) would hold Qt's first use of it, the tray or a notification,
  // and the whole program with it, for ever: the session is then taken as
  // one without a bus. Asked before any thread starts, which the change
  // of the environment must not meet.
  if (BusMuto(IndirizzoBusSessione(), kAttesaBus)) {
    std::cerr << "Tervan: il bus di sessione non risponde e non viene usato\n";
    // NOLINTNEXTLINE(concurrency-mt-unsafe): no other thread runs yet.
    (void)::setenv("DBUS_SESSION_BUS_ADDRESS", kNessunBus, 1);
  }

  // fontconfig's configuration and font caches, which the first control
  // created waits for, load on a second core while QApplication connects to
  // the display. Qt's font database then finds them loaded; a failed load
  // here only leaves the load to Qt. The load ends before anything below
  // may end Main: QApplication's end tears fontconfig's configuration down,
  // and must not meet a load still building it. A user at the limit of
  // their processes (ulimit -u) has no thread to spare: Qt then loads it.
  std::optional<std::jthread> caratteri;
  try {
    caratteri.emplace([] { (void)FcInit(); });
  } catch (const std::system_error&) {
    caratteri.reset();
  }
  g_messaggiQt = qInstallMessageHandler(SenzaSchermo);
  QApplication applicazione(argc, argv);
  (void)qInstallMessageHandler(g_messaggiQt);
  if (caratteri) caratteri->join();
  CaratteriUtf8();
  (void)CaricaTraduzioneQt(applicazione);
  InstallaPorteQt();
  // A folder of the user's that is a link or another user's, or a broken
  // settings file: said once, clearly, and nothing runs on a guess.
  if (!rifiuto.empty()) {
    orvane::ScriviErrore("0", std::to_string(orvane::kPermessoNegato),
                         "Impossibile controllare se Tervan è già in esecuzione: " + rifiuto,
                         kModulo, "Main");
    return 1;
  }
  if (const auto configurazione = quomaro::LeggiConfigurazione(); !configurazione.errore.empty()) {
    orvane::ScriviErrore("0", std::to_string(orvane::kChiamataNonValida),
                         "Impostazioni non valide: " + configurazione.errore, kModulo, "Main");
    return 1;
  }
  try {
    // A prefix named for the programs that cannot be used is said once per
    // run; Tervan then finds them where it would without a prefix.
    if (const auto wine = platform::ScegliPrefissoWine(); !wine.rifiuto.empty()) {
      orvane::ScriviErrore("0", std::to_string(orvane::kPermessoNegato), wine.rifiuto, kModulo,
                           "Main");
    }
    platform::ControllaVariabiliCartelle();
  } catch (const std::runtime_error& e) {
    orvane::ScriviErrore("0", std::to_string(orvane::kChiamataNonValida),
                         std::string("Impostazioni non valide: ") + e.what(), kModulo, "Main");
    return 1;
  }
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
