// The check cycle on loose controls against the reference service: which
// programs are checked, what the user is told, and the window's state
// during and after an exchange.
#include <gmock/gmock.h>

#include <chrono>
#include <ctime>
#include <string>
#include <vector>

#include "BancoFinestra.h"
#include "platform/RigaDiComando.h"
#include "quomaro/Host.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/OrologioFinto.h"
#include "tests/support/ServizioFiglio.h"
#include "updater/DataOraLocale.h"

namespace tervan {
namespace {

using ::testing::ElementsAre;
using ::testing::FieldsAre;

// A fixed local time: 6 December 2026, 10:00:00.
platform::Istante Alle10() {
  std::tm tm{};
  tm.tm_year = 126;
  tm.tm_mon = 11;
  tm.tm_mday = 6;
  tm.tm_hour = 10;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

std::string MinutiFa(int minuti) {
  return TestoUltima(OraLocale(Alle10() - std::chrono::minutes(minuti)));
}

class CicloTest : public ::testing::Test {
 protected:
  void SetUp() override { banco_.macchina.Imposta("ORVANE_UPDATE_SERVER", servizio_.Server()); }

  orvane::test::ServizioFiglio servizio_;
  test::BancoFinestra banco_;
  orvane::test::OrologioFinto orologio_{Alle10()};
};

TEST_F(CicloTest, HiddenInTheTrayEachProgramIsCheckedWhenItsOwnIntervalHasPassed) {
  struct Caso {
    std::string softxx, FreQue, ultima;
    bool controllato;
  };
  const std::vector<Caso> casi{
      {"MAI", "00:00:30", "", true},
      {"UNMINUTO", "", MinutiFa(1), true},
      {"ADESSO", "", MinutiFa(0), false},
      {"TRENTA29", "00:00:30", MinutiFa(29), false},
      {"TRENTA30", "00:00:30", MinutiFa(30), true},
      {"ORA59", "00:01:00", MinutiFa(59), false},
      {"ORA60", "00:01:00", MinutiFa(60), true},
      {"GIORNO", "01:00:00", MinutiFa(1439), false},
      {"GIORNO2", "01:00:00", MinutiFa(1440), true},
  };
  for (const Caso& c : casi)
    banco_.Programma(c.softxx, "ROSSI", c.FreQue, c.ultima);
  banco_.stato.stato = StatoVassoio::Nascosto;
  banco_.ciclo.ControlloAggiornamentiORVANE();
  for (const Caso& c : casi) {
    EXPECT_EQ(banco_.Ultima(c.softxx), c.controllato ? MinutiFa(0) : c.ultima) << c.softxx;
  }
}

TEST_F(CicloTest, ShownNormallyEveryProgramIsCheckedAndAMissingCustomerGetsOnlyItsTime) {
  banco_.Programma("TARVIK", "ROSSI", "01:00:00", MinutiFa(1));
  banco_.Programma("SELVOR", "", "01:00:00", MinutiFa(1));
  banco_.finestra.show();
  banco_.ciclo.Command_F4_Click();
  EXPECT_EQ(banco_.Ultima("TARVIK"), MinutiFa(0));
  EXPECT_EQ(banco_.Ultima("SELVOR"), MinutiFa(0));
  EXPECT_THAT(banco_.Elencati(), ElementsAre("7/TARVIK", "42/TARVIK"));
  EXPECT_EQ(banco_.Label4.text(), QStringLiteral("2 aggiornamenti in elenco"));
  EXPECT_EQ(banco_.tray.UltimiFumetti().back(),
            (Fumetto{"Cliccare sull'icona per fare il download degli aggiornamenti",
                     "Orvane Software - Aggiornamenti", 14500}));
  EXPECT_EQ(banco_.tray.UltimiFumetti().size(), 1U);
  EXPECT_EQ(banco_.stato.IdSessione.size(), 32U);
  EXPECT_EQ(banco_.stato.IdSessione.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_TRUE(banco_.stato.ChiusuraConsentita);
  EXPECT_TRUE(banco_.Command_Esc.isEnabled());
  EXPECT_TRUE(banco_.Text1.isEnabled());
  EXPECT_EQ(banco_.Text1.text(), QStringLiteral("05/03/08"));
}

TEST_F(CicloTest, RefusalsAndAnUnreachableServiceAreToldByBoxOnlyWhenTheWindowIsInUse) {
  orvane::test::MessaggiRegistrati messaggi;
  platform::SostituisciRigaDiComando("");
  banco_.Programma("SELVOR", "VERDI");
  banco_.ciclo.ControlloAggiornamentiORVANE();  // hidden
  banco_.finestra.show();
  banco_.ciclo.ControlloAggiornamentiORVANE();  // in use
  banco_.macchina.Imposta("ORVANE_UPDATE_SERVER", "http://127.0.0.1:9");
  banco_.ciclo.ControlloAggiornamentiORVANE();
  platform::SostituisciRigaDiComando("  VERIFICA ");
  banco_.ciclo.ControlloAggiornamentiORVANE();  // started at log-on: never a box
  platform::SostituisciRigaDiComando("DEBUG");

  const std::string titolo = "Aggiornamenti Orvane Software";
  const std::string rifiuto = "Accesso non consentito per l'utente VERDI";
  const std::string guasto = "Impossibile connettersi al server Orvane Software";
  EXPECT_THAT(banco_.tray.UltimiFumetti(),
              ElementsAre(Fumetto{rifiuto, titolo, 3000}, Fumetto{guasto, titolo, 3000}));
  EXPECT_THAT(messaggi.Messaggi(), ElementsAre(FieldsAre(rifiuto, platform::vbExclamation, titolo),
                                               FieldsAre(guasto, platform::vbExclamation, titolo)));
  EXPECT_EQ(banco_.Label2.text(), QStringLiteral("Nessun aggiornamento disponibile"));
  EXPECT_EQ(banco_.Label4.text(), QString());
}

TEST_F(CicloTest, WhileTheServiceIsAwaitedEscIsOffTheWindowLivesAndNoSecondCycleStarts) {
  banco_.Programma("TARVIK", "ROSSI");
  banco_.finestra.show();
  struct Visto {
    bool esc, chiusura, data;
    std::string sessione;
  };
  std::vector<Visto> visti;
  std::string sessione;
  quomaro::ImpostaPompaMessaggi([&] {
    visti.push_back({banco_.Command_Esc.isEnabled(), banco_.stato.ChiusuraConsentita,
                     banco_.Text1.isEnabled(), banco_.stato.IdSessione});
    // A key pressed meanwhile: F4 again, and a timer's cycle.
    banco_.ciclo.Command_F4_Click();
    banco_.ciclo.ControlloAggiornamentiORVANE();
  });
  banco_.ciclo.Command_F4_Click();
  quomaro::ImpostaPompaMessaggi({});

  ASSERT_FALSE(visti.empty());
  for (const Visto& v : visti) {
    EXPECT_FALSE(v.esc);
    EXPECT_FALSE(v.chiusura);
    EXPECT_FALSE(v.data);
    EXPECT_EQ(v.sessione, banco_.stato.IdSessione);
  }
  EXPECT_THAT(banco_.Elencati(), ElementsAre("7/TARVIK", "42/TARVIK"));
  EXPECT_TRUE(banco_.Command_Esc.isEnabled());
}

TEST_F(CicloTest, EmptyStoreIncompleteDiscoveryAndUnattendedFindsEachEndTheirOwnWay) {
  banco_.ciclo.ControlloAggiornamentiORVANE();
  EXPECT_EQ(banco_.Label2.text(), QStringLiteral("Nessun software installato"));

  banco_.stato.VerificaCompleta = false;
  int verifiche = 0;
  banco_.verifica = [&] { ++verifiche; };
  banco_.ciclo.Command_F4_Click();
  EXPECT_EQ(verifiche, 1);
  EXPECT_EQ(banco_.Label2.text(), QStringLiteral("Verifica non completata"));
  // A discovery that completes goes on to the check.
  banco_.verifica = [&] { banco_.stato.VerificaCompleta = true; };
  banco_.ciclo.Command_F4_Click();
  EXPECT_EQ(banco_.Label2.text(), QStringLiteral("Nessun software installato"));

  // Unattended, what is found is downloaded at once instead of announced.
  banco_.stato.VerificaCompleta = true;
  banco_.Programma("TARVIK", "ROSSI");
  banco_.stato.stato = StatoVassoio::Nascosto;
  int scaricamenti = 0;
  bool escDuranteScaricamento = true;
  banco_.ciclo.ImpostaScaricamento([&] {
    ++scaricamenti;
    escDuranteScaricamento = banco_.Command_Esc.isEnabled();
  });
  banco_.ciclo.ControlloAggiornamentiORVANE();
  EXPECT_EQ(scaricamenti, 1);
  EXPECT_FALSE(escDuranteScaricamento);
  EXPECT_TRUE(banco_.tray.UltimiFumetti().empty());
  EXPECT_EQ(banco_.Label4.text(), QStringLiteral("2 aggiornamenti in elenco"));
}

TEST_F(CicloTest, AnUnreadableIntervalStopsTheCycleWithOneRecordAndLeavesEscOn) {
  banco_.Programma("TARVIK", "ROSSI", "xx:yy:zz");
  banco_.stato.stato = StatoVassoio::Nascosto;
  banco_.ciclo.Command_F4_Click();
  EXPECT_EQ(orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log()), 1U);
  EXPECT_THAT(orvane::test::MacchinaFinta::Log(),
              ::testing::HasSubstr("ControlloAggiornamentiORVANE"));
  EXPECT_TRUE(banco_.Command_Esc.isEnabled());
  EXPECT_FALSE(banco_.ciclo.InCorso());
}

}  // namespace
}  // namespace tervan
