// `cmake --install` into a prefix with a blank in its name: the program
// folder is complete and runs from there, the menu entry and the icons are
// where the desktop reads them, the log-on entry Tervan writes starts the
// installed Tervan, and the uninstall script takes all of it away.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::test::Esegui;
using orvane::test::LeggiFile;
using ::testing::HasSubstr;

constexpr const char* kVoceAvvio = "Orvane Software - Aggiornamenti automatici.desktop";

// The build's own install manifest, put back after the test's install has
// written its own over it, so a developer's uninstall still finds theirs.
class ManifestoConservato {
 public:
  ManifestoConservato() {
    if (fs::exists(file_)) copia_ = LeggiFile(file_);
  }
  ~ManifestoConservato() {
    std::error_code ec;
    if (copia_.empty()) {
      fs::remove(file_, ec);
    } else {
      orvane::test::ScriviFile(file_, copia_);
    }
  }
  ManifestoConservato(const ManifestoConservato&) = delete;
  ManifestoConservato& operator=(const ManifestoConservato&) = delete;
  [[nodiscard]] const fs::path& File() const { return file_; }

 private:
  fs::path file_ = fs::path(ORVANE_BINARY_DIR) / "install_manifest.txt";
  std::string copia_;
};

// The value of a key in a desktop entry ("" when missing).
std::string Chiave(const std::string& testo, const std::string& chiave) {
  const std::string cerca = "\n" + chiave + "=";
  const auto inizio = ("\n" + testo).find(cerca);
  if (inizio == std::string::npos) return "";
  const auto da = inizio + cerca.size() - 1;
  return testo.substr(da, testo.find('\n', da) - da);
}

// Width and height of a PNG image, from its header.
std::pair<unsigned, unsigned> LatiPng(const fs::path& file) {
  const std::string b = LeggiFile(file);
  if (b.size() < 24 || b.compare(1, 3, "PNG") != 0) return {0, 0};
  const auto numero = [&](std::size_t da) {
    unsigned n = 0;
    for (std::size_t i = da; i < da + 4; ++i)
      n = (n << 8U) | static_cast<unsigned char>(b[i]);
    return n;
  };
  return {numero(16), numero(20)};
}

void Valida(const fs::path& voce) {
  const auto esito = Esegui("desktop-file-validate", {voce.string()});
  EXPECT_EQ(esito.codice, 0) << voce << ":\n" << esito.out << esito.err;
  EXPECT_EQ(esito.out, "") << voce;  // no warnings either
}

TEST(Installazione, TheProgramFolderRunsFromAPrefixWithABlankAndUninstallsWhole) {
  orvane::test::MacchinaFinta macchina;
  const ManifestoConservato manifesto;
  const fs::path prefisso = macchina.Percorso() / "Orvane Tervan";
  const fs::path dati = macchina.Dati();  // XDG_DATA_HOME of the fake machine

  const auto installa =
      Esegui(ORVANE_CMAKE, {"--install", ORVANE_BINARY_DIR, "--prefix", prefisso.string()});
  ASSERT_EQ(installa.codice, 0) << installa.out << installa.err;

  // The program folder holds what ships and nothing else.
  EXPECT_THAT(orvane::test::NomiInCartella(prefisso),
              ::testing::UnorderedElementsAre("Tervan", "Quomaro.so", "brisko.so", "Tervan.mdb",
                                              "quomaro", "orvane-reg", "brisko-designer"));

  // The menu entry starts the installed Tervan, whose icon is in the theme.
  const fs::path menu = dati / "applications" / "orvane-tervan.desktop";
  const std::string voce = LeggiFile(menu);
  EXPECT_EQ(Chiave(voce, "Exec"), "\"" + prefisso.string() + "/Tervan\"");
  EXPECT_EQ(Chiave(voce, "Icon"), "orvane-tervan");
  Valida(menu);
  for (const unsigned lato : {16U, 32U, 48U, 64U, 128U, 256U}) {
    const std::string misura = std::to_string(lato) + "x" + std::to_string(lato);
    EXPECT_EQ(LatiPng(dati / "icons/hicolor" / misura / "apps/orvane-tervan.png"),
              std::pair(lato, lato))
        << misura;
  }
  EXPECT_THAT(LeggiFile(dati / "icons/hicolor/scalable/apps/orvane-tervan.svg"), HasSubstr("<svg"));

  // The tools find their libraries in the folder.
  const auto aiuto = Esegui(prefisso / "quomaro", {"--help"});
  EXPECT_EQ(aiuto.codice, 0) << aiuto.err;
  EXPECT_THAT(aiuto.out, HasSubstr("quomaro connessione UTENTE"));

  // Tervan runs from there too, with a program to look after, and its
  // log-on entry starts this very Tervan, quoted for the blank.
  fs::create_directories(dati / "orvane/drive_c/ORVANE/TARVIK");
  orvane::test::ScriviTesto(platform::HKEY_CURRENT_USER,
                            "Software\\VB and VBA Program Settings\\TARVIKX\\Licenza", "codcli",
                            "C00042");
  const fs::path avvio = macchina.Autostart() / kVoceAvvio;
  {
    orvane::test::Processo tervan(prefisso / "Tervan", {},
                                  {{"QT_QPA_PLATFORM", "offscreen"},
                                   {"ORVANE_UPDATE_SERVER", "http://127.0.0.1:9"},
                                   {"ORVANE_WEB_SITE", "http://127.0.0.1:9"}},
                                  macchina.Percorso());
    for (int i = 0; i < 3000 && !fs::exists(avvio) && tervan.InEsecuzione(); ++i)
      std::this_thread::sleep_for(20ms);
    ASSERT_TRUE(fs::exists(avvio)) << LeggiFile(macchina.Percorso() / "stderr");
    EXPECT_EQ(tervan.Termina(SIGTERM), 0);
  }
  EXPECT_EQ(Chiave(LeggiFile(avvio), "Exec"),
            "\"" + fs::canonical(prefisso).string() + "/Tervan\" VERIFICA");
  Valida(avvio);

  // Uninstalling leaves nothing of it, the log-on entry included.
  const auto disinstalla =
      Esegui(fs::path(ORVANE_SOURCE_DIR) / "scripts/disinstalla", {manifesto.File().string()});
  EXPECT_EQ(disinstalla.codice, 0) << disinstalla.out << disinstalla.err;
  EXPECT_FALSE(fs::exists(prefisso));
  EXPECT_FALSE(fs::exists(menu));
  EXPECT_FALSE(fs::exists(dati / "icons/hicolor/16x16/apps/orvane-tervan.png"));
  EXPECT_FALSE(fs::exists(avvio));
}

}  // namespace
