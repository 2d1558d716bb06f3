// The stored state: keys, order and defaults, and the INI form of the bag.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "ProvaSchede.h"
#include "brisko/ErroreControllo.h"
#include "brisko/PropertyBagIni.h"
#include "tests/support/CartellaTemporanea.h"

namespace brisko {
namespace {

using orvane::test::CartellaTemporanea;
using orvane::test::LeggiFile;
using orvane::test::ScriviFile;

TEST(WriteProperties, StoresEveryKeyInOrderAndOmitsAbsentPictures) {
  CartellaTemporanea cartella;
  const auto figura = test::Figura(4, 4, qRgb(1, 2, 3), qRgb(255, 0, 255));
  ASSERT_TRUE(figura->Pixel().save(QString::fromStdString((cartella / "a.bmp").string()), "BMP"));
  auto tab = test::StrisciaTervan();
  tab->SetTabPicture(1, Immagine::LoadPicture(cartella / "a.bmp"));
  tab->AddTab(50, " due \"righe\"\nfine");
  tab->AddTab(40, "", test::Figura(2, 2, 0, 0));  // made in memory
  tab->SetFont(QFont("Tahoma", 9));
  tab->SetForeColor(0x80000012U);

  PropertyBagIni bag(cartella / "stato.ini");
  tab->WriteProperties(bag);
  bag.Salva();
  EXPECT_EQ(LeggiFile(cartella / "stato.ini"),
            "[xpVantelTab]\nAlignment=0\nTabHeight=22\nBackColor=14215660\n"
            "ForeColor=-2147483630\nForeColorActive=9982008\nForeColorHot=16711680\n"
            "FrameColor=10526872\nMaskColor=16711935\nSelectedTab=1\nFont=Tahoma,9\n"
            "NumberOfTabs=3\nTabWidth1=75\nTabText1=Principale\nTabPicture1=a.bmp\n"
            "TabWidth2=50\nTabText2=\" due \\\"righe\\\"\\nfine\"\nTabWidth3=40\nTabText3=Tab3\n"
            "TabPicture3=stato.TabPicture3.bmp\n");

  xpVantelTab letto;
  auto stato = PropertyBagIni::Carica(cartella / "stato.ini");
  letto.ReadProperties(stato);
  EXPECT_EQ(letto.NumberOfTabs(), 3);
  EXPECT_EQ(letto.TabCaption(2), " due \"righe\"\nfine");
  EXPECT_EQ(letto.TabPicture(2), nullptr);
  ASSERT_NE(letto.TabPicture(1), nullptr);
  EXPECT_EQ(letto.TabPicture(1)->Pixel().pixel(1, 1) & 0xFFFFFFU, 0x010203U);
  ASSERT_NE(letto.TabPicture(3), nullptr);
  EXPECT_EQ(letto.Font().pointSizeF(), 9.0);
  EXPECT_EQ(letto.ForeColor(), 0x80000012U);
}

TEST(ReadProperties, TakesTheDefaultOfEveryMissingOrUnreadableKey) {
  const auto bag = [](const char* testo) { return PropertyBagIni::DaTesto(testo); };
  auto vuoto = bag("");
  xpVantelTab tab;
  QSignalSpy premuto(&tab, &xpVantelTab::TabPressed);
  tab.ReadProperties(vuoto);
  EXPECT_EQ(tab.TabHeight(), 25);
  EXPECT_EQ(tab.BackColor(), RGB(240, 240, 224));
  EXPECT_EQ(tab.ForeColor(), 0x80000012U);
  EXPECT_EQ(tab.FrameColor(), RGB(152, 160, 160));
  EXPECT_EQ(tab.NumberOfTabs(), 0);
  ASSERT_EQ(premuto.count(), 1);
  EXPECT_EQ(premuto[0][0].value<std::int16_t>(), 0);

  auto sporco =
      bag("; commento\n[Altro]\nTabHeight=99\n[xpvanteltab]\nTabHeight=&H1E&\nTabHeight=40\n"
          "BackColor=verde\nFrameColor=4294967295\nriga senza uguale\nFont=Nessuno,zero\n"
          "NumberOfTabs=3\nTabWidth1=12abc\nTabText1=&Uno\nTabText2=D&ue\nTabPicture2=manca.bmp\n"
          "TabWidth3=-7\nSelectedTab=9\n");
  xpVantelTab letto;
  letto.ReadProperties(sporco);
  EXPECT_EQ(letto.TabHeight(), 30);
  EXPECT_EQ(letto.BackColor(), RGB(240, 240, 224));
  EXPECT_EQ(letto.FrameColor(), 0U);  // a system colour outside the table paints black
  EXPECT_EQ(letto.NumberOfTabs(), 3);
  EXPECT_EQ(letto.TabWidth(1), 0);
  EXPECT_EQ(letto.TabCaption(3), "");
  EXPECT_EQ(letto.TabWidth(3), -7);
  // A picture file that is missing stays named, and is reported.
  ASSERT_NE(letto.TabPicture(2), nullptr);
  EXPECT_EQ(letto.TabPicture(2)->Type(), TipoImmagine::Nessuna);
  ASSERT_EQ(sporco.Avvisi().size(), 1U);
  EXPECT_NE(sporco.Avvisi()[0].find("TabPicture2: manca.bmp"), std::string::npos);
  EXPECT_EQ(letto.AccessKeys(), "uu");
  EXPECT_EQ(letto.SelectedTab(), 3);  // a stored selection beyond the tabs

  // Stored selections outside the tabs are brought in, so the control paints.
  for (const auto& [selezione, attesa] :
       {std::pair{"0", 0}, {"-4", 1}, {"-2147483648", 1}, {"32768", 2}}) {
    auto stato =
        bag((std::string("[xpVantelTab]\nNumberOfTabs=2\nSelectedTab=") + selezione).c_str());
    xpVantelTab t;
    t.ReadProperties(stato);
    EXPECT_EQ(t.SelectedTab(), attesa) << selezione;
    t.resize(200, 60);
    EXPECT_NO_THROW(t.DrawTab()) << selezione;
  }

  // Counts are 32-bit: every tab of a large strip is kept; a negative or
  // absurd count gives none.
  for (const auto& [conteggio, attesa] :
       {std::pair{"-1", 0}, {"&HFFFFFFFF", 0}, {"40000", 40000}, {"2147483647", 0}}) {
    auto stato =
        bag((std::string("[xpVantelTab]\nTabText40000=Ultima\nNumberOfTabs=") + conteggio).c_str());
    xpVantelTab t;
    t.ReadProperties(stato);
    ASSERT_EQ(t.NumberOfTabs(), attesa) << conteggio;
    if (attesa > 0) {
      PropertyBagIni salvato(std::filesystem::path("stato.ini"));
      t.WriteProperties(salvato);
      EXPECT_NE(salvato.Testo().find("NumberOfTabs=40000\n"), std::string::npos);
      EXPECT_NE(salvato.Testo().find("TabText40000=Ultima\n"), std::string::npos);
    }
  }
}

TEST(PropertyBagIni, ReportsAMissingFileAndAnUnwritableOne) {
  CartellaTemporanea cartella;
  try {
    (void)PropertyBagIni::Carica(cartella / "manca.ini");
    FAIL();
  } catch (const ErroreControllo& e) {
    EXPECT_EQ(e.Numero(), 53);
  }
  PropertyBagIni bag(cartella / "no" / "stato.ini");
  bag.WriteProperty("TabHeight", 22);
  EXPECT_THROW(bag.Salva(), ErroreControllo);
}

}  // namespace
}  // namespace brisko
