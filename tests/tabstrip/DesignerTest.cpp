// brisko-designer's command line: what it renders is what the control shows.
#include <gtest/gtest.h>

#include <QImage>

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

TEST(BriskoDesigner, RendersTheControlsOwnPixels) {
  CartellaTemporanea cartella;
  ScriviFile(cartella / "stato.ini", kStato);
  const auto esito = Esegui(BRISKO_DESIGNER, {"--render", (cartella / "stato.ini").string(),
                                              (cartella / "out.png").string(), "--focus", "--hot",
                                              "2", "--size", "200x60"});
  ASSERT_EQ(esito.codice, 0) << esito.err;
  const QImage png(QString::fromStdString((cartella / "out.png").string()));

  auto bag = PropertyBagIni::DaTesto(kStato);
  xpVantelTab tab;
  tab.ReadProperties(bag);
  tab.resize(200, 60);
  tab.ImpostaFocusFlag(true);
  tab.ImpostaHotTab(2);
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), tab.ImmagineControllo());
}

TEST(BriskoDesigner, Exits2OnBadUsageAnd1OnAnUnreadableState) {
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
}

}  // namespace
}  // namespace brisko
