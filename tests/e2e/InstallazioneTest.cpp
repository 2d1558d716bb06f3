// `cmake --install` into a prefix with a blank in its name: the program
// folder is complete and runs from there, the menu entry and the icons are
// where the desktop reads them, the log-on entry Tervan writes starts the
// installed Tervan, an install over it keeps the store Tervan filled, and
// the uninstall script takes all of it away.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <QImage>
#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace orvane::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;

constexpr const char* kVoceAvvio = "Orvane Software - Aggiornamenti automatici.desktop";

// The build's own install manifest, put back after the test's install has
// written its own over it, so a developer's uninstall still finds theirs.
struct ManifestoConservato {
  ManifestoConservato() : copia(fs::exists(file) ? LeggiFile(file) : "") {}
  ~ManifestoConservato() {
    std::error_code ec;
    copia.empty() ? (void)fs::remove(file, ec) : ScriviFile(file, copia);
  }
  const fs::path file = fs::path(ORVANE_BINARY_DIR) / "install_manifest.txt";
  const std::string copia;
};

void Valida(const fs::path& voce) {
  const auto esito = Esegui("desktop-file-validate", {voce.string()});
  EXPECT_EQ(esito.codice, 0) << voce << ":\n" << esito.out << esito.err;
  EXPECT_EQ(esito.out, "") << voce;  // no warnings either
}

TEST(Installazione, TheProgramFolderRunsFromAPrefixWithABlankAndUninstallsWhole) {
  MacchinaFinta macchina;
  const ManifestoConservato manifesto;
  const fs::path prefisso = macchina.Percorso() / "Orvane Tervan";
  const fs::path dati = macchina.Dati();  // XDG_DATA_HOME of the fake machine

  // Under a umask that lets the group write and keeps others out, the
  // folders made are still their owner's alone and open to every user.
  const mode_t umask = ::umask(007);
  const auto installa =
      Esegui(ORVANE_CMAKE, {"--install", ORVANE_BINARY_DIR, "--prefix", prefisso.string()});
  ::umask(umask);
  ASSERT_EQ(installa.codice, 0) << installa.out << installa.err;
  for (const fs::path& cartella :
       {prefisso, dati / "applications", dati / "icons/hicolor/16x16/apps"})
    EXPECT_EQ(fs::status(cartella).permissions(), fs::perms(0755)) << cartella;

  // The program folder holds what ships and nothing else.
  EXPECT_THAT(NomiInCartella(prefisso),
              ::testing::UnorderedElementsAre("Tervan", "Quomaro.so", "brisko.so", "Tervan.mdb",
                                              "quomaro", "orvane-reg", "brisko-designer"));
  // Outside a debug build nothing there names the folders it was built in,
  // the debug information included: built elsewhere, it is the same.
  if (!ORVANE_DEBUG_CON_PERCORSI) {
    for (const std::string& nome : NomiInCartella(prefisso)) {
      for (const std::string cartella : {ORVANE_SOURCE_DIR, ORVANE_BINARY_DIR}) {
        EXPECT_EQ(LeggiFile(prefisso / nome).find(cartella), std::string::npos)
            << nome << " names " << cartella;
      }
    }
  }

  // The menu entry starts the installed Tervan, whose icon is in the theme.
  const fs::path menu = dati / "applications" / "orvane-tervan.desktop";
  EXPECT_THAT(LeggiFile(menu), AllOf(HasSubstr("\nExec=\"" + prefisso.string() + "/Tervan\"\n"),
                                     HasSubstr("\nIcon=orvane-tervan\n")));
  Valida(menu);
  for (const int lato : {16, 32, 48, 64, 128, 256}) {
    const auto png = dati / "icons/hicolor" / (std::to_string(lato) + "x" + std::to_string(lato)) /
                     "apps/orvane-tervan.png";
    EXPECT_EQ(QImage(QString::fromStdString(png.string()), "PNG").size(), QSize(lato, lato)) << png;
  }
  EXPECT_THAT(LeggiFile(dati / "icons/hicolor/scalable/apps/orvane-tervan.svg"), HasSubstr("<svg"));

  // The tools find their libraries in the folder.
  EXPECT_THAT(Esegui(prefisso / "quomaro", {"--help"}).out, HasSubstr("quomaro connessione"));

  // Tervan runs from there too, with a program to look after, and its
  // log-on entry starts this very Tervan, quoted for the blank.
  fs::create_directories(dati / "orvane/drive_c/ORVANE/TARVIK");
  ScriviTesto(platform::HKEY_CURRENT_USER,
              "Software\\VB and VBA Program Settings\\TARVIKX\\Licenza", "codcli", "C00042");
  const fs::path avvio = macchina.Autostart() / kVoceAvvio;
  {
    Processo tervan(prefisso / "Tervan", {},
                    {{"QT_QPA_PLATFORM", "offscreen"},
                     {"ORVANE_UPDATE_SERVER", "http://127.0.0.1:9"},
                     {"ORVANE_WEB_SITE", "http://127.0.0.1:9"}},
                    macchina.Percorso());
    for (int i = 0; i < 3000 && !fs::exists(avvio) && tervan.InEsecuzione(); ++i)
      std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(fs::exists(avvio)) << LeggiFile(macchina.Percorso() / "stderr");
    EXPECT_EQ(tervan.Termina(SIGTERM), 0);
  }
  EXPECT_THAT(LeggiFile(avvio),
              HasSubstr("\nExec=\"" + fs::canonical(prefisso).string() + "/Tervan\" VERIFICA\n"));
  Valida(avvio);

  // An install over this one keeps the store Tervan filled.
  const std::string archivio = LeggiFile(prefisso / "Tervan.mdb");
  ASSERT_FALSE(archivio == LeggiFile(fs::path(ORVANE_BINARY_DIR) / "provisioning/Tervan.mdb"));
  const auto aggiorna =
      Esegui(ORVANE_CMAKE, {"--install", ORVANE_BINARY_DIR, "--prefix", prefisso.string()});
  ASSERT_EQ(aggiorna.codice, 0) << aggiorna.out << aggiorna.err;
  EXPECT_TRUE(LeggiFile(prefisso / "Tervan.mdb") == archivio) << aggiorna.out;

  // A file nobody installed keeps the folder, and the uninstall says it is
  // not complete; once it is gone, a second run leaves nothing of the
  // install, the log-on entry included.
  const fs::path disinstalla = fs::path(ORVANE_SOURCE_DIR) / "scripts/disinstalla";
  ScriviFile(prefisso / "appunti.txt", "dell'utente");
  const auto incompleta = Esegui(disinstalla, {manifesto.file.string()});
  EXPECT_EQ(incompleta.codice, 1) << incompleta.out << incompleta.err;
  EXPECT_THAT(incompleta.err, HasSubstr("Disinstallazione incompleta"));
  EXPECT_TRUE(fs::exists(prefisso / "appunti.txt"));
  fs::remove(prefisso / "appunti.txt");
  ScriviFile(prefisso / "Tervan.lock", "");  // left by a Tervan of earlier releases
  const auto completa = Esegui(disinstalla, {manifesto.file.string()});
  EXPECT_EQ(completa.codice, 0) << completa.out << completa.err;
  EXPECT_FALSE(fs::exists(prefisso));
  EXPECT_FALSE(fs::exists(menu));
  EXPECT_FALSE(fs::exists(dati / "icons/hicolor/16x16/apps/orvane-tervan.png"));
  EXPECT_FALSE(fs::exists(avvio));
}

}  // namespace
}  // namespace orvane::test
