// brisko-designer's command line: what it renders is what the control shows.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>
#include <chrono>

#include "FinestraDesigner.h"
#include "FoglioProprieta.h"
#include "brisko/Tabs.h"

#include "ProvaSchede.h"
#include "brisko/PropertyBagIni.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"

namespace brisko {
namespace {

using orvane::test::CartellaTemporanea;
using orvane::test::Esegui;
using orvane::test::ScriviFile;

constexpr const char* kStato =
    "[xpVantelTab]\nTabHeight=22\nBackColor=14215660\nNumberOfTabs=2\nTabWidth1=75\n"
    "TabText1=Principale\nTabWidth2=60\nTabText2=&Altro\n";

TEST(BriskoDesigner, Exits2OnBadUsage1OnAnUnreadableStateAnd0ForHelp) {
  CartellaTemporanea cartella;
  ScriviFile(cartella / "stato.ini", kStato);
  const std::string stato = (cartella / "stato.ini").string();
  const std::string png = (cartella / "out.png").string();
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"--render", stato},
                                               {"--render", stato, png, "--size", "0x5"},
                                               {"--render", stato, png, "--hot"},
                                               {"--render", stato, png, "--colore"}}) {
    EXPECT_EQ(Esegui(BRISKO_DESIGNER, args).codice, 2);
  }
  const auto manca = Esegui(BRISKO_DESIGNER, {"--render", (cartella / "x.ini").string(), png});
  EXPECT_EQ(manca.codice, 1);
  EXPECT_NE(manca.err.find("x.ini"), std::string::npos);
  EXPECT_EQ(Esegui(BRISKO_DESIGNER, {"--render", stato, png, "--hot", "3"}).codice, 1);
  const auto aiuto = Esegui(BRISKO_DESIGNER, {"--help"});
  EXPECT_EQ(aiuto.codice, 0);
  EXPECT_TRUE(aiuto.out.starts_with("Uso:\n"));
}

TEST(BriskoDesigner, RefusesWithExit2AFileThatIsNoStateAndAMissingScreen) {
  CartellaTemporanea cartella;
  ScriviFile(cartella / "binario.ini", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  ScriviFile(cartella / "testo.ini", "Caro cliente,\nla presente per comunicarLe\n");
  ScriviFile(cartella / "latino1.ini", "[xpVantelTab]\nTabText1=Propriet\xe0\n");
  const std::string png = (cartella / "out.png").string();
  for (const char* nome : {"binario.ini", "testo.ini", "latino1.ini"}) {
    const std::string stato = (cartella / nome).string();
    for (const auto& args :
         {std::vector<std::string>{"--render", stato, png}, std::vector<std::string>{stato}}) {
      const auto esito = Esegui(BRISKO_DESIGNER, args);
      EXPECT_EQ(esito.codice, 2) << nome << " " << args.size();
      EXPECT_NE(esito.err.find(nome), std::string::npos) << esito.err;
      EXPECT_NE(esito.err.find("Formato di file non valido"), std::string::npos) << esito.err;
    }
  }
  EXPECT_FALSE(std::filesystem::exists(png));

  ScriviFile(cartella / "stato.ini", kStato);
  for (const auto& schermo : {std::string(), std::string(":4242")}) {
    const auto esito =
        Esegui(BRISKO_DESIGNER, {(cartella / "stato.ini").string()},
               {{"QT_QPA_PLATFORM", ""}, {"WAYLAND_DISPLAY", ""}, {"DISPLAY", schermo}});
    EXPECT_EQ(esito.codice, 2) << schermo << esito.err;
    EXPECT_NE(esito.err.find("schermo"), std::string::npos) << esito.err;
  }
}

TEST(BriskoDesigner, ReportsAMissingPictureAndKeepsItsLineOnSave) {
  CartellaTemporanea cartella;
  ScriviFile(cartella / "stato.ini", std::string(kStato) + "TabPicture2=immagini/manca.bmp\n");
  const auto resa = Esegui(BRISKO_DESIGNER, {"--render", (cartella / "stato.ini").string(),
                                             (cartella / "out.png").string()});
  EXPECT_EQ(resa.codice, 0);
  EXPECT_NE(resa.err.find("immagini/manca.bmp"), std::string::npos) << resa.err;

  FinestraDesigner finestra(cartella / "stato.ini");
  ASSERT_EQ(finestra.Avvisi().size(), 1U);
  auto* avviso = finestra.findChild<QMessageBox*>();
  ASSERT_NE(avviso, nullptr);
  EXPECT_TRUE(avviso->isVisible());
  EXPECT_TRUE(avviso->informativeText().contains("immagini/manca.bmp"));
  finestra.Controllo().SetTabCaption(1, "Generale");
  ASSERT_TRUE(finestra.Salva(cartella / "stato.ini"));
  const std::string salvato = orvane::test::LeggiFile(cartella / "stato.ini");
  EXPECT_NE(salvato.find("TabText1=Generale\n"), std::string::npos);
  EXPECT_NE(salvato.find("TabPicture2=immagini/manca.bmp\n"), std::string::npos) << salvato;
}

TEST(BriskoDesigner, RendersAnAlignmentWithoutLayoutAsTheBackgroundAtFullSize) {
  CartellaTemporanea cartella;
  for (const char* allineamento : {"2", "3"}) {
    ScriviFile(cartella / "stato.ini", std::string("[xpVantelTab]\nAlignment=") + allineamento +
                                           "\nBackColor=14215660\nNumberOfTabs=1\n");
    const auto esito =
        Esegui(BRISKO_DESIGNER, {"--render", (cartella / "stato.ini").string(),
                                 (cartella / "out.png").string(), "--size", "200x80"});
    ASSERT_EQ(esito.codice, 0) << esito.err;
    const QImage png(QString::fromStdString((cartella / "out.png").string()));
    ASSERT_EQ(png.size(), QSize(200, 80)) << allineamento;
    EXPECT_EQ(test::Colore(png, 0, 0), 14215660U);
    EXPECT_EQ(test::Colore(png, 199, 79), 14215660U);
  }
}

TEST(BriskoDesigner, AppliesTheSheetToTheLiveControlAndRendersWhatItSavesPixelForPixel) {
  CartellaTemporanea cartella;
  ScriviFile(cartella / "stato.ini", kStato);
  FinestraDesigner finestra(cartella / "stato.ini");
  finestra.show();
  xpVantelTab& tab = finestra.Controllo();
  ASSERT_EQ(tab.NumberOfTabs(), 2);

  FoglioProprieta& foglio = finestra.Foglio();
  auto* applica = foglio.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Apply);
  auto* testo = foglio.PaginaTabs().findChild<QLineEdit*>("txt(0)");
  EXPECT_FALSE(applica->isEnabled());
  testo->setText("&Generale");
  emit testo->textEdited(testo->text());
  ASSERT_TRUE(applica->isEnabled());
  applica->click();
  EXPECT_EQ(tab.TabCaption(1), "&Generale");
  EXPECT_EQ(tab.AccessKeys(), "ga");
  EXPECT_FALSE(applica->isEnabled());
  tab.SetSelectedTab(2);

  ASSERT_TRUE(finestra.Salva(cartella / "salvato.ini"));
  // Rendered with focus and the pointer over the unselected tab: the
  // control's own pixels in that state.
  tab.ImpostaFocusFlag(true);
  tab.ImpostaHotTab(1);
  const auto esito =
      Esegui(BRISKO_DESIGNER, {"--render", (cartella / "salvato.ini").string(),
                               (cartella / "out.png").string(), "--focus", "--hot", "1", "--size",
                               std::to_string(tab.width()) + "x" + std::to_string(tab.height())});
  ASSERT_EQ(esito.codice, 0) << esito.err;
  const QImage png(QString::fromStdString((cartella / "out.png").string()));
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), tab.ImmagineControllo());
}

TEST(BriskoDesigner, StartsANewControlForAMissingFileAndCopesWithTenThousandTabs) {
  CartellaTemporanea cartella;
  FinestraDesigner nuovo(cartella / "nuovo.ini");
  EXPECT_EQ(nuovo.Controllo().NumberOfTabs(), 1);
  EXPECT_EQ(nuovo.Controllo().TabCaption(1), "Tab1");
  ASSERT_TRUE(nuovo.Salva(cartella / "nuovo.ini"));
  EXPECT_TRUE(std::filesystem::exists(cartella / "nuovo.ini"));

  std::string stato = "[xpVantelTab]\nTabHeight=22\nNumberOfTabs=10000\n";
  for (int i = 1; i <= 10000; ++i) {
    stato += "TabWidth" + std::to_string(i) + "=40\nTabText" + std::to_string(i) + "=&S" +
             std::to_string(i) + "\n";
  }
  ScriviFile(cartella / "grande.ini", stato);
  const auto inizio = std::chrono::steady_clock::now();
  FinestraDesigner grande(cartella / "grande.ini");
  grande.show();
  EXPECT_EQ(grande.Controllo().NumberOfTabs(), 10000);
  EXPECT_EQ(grande.Controllo().GetTabAccessKey('s'), 1);
  auto* hsb = grande.Foglio().PaginaTabs().findChild<QScrollBar*>("hsb");
  EXPECT_EQ(hsb->maximum(), 10000);
  hsb->setValue(9999);
  EXPECT_EQ(grande.Foglio().PaginaTabs().findChild<QLineEdit*>("txt(0)")->text(), "&S9999");
  EXPECT_LT(std::chrono::steady_clock::now() - inizio, std::chrono::seconds(5));
}

}  // namespace
}  // namespace brisko
