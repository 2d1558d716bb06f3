// brisko-designer's command line: what it renders is what the control shows.
#include <gtest/gtest.h>

#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
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
