// brisko-designer's command line: what it renders is what the control shows.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDialogButtonBox>
#include <QImage>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScrollBar>

#include "FinestraDesigner.h"
#include "FoglioProprieta.h"
#include "brisko/Tabs.h"

#include "ProvaSchede.h"
#include "tests/support/AltroUtente.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"

namespace brisko {
namespace {

using orvane::test::CartellaTemporanea;
using orvane::test::Esegui;

constexpr const char* kStato =
    "[xpVantelTab]\nTabHeight=22\nBackColor=14215660\nNumberOfTabs=2\nTabWidth1=75\n"
    "TabText1=Principale\nTabWidth2=60\nTabText2=&Altro\n";

struct Cartella : CartellaTemporanea {
  std::string File(const char* nome, const std::string& testo) {
    orvane::test::ScriviFile(*this / nome, testo);
    return (*this / nome).string();
  }
  std::string png = (*this / "out.png").string();
};

TEST(BriskoDesigner, Exits2OnBadUsageOrAFileThatIsNoState1OnAFailedRenderAnd0ForHelp) {
  Cartella c;
  const std::string stato = c.File("stato.ini", kStato);
  const std::string binario =
      c.File("binario.ini", std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
  const std::string lettera = c.File("testo.ini", "Caro cliente,\nla presente per comunicarLe\n");
  const std::string latino1 = c.File("latino1.ini", "[xpVantelTab]\nTabText1=Propriet\xe0\n");
  struct Caso {
    std::vector<std::string> args;
    int codice;
    std::vector<std::string> messaggio;
  };
  const std::string formato = "Formato di file non valido";
  std::vector<Caso> casi{{{}, 2, {}},
                         {{"--render", stato}, 2, {}},
                         {{"--render", stato, c.png, "--size", "0x5"}, 2, {}},
                         {{"--render", stato, c.png, "--hot"}, 2, {}},
                         {{"--render", stato, c.png, "--colore"}, 2, {}},
                         {{"--render", binario, c.png}, 2, {"binario.ini", formato}},
                         {{lettera}, 2, {"testo.ini", formato}},
                         {{"--render", latino1, c.png}, 2, {"latino1.ini", formato}},
                         {{"--render", (c / "x.ini").string(), c.png}, 1, {"x.ini"}},
                         {{"--render", c.Percorso().string(), c.png}, 1, {"errore 75"}},
                         {{"--render", "/dev/zero", c.png}, 1, {"/dev/zero", "errore 75"}},
                         {{"--render", stato, c.png, "--hot", "3"}, 1, {}}};
  // An image in a shared folder goes through no link another user planted.
  const auto condivisa = c / "condivisa";
  if (::geteuid() == 0) {
    std::filesystem::create_directory(condivisa);
    std::filesystem::permissions(condivisa, std::filesystem::perms(0777));
    std::filesystem::create_symlink(c / "altrove.png", condivisa / "suo.png");
    ASSERT_EQ(::lchown((condivisa / "suo.png").c_str(), orvane::test::kUtenteNessuno,
                       orvane::test::kUtenteNessuno),
              0);
    casi.push_back({{"--render", stato, (condivisa / "suo.png").string()}, 1, {"suo.png"}});
  }
  for (const auto& [args, codice, messaggio] : casi) {
    const auto esito = Esegui(BRISKO_DESIGNER, args);
    EXPECT_EQ(esito.codice, codice) << args.size() << esito.err;
    for (const auto& parte : messaggio) {
      EXPECT_NE(esito.err.find(parte), std::string::npos) << esito.err;
    }
  }
  // Past the file size limit (ulimit -f) the render fails and leaves no
  // temporary file (standard error, a file here, is past the limit too).
  const auto limite = Esegui("sh", {"-c", "ulimit -f 0 && exec \"$0\" --render \"$1\" \"$2\"",
                                    BRISKO_DESIGNER, stato, c.png});
  EXPECT_EQ(limite.codice, 1) << limite.err;
  for (const auto& nome : orvane::test::NomiInCartella(c.Percorso()))
    EXPECT_FALSE(nome.starts_with(".out.png")) << nome;
  EXPECT_FALSE(std::filesystem::exists(c.png));
  EXPECT_FALSE(std::filesystem::exists(c / "altrove.png"));
  const auto aiuto = Esegui(BRISKO_DESIGNER, {"--help"});
  EXPECT_EQ(aiuto.codice, 0);
  EXPECT_TRUE(aiuto.out.starts_with("Uso:\n"));
  // The window needs a screen.
  for (const auto& schermo : {std::string(), std::string(":4242")}) {
    const auto esito =
        Esegui(BRISKO_DESIGNER, {stato},
               {{"QT_QPA_PLATFORM", ""}, {"WAYLAND_DISPLAY", ""}, {"DISPLAY", schermo}});
    EXPECT_EQ(esito.codice, 2) << schermo << esito.err;
    EXPECT_NE(esito.err.find("schermo"), std::string::npos) << esito.err;
  }
}

TEST(BriskoDesigner, AppliesTheSheetToTheLiveControlAndRendersWhatItSavesPixelForPixel) {
  Cartella c;
  const std::string stato =
      c.File("stato.ini", std::string(kStato) + "TabPicture2=immagini/manca.bmp\n");
  FinestraDesigner finestra(stato);
  finestra.show();
  // A picture the state names but that is missing is reported, and its
  // line kept on save.
  auto* avviso = finestra.findChild<QMessageBox*>();
  ASSERT_NE(avviso, nullptr);
  EXPECT_TRUE(avviso->isVisible());
  EXPECT_TRUE(avviso->informativeText().contains("immagini/manca.bmp"));
  xpVantelTab& tab = finestra.Controllo();
  FoglioProprieta& foglio = finestra.Foglio();
  auto* applica = foglio.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Apply);
  auto* testo = foglio.PaginaTabs().findChild<QLineEdit*>("txt(0)");
  EXPECT_FALSE(applica->isEnabled());
  testo->setText("&Generale");
  emit testo->textEdited(testo->text());
  ASSERT_TRUE(applica->isEnabled());
  applica->click();
  EXPECT_EQ(tab.AccessKeys(), "ga");
  EXPECT_FALSE(applica->isEnabled());
  tab.SetSelectedTab(2);
  ASSERT_TRUE(finestra.Salva(stato));
  const std::string salvato = orvane::test::LeggiFile(stato);
  EXPECT_NE(salvato.find("TabText1=&Generale\n"), std::string::npos);
  EXPECT_NE(salvato.find("TabPicture2=immagini/manca.bmp\n"), std::string::npos) << salvato;

  // Rendered with focus and the pointer over the unselected tab: the
  // control's own pixels in that state, and the missing picture told.
  tab.ImpostaFocusFlag(true);
  tab.ImpostaHotTab(1);
  const auto esito =
      Esegui(BRISKO_DESIGNER, {"--render", stato, c.png, "--focus", "--hot", "1", "--size",
                               std::to_string(tab.width()) + "x" + std::to_string(tab.height())});
  ASSERT_EQ(esito.codice, 0) << esito.err;
  EXPECT_NE(esito.err.find("immagini/manca.bmp"), std::string::npos) << esito.err;
  const QImage png(QString::fromStdString(c.png));
  EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32), tab.ImmagineControllo());
}

TEST(BriskoDesigner, StartsANewControlForAMissingFileAndCopesWithTenThousandTabs) {
  Cartella c;
  FinestraDesigner nuovo(c / "nuovo.ini");
  EXPECT_EQ(nuovo.Controllo().NumberOfTabs(), 1);
  ASSERT_TRUE(nuovo.Salva(c / "nuovo.ini"));
  EXPECT_TRUE(std::filesystem::exists(c / "nuovo.ini"));

  std::string stato = "[xpVantelTab]\nTabHeight=22\nNumberOfTabs=10000\n";
  for (int i = 1; i <= 10000; ++i) {
    const auto n = std::to_string(i);
    stato += "TabWidth" + n + "=40\nTabText" + n + "=&S" + n + "\n";
  }
  FinestraDesigner grande(c.File("grande.ini", stato));
  grande.show();
  EXPECT_EQ(grande.Controllo().GetTabAccessKey('s'), 1);
  auto* hsb = grande.Foglio().PaginaTabs().findChild<QScrollBar*>("hsb");
  EXPECT_EQ(hsb->maximum(), 10000);
  hsb->setValue(9999);
  EXPECT_EQ(grande.Foglio().PaginaTabs().findChild<QLineEdit*>("txt(0)")->text(), "&S9999");
}

}  // namespace
}  // namespace brisko
