// The update list on loose controls: what the fill lists from the reference
// service, how its cells look, and what bad answers do to it.
#include <gmock/gmock.h>

#include <QLocale>
#include <string>
#include <vector>

#include "BancoFinestra.h"
#include "quomaro/Recordset.h"
#include "tests/support/ServizioFiglio.h"

namespace tervan {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using Elenco = ElencoAggiornamenti;

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

  QTableWidgetItem& Cella(int riga, int colonna) {
    QTableWidgetItem* item = banco_.grdAggior.item(riga - 1, colonna - 1);
    EXPECT_NE(item, nullptr) << riga << "," << colonna;
    static QTableWidgetItem vuota;
    return item != nullptr ? *item : vuota;
  }

  orvane::test::ServizioFiglio servizio_{kCatalogo};
  test::BancoFinestra banco_;
};

TEST_F(ElencoTest, EachPackageIsListedOnceUnlessTwoUnrelatedProgramsShareIt) {
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

  // The check itself, against what is listed now: not again for the same
  // program, for another Morlen module, or when it is an ORVANE package.
  struct Caso {
    std::int32_t codice;
    const char* progra;
    const char* tipo;
    bool elencabile;
  };
  for (const Caso& c : {Caso{10, "PANELAE", "MORLEN", false}, Caso{10, "SELVOR", "MORLEN", true},
                        Caso{11, "PANELAB", "ORVANE", false}, Caso{12, "TARVIK", "ORVANE", true},
                        Caso{42, "TARVIK", "TARVIK", false}, Caso{42, "SELVOR", "TARVIK", true}}) {
    EXPECT_EQ(banco_.elenco.VerificaFileInElenco(c.codice, c.progra, c.tipo), c.elencabile)
        << c.codice << " " << c.progra;
  }
}

TEST_F(ElencoTest, DataAndNoteRowsHaveTheTextsColoursAlignmentsAndFontsOfTheCellTable) {
  banco_.Programma("TARVIK", "ROSSI", "00:00:30", "", R"(C:\ORVANE\TARVIK\DATI)");
  banco_.stato.rsAGGIOR->Filter("softxx='TARVIK'");
  Riempi("TARVIK");
  ASSERT_EQ(banco_.elenco.Righe(), 8);
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

  struct Aspetto {
    int riga, colonna, allineamento;
    QColor sfondo, testo;
    double punti;  // 0: the grid's font
  };
  const QColor nessuno;
  for (const Aspetto& a : std::vector<Aspetto>{
           {r, 1, 1, QColor(255, 255, 221), QColor(0, 64, 0), 0},
           {r, 2, 0x40020, QColor(255, 238, 192), QColor(0, 0, 64), 10},
           {r, 3, 0, QColor(255, 238, 192), QColor(0, 0, 64), 10},
           {r, 5, 1, QColor(255, 238, 192), QColor(0, 0, 64), 10},
           {r + 1, 1, 0x40020, QColor(255, 255, 221), nessuno, 0},
           {r + 1, 2, 0x40020, nessuno, nessuno, 7},
       }) {
    const QTableWidgetItem& c = Cella(a.riga, a.colonna);
    EXPECT_EQ(c.data(Elenco::kRuoloAllineamento).toInt(), a.allineamento) << a.colonna;
    EXPECT_EQ(c.background().style() == Qt::NoBrush ? nessuno : c.background().color(), a.sfondo)
        << a.riga << "," << a.colonna;
    EXPECT_EQ(c.foreground().style() == Qt::NoBrush ? nessuno : c.foreground().color(), a.testo)
        << a.riga << "," << a.colonna;
    const double punti = c.data(Qt::FontRole).isValid() ? c.font().pointSizeF() : 0;
    EXPECT_DOUBLE_EQ(punti, a.punti) << a.riga << "," << a.colonna;
  }
  EXPECT_DOUBLE_EQ(banco_.grdAggior.font().pointSizeF(), 9.75);
  EXPECT_EQ(banco_.grdAggior.font().family(), QStringLiteral("Tahoma"));
  EXPECT_TRUE(banco_.grdAggior.updatesEnabled());
  for (int c = 1; c <= 10; ++c) {
    EXPECT_EQ(banco_.grdAggior.isColumnHidden(c - 1), c == 4 || c >= 6) << c;
  }
}

TEST_F(ElencoTest, SizesReadInKilobytesOfAThousandWithTheLocaleSeparator) {
  for (const auto& [byte, testo] :
       std::vector<std::pair<double, std::string>>{{0, "0 Byte"},
                                                   {1000, "1.000 Byte"},
                                                   {1001, "1 KB"},
                                                   {1600, "2 KB"},
                                                   {1499, "1 KB"},
                                                   {2500000, "2.500 KB"},
                                                   {1e300, "1"}}) {
    EXPECT_THAT(Elenco::TestoDimensione(byte), ::testing::StartsWith(testo)) << byte;
  }
}

TEST_F(ElencoTest, RefusedListIsReportedAndStillMarksEveryRow) {
  Riempi("TARVIK");
  banco_.elenco.SegnaTutti("");
  banco_.stato.UtenteCorrente = "VERDI";
  Riempi("TARVIK");
  EXPECT_EQ(banco_.elenco.Righe(), 8);
  EXPECT_EQ(banco_.elenco.Testo(1, Elenco::kEsegui), "Ok");
  // The window is not in use: a balloon, never a message box.
  ASSERT_FALSE(banco_.tray.UltimiFumetti().empty());
  EXPECT_EQ(
      banco_.tray.UltimiFumetti().back(),
      (Fumetto{"Connessione col server chiusa inaspettatamente\nUtente non abilitato al servizio",
               "Aggiornamenti Orvane Software", 3000}));
}

TEST_F(ElencoTest, BadPackagesNeverBreakThePairsOfRows) {
  quomaro::Recordset rs = test::ElencoFileVuoto();
  const std::string lunga(10000, 'x');
  rs.AggiungiRiga({"2008-01-01T00:00:00", "abc", "TARVIK", "T", "codice non numerico", "1", ""});
  rs.AggiungiRiga({"2008-01-02T00:00:00", std::nullopt, "TARVIK", "T", "codice nullo", "1", ""});
  rs.AggiungiRiga({"2008-01-03T00:00:00", "99999999999", "TARVIK", "T", "troppo grande", "1", ""});
  rs.AggiungiRiga(
      {std::nullopt, "5", "TARVIK", std::nullopt, std::nullopt, std::nullopt, std::nullopt});
  rs.AggiungiRiga(
      {"2008-01-05T00:00:00", "6", "TARVIK", "T", lunga, "7", "<b>grassetto</b>\r\n<i>"});
  banco_.elenco.AggiungiPacchetti(rs, "TARVIK");

  EXPECT_THAT(banco_.Elencati(), ElementsAre("5/TARVIK", "6/TARVIK"));
  EXPECT_EQ(banco_.elenco.Righe(), 4);
  EXPECT_EQ(banco_.elenco.Testo(1, Elenco::kContenuto), "");
  EXPECT_EQ(banco_.elenco.Testo(1, Elenco::kDimensione), "");
  EXPECT_EQ(banco_.elenco.Testo(3, Elenco::kContenuto), lunga);
  EXPECT_EQ(banco_.elenco.Testo(4, Elenco::kContenuto), "<b>grassetto</b> <i>");
  EXPECT_EQ(banco_.elenco.Testo(3, Elenco::kDimensione), "7 Byte");
  // One record for the packages left out, not one each.
  const std::string log = orvane::test::MacchinaFinta::Log();
  EXPECT_EQ(orvane::test::RecordNelLog(log), 1U);
  EXPECT_THAT(log, HasSubstr("RiempiGriglia"));
}

}  // namespace
}  // namespace tervan
