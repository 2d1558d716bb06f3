// Tervan as a user meets it on a real X server: started plainly it shows
// its window; F4 typed into it fills the list from the reference service,
// and its balloon goes to the desktop's notification service although a
// notification area is there too.
#include <gtest/gtest.h>

#include <QTest>
#include <chrono>
#include <filesystem>

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

TEST(FinestraXvfb, StartedPlainlyTheWindowShowsAndAfterF4TheBalloonIsANotification) {
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

  ASSERT_TRUE(schermo.Premi(*finestra, "F4"));
  const auto annunciato = [&] {
    for (const auto& n : bus.Ricevute())
      if (n.titolo == "Orvane Software - Aggiornamenti") return true;
    return false;
  };
  for (int i = 0; i < 600 && !annunciato(); ++i)
    QTest::qWait(100);  // the notification stand-in answers meanwhile
  EXPECT_TRUE(annunciato());
  EXPECT_TRUE(tervan.InEsecuzione());
}

}  // namespace
}  // namespace tervan
