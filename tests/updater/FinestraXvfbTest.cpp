// Tervan as a user meets it on a real X server: started plainly it shows
// its window; F4 typed into it fills the list from the reference service,
// drawn in the list's colours, and its balloon goes to the desktop's
// notification service although a notification area is there too.
#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <QTest>
#include <chrono>
#include <filesystem>
#include <map>

#include "tests/support/BusNotifiche.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/SchermoX.h"
#include "tests/support/ServerX.h"
#include "tests/support/ServizioFiglio.h"

namespace tervan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Pixels of exactly this colour on the screen.
int Pixel(const QImage& schermo, QColor colore) {
  int n = 0;
  for (int y = 0; y < schermo.height(); ++y)
    for (int x = 0; x < schermo.width(); ++x)
      if (schermo.pixelColor(x, y) == colore) ++n;
  return n;
}

TEST(FinestraXvfb, StartedPlainlyTheWindowShowsF4FillsTheListAndTheBalloonIsANotification) {
  orvane::test::ServerX server("1024x768x24");
  if (!server.Avviato()) GTEST_SKIP() << "Xvfb non disponibile";
  ASSERT_FALSE(server.Display().empty());
  orvane::test::MacchinaFinta macchina;
  orvane::test::ServizioFiglio servizio;

  const fs::path programma = macchina.Percorso() / "programma";
  fs::create_directories(programma);
  for (const char* nome : {"Tervan", "Quomaro.so", "brisko.so"})
    fs::copy_file(fs::path(ORVANE_PROGRAM_DIR) / nome, programma / nome);
  fs::copy_file(ORVANE_TERVAN_MDB, programma / "Tervan.mdb");
  fs::create_directories(macchina.Dati() / "orvane/drive_c/ORVANE/TARVIK");
  orvane::test::ScriviTesto(platform::HKEY_CURRENT_USER,
                            "Software\\VB and VBA Program Settings\\TARVIKX\\Licenza", "codcli",
                            "ROSSI");

  // An XEmbed notification area and a notification service, as a desktop has.
  orvane::test::SchermoX schermo(server.Display());
  ASSERT_TRUE(schermo.Connesso());
  ASSERT_TRUE(schermo.OccupaAreaNotifica());
  orvane::test::BusNotifiche bus;
  orvane::test::Processo tervan(programma / "Tervan", {},
                                {{"DISPLAY", server.Display()},
                                 {"DBUS_SESSION_BUS_ADDRESS", bus.Indirizzo()},
                                 {"QT_QPA_PLATFORM", "xcb"},
                                 {"ORVANE_UPDATE_SERVER", servizio.Server()},
                                 {"ORVANE_WEB_SITE", servizio.Server()}},
                                macchina.Percorso());
  const auto finestra = schermo.Finestra("Aggiornamenti automatici - Orvane Software", 60s);
  ASSERT_TRUE(finestra) << orvane::test::LeggiFile(macchina.Percorso() / "stderr");

  // The list's colours: the data rows' cells, the mark column.
  const QColor datiSfondo(255, 238, 192);
  const QColor segnoSfondo(255, 255, 221);
  EXPECT_EQ(Pixel(schermo.Schermata(), datiSfondo), 0);

  ASSERT_TRUE(schermo.Premi(*finestra, "F4"));
  QImage dopo;
  for (auto limite = std::chrono::steady_clock::now() + 60s;
       std::chrono::steady_clock::now() < limite;) {
    QTest::qWait(200);  // the notification stand-in answers meanwhile
    dopo = schermo.Schermata();
    if (Pixel(dopo, datiSfondo) > 0 && Pixel(dopo, segnoSfondo) > 0) break;
  }
  // Two packages: two data rows of description, date and size cells, and
  // the mark cells of data and note rows.
  EXPECT_GT(Pixel(dopo, datiSfondo), 2 * 300 * 10);
  EXPECT_GT(Pixel(dopo, segnoSfondo), 4 * 40 * 10);
  const auto annunciato = [&] {
    for (const auto& n : bus.Ricevute())
      if (n.titolo == "Orvane Software - Aggiornamenti") return true;
    return false;
  };
  for (int i = 0; i < 100 && !annunciato(); ++i)
    QTest::qWait(100);
  EXPECT_TRUE(annunciato());
  EXPECT_TRUE(tervan.InEsecuzione());
}

}  // namespace
}  // namespace tervan
