// The check cycle and the update list on loose controls against the
// reference service: which programs are checked, what the user is told, the
// window during an exchange, what the list holds and how its cells look.
#include <gmock/gmock.h>

#include <QLocale>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "BancoFinestra.h"
#include "platform/BloccoCartella.h"
#include "platform/Cartelle.h"
#include "platform/Collocazione.h"
#include "platform/RigaDiComando.h"
#include "quomaro/Host.h"
#include "quomaro/Recordset.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/OrologioFinto.h"
#include "tests/support/ServizioFiglio.h"
#include "updater/DataOraLocale.h"
#include "updater/envAggior.h"

namespace tervan {
namespace {

using ::testing::ElementsAre;
using ::testing::FieldsAre;
using ::testing::HasSubstr;
using Elenco = ElencoAggiornamenti;

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
      {"FUTURO", "00:00:30", MinutiFa(-525600), true},
      {"ILLEGGIBILE", "00:00:30", "2026-12-06 09:59:00", true},
      {"DOPO", "00:00:30", MinutiFa(31), true},
  };
  for (const Caso& c : casi)
    banco_.Programma(c.softxx, "ROSSI", c.FreQue, c.ultima);
  banco_.stato.stato = StatoVassoio::Nascosto;
  banco_.ciclo.ControlloAggiornamentiORVANE();
  for (const Caso& c : casi) {
    EXPECT_EQ(banco_.Ultima(c.softxx), c.controllato ? MinutiFa(0) : c.ultima) << c.softxx;
  }
}

TEST_F(CicloTest, ShownNormallyEveryProgramIsCheckedOnceAndAMissingCustomerGetsOnlyItsTime) {
  banco_.Programma("TARVIK", "ROSSI", "01:00:00", MinutiFa(1));
  banco_.Programma("SELVOR", "", "01:00:00", MinutiFa(1));
  banco_.finestra.show();
  // While the service is awaited Esc, the close and the date are off, and
  // neither F4 nor a timer's cycle starts a second cycle.
  struct Visto {
    bool esc, chiusura, data;
    std::string sessione;
  };
  std::vector<Visto> visti;
  quomaro::ImpostaPompaMessaggi([&] {
    visti.push_back({banco_.Command_Esc.isEnabled(), banco_.stato.ChiusuraConsentita,
                     banco_.Text1.isEnabled(), banco_.stato.IdSessione});
    banco_.ciclo.Command_F4_Click();
    banco_.ciclo.ControlloAggiornamentiORVANE();
  });
  banco_.ciclo.Command_F4_Click();
  quomaro::ImpostaPompaMessaggi({});
  ASSERT_FALSE(visti.empty());
  for (const Visto& v : visti) {
    EXPECT_FALSE(v.esc || v.chiusura || v.data);
    EXPECT_EQ(v.sessione, banco_.stato.IdSessione);
  }

  EXPECT_EQ(banco_.Ultima("TARVIK"), MinutiFa(0));
  EXPECT_EQ(banco_.Ultima("SELVOR"), MinutiFa(0));
  EXPECT_THAT(banco_.Elencati(), ElementsAre("7/TARVIK", "42/TARVIK"));
  EXPECT_EQ(banco_.Label4.text(), QStringLiteral("2 aggiornamenti in elenco"));
  EXPECT_THAT(banco_.tray.UltimiFumetti(),
              ElementsAre(Fumetto{"Cliccare sull'icona per fare il download degli aggiornamenti",
                                  "Orvane Software - Aggiornamenti", 14500}));
  EXPECT_EQ(banco_.stato.IdSessione.size(), 32U);
  EXPECT_EQ(banco_.stato.IdSessione.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_TRUE(banco_.stato.ChiusuraConsentita);
  EXPECT_TRUE(banco_.Command_Esc.isEnabled());
  EXPECT_TRUE(banco_.Text1.isEnabled());
  EXPECT_EQ(banco_.Text1.text(), QStringLiteral("05/03/08"));
}

TEST_F(CicloTest, TheSessionsEndOrAnotherSessionsCheckDuringACycleLeavesTheirProgramsAlone) {
  banco_.Programma("TARVIK", "ROSSI", "00:00:30", MinutiFa(40));
  banco_.Programma("SELVOR", "VERDI", "00:00:30", MinutiFa(40));
  banco_.stato.stato = StatoVassoio::Nascosto;
  // The session ends during the check: nothing is told, and every
  // program keeps its last check.
  quomaro::ImpostaPompaMessaggi([&] { banco_.stato.SessioneFinita = true; });
  banco_.ciclo.ControlloAggiornamentiORVANE();
  EXPECT_EQ(banco_.Ultima("TARVIK"), MinutiFa(40));
  EXPECT_EQ(banco_.Ultima("SELVOR"), MinutiFa(40));
  EXPECT_THAT(banco_.tray.UltimiFumetti(), ::testing::IsEmpty());
  EXPECT_THAT(banco_.Elencati(), ::testing::IsEmpty());

  // While the first program is checked, the user's other session checks
  // the second one in the same store: that check is left to it.
  banco_.stato.SessioneFinita = false;
  bool preso = false;
  quomaro::ImpostaPompaMessaggi([&] {
    if (std::exchange(preso, true)) return;
    envAggior altra(platform::CartellaProgramma());
    altra.conAggior().Execute("UPDATE AGGIOR SET ultima=? WHERE softxx='SELVOR'", {MinutiFa(5)});
  });
  banco_.ciclo.ControlloAggiornamentiORVANE();
  quomaro::ImpostaPompaMessaggi({});
  EXPECT_EQ(banco_.Ultima("TARVIK"), MinutiFa(0));
  EXPECT_EQ(banco_.Ultima("SELVOR"), MinutiFa(5));
  EXPECT_THAT(banco_.Elencati(), ElementsAre("7/TARVIK", "42/TARVIK"));
}

TEST_F(CicloTest, WhileAnotherSessionsCycleRunsACheckTakenAheadOfTheClockIsLeftToIt) {
  // The other session took TARVIK's check, and then the clock was put back
  // an hour (or summer time ended): its claim now lies ahead of the clock.
  banco_.Programma("TARVIK", "ROSSI", "00:00:30", MinutiFa(-60));
  banco_.stato.stato = StatoVassoio::Nascosto;
  std::filesystem::create_directory(platform::CartellaEsecuzioneUtente());
  {
    const platform::BloccoCartella altraSessione(platform::CartellaEsecuzioneUtente());
    banco_.ciclo.ControlloAggiornamentiORVANE();
    EXPECT_EQ(banco_.Ultima("TARVIK"), MinutiFa(-60));
    EXPECT_THAT(banco_.Elencati(), ::testing::IsEmpty());
  }
  banco_.ciclo.ControlloAggiornamentiORVANE();
  EXPECT_EQ(banco_.Ultima("TARVIK"), MinutiFa(0));
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

TEST_F(CicloTest, EmptyStoreIncompleteDiscoveryUnattendedFindsAndBadIntervalsEndTheirOwnWay) {
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

  // An unreadable interval stops the cycle with one record, Esc back on.
  ASSERT_EQ(orvane::test::MacchinaFinta::Log(), "");
  banco_.Programma("SELVOR", "ROSSI", "xx:yy:zz");
  banco_.ciclo.Command_F4_Click();
  EXPECT_EQ(orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log()), 1U);
  EXPECT_THAT(orvane::test::MacchinaFinta::Log(), HasSubstr("ControlloAggiornamentiORVANE"));
  EXPECT_TRUE(banco_.Command_Esc.isEnabled());
  EXPECT_FALSE(banco_.ciclo.InCorso());
}

// ROSSI sees: an ORVANE package and an ordinary one offered to two
// unrelated programs, one package shared by two property-management
// modules, and two packages of TARVIK alone; VERDI is refused.
constexpr const char* kCatalogo = R"({
  "clienti": [ { "userid": "ROSSI", "abilitato": "S" }, { "userid": "VERDI", "abilitato": "N" } ],
  "pacchetti": [
    { "codice": 7, "dataxx": "2008-01-10T09:00:00", "progra": ["SELVOR", "TARVIK"],
      "TipoXx": "ORVANE", "Filexx": "Motore comune", "contenuto": { "a.txt": "a" }, "clienti": ["*"] },
    { "codice": 11, "dataxx": "2008-02-01", "progra": ["SELVOR", "TARVIK"], "TipoXx": "COMUNE",
      "Filexx": "Stampe", "contenuto": { "a.txt": "a" }, "clienti": ["ROSSI"] },
    { "codice": 10, "dataxx": "2008-02-02", "progra": ["PANELAC", "PANELAA"], "TipoXx": "MORLEN",
      "Filexx": "Schede", "contenuto": { "a.txt": "a" }, "clienti": ["ROSSI"] },
    { "codice": 42, "dataxx": "2008-03-05T14:30:00", "progra": "TARVIK", "TipoXx": "TARVIK",
      "Filexx": "Fatture", "notexx": "Prima riga\r\nseconda riga",
      "contenuto": { "a.txt": "a" }, "clienti": ["ROSSI"] },
    { "codice": 3, "dataxx": "2007-12-31T23:59:59", "progra": "TARVIK", "TipoXx": "TARVIK",
      "Filexx": "Vecchio", "contenuto": { "a.txt": "a" }, "clienti": ["ROSSI"] }
  ]
})";

class ElencoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
    banco_.macchina.Imposta("ORVANE_UPDATE_SERVER", servizio_.Server());
    banco_.stato.UtenteCorrente = "ROSSI";
  }
  void TearDown() override { QLocale::setDefault(QLocale::c()); }

  void Riempi(const std::string& softxx) {
    banco_.stato.ServizioCA = std::make_shared<quomaro::clsCA>();
    banco_.elenco.RiempiGriglia(softxx);
  }

  orvane::test::ServizioFiglio servizio_{kCatalogo};
  test::BancoFinestra banco_;
};

TEST_F(ElencoTest, EachPackageIsListedOnceInTheCellsOfTheTableUnlessUnrelatedProgramsShareIt) {
  // The store's current row gives the data folder of the rows listed.
  banco_.Programma("TARVIK", "ROSSI", "00:00:30", "", R"(C:\ORVANE\TARVIK\DATI)");
  banco_.stato.rsAGGIOR->Filter("softxx='TARVIK'");
  for (const char* softxx : {"TARVIK", "SELVOR", "PANELAA", "PANELAC", "MAIINSTALLATO"})
    Riempi(softxx);
  // TARVIK oldest first; the ORVANE package not again for SELVOR; the
  // ordinary one again; one module's package not again for the other.
  EXPECT_THAT(banco_.Elencati(), ElementsAre("3/TARVIK", "7/TARVIK", "11/TARVIK", "42/TARVIK",
                                             "11/SELVOR", "10/PANELAA"));
  for (int r = 1; r <= banco_.elenco.Righe(); r += 2) {
    EXPECT_EQ(banco_.elenco.Testo(r, Elenco::kEsegui), "Ok");
    EXPECT_EQ(banco_.elenco.Testo(r + 1, Elenco::kEsegui), "");
  }
  EXPECT_EQ(banco_.Label2.text().toStdString(), Elenco::kPronto);
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");

  const int r = 7;  // package 42
  const std::vector<std::string> attesi{
      "Ok", "Fatture", "05/03/2008 14:30:00",      "42",     "",
      "",   "TARVIK",  R"(C:\ORVANE\TARVIK\DATI)", "TARVIK", "ROSSI"};
  for (int c = 1; c <= 10; ++c) {
    if (c == Elenco::kDimensione || c == Elenco::kByte) continue;
    EXPECT_EQ(banco_.elenco.Testo(r, c), attesi.at(static_cast<std::size_t>(c - 1))) << c;
  }
  EXPECT_THAT(banco_.elenco.Testo(r, Elenco::kDimensione), ::testing::EndsWith(" Byte"));
  EXPECT_EQ(banco_.elenco.Testo(r + 1, Elenco::kContenuto), "Prima riga seconda riga");

  // A note row is set apart from its package's row; the service's colours
  // are blue-green-red, the grid's red-green-blue.
  const auto cella = [&](int riga, int colonna) {
    return banco_.grdAggior.item(riga - 1, colonna - 1);
  };
  EXPECT_EQ(cella(r, 2)->background().color(), QColor(255, 238, 192));
  EXPECT_EQ(cella(r, 2)->foreground().color(), QColor(0, 0, 64));
  EXPECT_DOUBLE_EQ(cella(r, 2)->font().pointSizeF(), 10);
  EXPECT_DOUBLE_EQ(cella(r + 1, 2)->font().pointSizeF(), 7);
  EXPECT_EQ(cella(r + 1, 1)->data(Elenco::kRuoloAllineamento).toInt(), 0x40020);
  EXPECT_TRUE(banco_.grdAggior.updatesEnabled());
  // The package code and what the run reads (bytes, type, folder, program,
  // user) stay out of sight.
  for (int c = 1; c <= 10; ++c)
    EXPECT_EQ(banco_.grdAggior.isColumnHidden(c - 1), c == 4 || c >= 6) << c;

  // The check itself, against what is listed now: not again for the same
  // program (in any case), for another Morlen module, or when it is an
  // ORVANE package.
  struct Caso {
    std::int32_t codice;
    const char* progra;
    const char* tipo;
    bool elencabile;
  };
  for (const Caso& c :
       {Caso{10, "PANELAE", "MORLEN", false}, Caso{10, "SELVOR", "MORLEN", true},
        Caso{11, "PANELAB", "ORVANE", false}, Caso{12, "TARVIK", "ORVANE", true},
        Caso{42, "TARVIK", "TARVIK", false}, Caso{42, "SELVOR", "TARVIK", true},
        // The same program or module in another case.
        Caso{42, "Tarvik", "TARVIK", false}, Caso{10, "panelae", "MORLEN", false}}) {
    EXPECT_EQ(banco_.elenco.VerificaFileInElenco(c.codice, c.progra, c.tipo), c.elencabile)
        << c.codice << " " << c.progra;
  }

  // A refused list is told by balloon (the window is not in use) and still
  // marks every row.
  banco_.elenco.SegnaTutti("");
  banco_.stato.UtenteCorrente = "VERDI";
  Riempi("TARVIK");
  EXPECT_EQ(banco_.elenco.Righe(), 12);
  EXPECT_EQ(banco_.elenco.Testo(1, Elenco::kEsegui), "Ok");
  ASSERT_FALSE(banco_.tray.UltimiFumetti().empty());
  EXPECT_EQ(
      banco_.tray.UltimiFumetti().back(),
      (Fumetto{"Connessione col server chiusa inaspettatamente\nUtente non abilitato al servizio",
               "Aggiornamenti Orvane Software", 3000}));
}

TEST_F(ElencoTest, SizesReadInKilobytesOfAThousandWithTheLocaleSeparator) {
  const std::vector<std::pair<double, std::string>> casi{
      {0, "0 Byte"},  {1000, "1.000 Byte"},  {1001, "1 KB"}, {1600, "2 KB"},
      {1499, "1 KB"}, {2500000, "2.500 KB"}, {1e300, "1"}};
  for (const auto& [byte, testo] : casi)
    EXPECT_THAT(Elenco::TestoDimensione(byte), ::testing::StartsWith(testo)) << byte;
  // The C locale has no separator (Qt's own C locale, as a session under
  // LANG=C gets it, would give an English comma).
  QLocale c = QLocale::c();
  c.setNumberOptions({});
  QLocale::setDefault(c);
  EXPECT_EQ(Elenco::TestoDimensione(2500000), "2500 KB");
}

// A size the service persists as a decimal type is a whole number of bytes
// all the same: the run reads it as one.
TEST_F(ElencoTest, BadPackagesNeverBreakThePairsOfRowsAndDecimalSizesReachTheRunWhole) {
  quomaro::Recordset rs = test::ElencoFileVuoto("r8");
  const std::string lunga(10000, 'x');
  rs.AggiungiRiga({"2008-01-01T00:00:00", "abc", "TARVIK", "T", "codice non numerico", "1", ""});
  rs.AggiungiRiga({"2008-01-02T00:00:00", std::nullopt, "TARVIK", "T", "codice nullo", "1", ""});
  rs.AggiungiRiga({"2008-01-03T00:00:00", "99999999999", "TARVIK", "T", "troppo grande", "1", ""});
  rs.AggiungiRiga(
      {std::nullopt, "5", "TARVIK", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  rs.AggiungiRiga({"2008-01-05T00:00:00", "6", "TARVIK", "T", lunga, "330.0",
                   "<b>grassetto</b>\r\n<i>\u2028x"});
  rs.AggiungiRiga({"2008-01-06T00:00:00", "8", "TARVIK", "T", "b", "1.5E6", ""});
  banco_.elenco.AggiungiPacchetti(rs, "TARVIK");

  EXPECT_THAT(banco_.Elencati(), ElementsAre("5/TARVIK", "6/TARVIK", "8/TARVIK"));
  EXPECT_EQ(banco_.elenco.Righe(), 6);
  EXPECT_EQ(banco_.elenco.Testo(1, Elenco::kContenuto), "");
  EXPECT_EQ(banco_.elenco.Testo(1, Elenco::kDimensione), "");
  EXPECT_EQ(banco_.elenco.Testo(3, Elenco::kContenuto), lunga);
  EXPECT_EQ(banco_.elenco.Testo(4, Elenco::kContenuto), "<b>grassetto</b> <i> x");
  EXPECT_EQ(banco_.elenco.Testo(3, Elenco::kDimensione), "330 Byte");
  EXPECT_EQ(banco_.elenco.Testo(3, Elenco::kByte), "330");
  EXPECT_EQ(banco_.elenco.Testo(5, Elenco::kByte), "1500000");
  EXPECT_EQ(banco_.elenco.Testo(5, Elenco::kDimensione), "1.500 KB");
  // One record for the packages left out, not one each.
  const std::string log = orvane::test::MacchinaFinta::Log();
  EXPECT_EQ(orvane::test::RecordNelLog(log), 1U);
  EXPECT_THAT(log, HasSubstr("RiempiGriglia"));
}

}  // namespace
}  // namespace tervan
