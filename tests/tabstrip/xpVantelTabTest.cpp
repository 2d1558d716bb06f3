// The control's model: tab list, setters, events, errors and the
// late-bound interface.
#include <gtest/gtest.h>

#include <QSignalSpy>

#include "ProvaSchede.h"
#include "brisko/ErroreControllo.h"

namespace brisko {
namespace {

long NumeroErrore(const std::function<void()>& chiamata) {
  try {
    chiamata();
  } catch (const ErroreControllo& e) {
    return e.Numero();
  }
  return 0;
}

TEST(xpVantelTab,
     InitialisesOnANewContainerWithOneTabAndTheAmbientColourAndFontAndResolvesColours) {
  QWidget modulo;
  modulo.setProperty("BackColor", 0x8000000F);
  modulo.setFont(QFont("DejaVu Sans", 9));
  auto* tab = new xpVantelTab(&modulo);
  tab->InitProperties();
  EXPECT_EQ(tab->NumberOfTabs(), 1);
  EXPECT_EQ(tab->TabCaption(1), "Tab1");
  EXPECT_EQ(tab->TabWidth(1), 60);
  EXPECT_EQ(tab->TabHeight(), 22);
  EXPECT_EQ(tab->BackColor(), 0x8000000FU);
  EXPECT_EQ(tab->ForeColor(), 0x80000012U);
  EXPECT_EQ(tab->Font().family(), "DejaVu Sans");
  // Frame and back colours set later are stored resolved.
  tab->SetFrameColor(0x80000010U);
  tab->SetBackColor(0x8000000FU);
  EXPECT_EQ(tab->FrameColor(), RGB(172, 168, 153));
  EXPECT_EQ(tab->BackColor(), RGB(236, 233, 216));
}

TEST(AddTab, NamesAnUnnamedTabAfterTheCountAndRebuildsAccessKeysOnlyForACaption) {
  auto tab = test::StrisciaTervan();
  tab->SetTabCaption(1, "&Principale");
  tab->AddTab(60, "Aggiorna&menti");
  ASSERT_EQ(tab->AccessKeys(), "pm");
  std::string testo;
  EXPECT_EQ(tab->AddTab(60, testo), 3);
  EXPECT_EQ(testo, "Tab3");
  EXPECT_EQ(tab->TabWidth(3), 60);
  EXPECT_EQ(tab->AccessKeys(), "pm");
  EXPECT_EQ(tab->AddTab(80, "&Dati"), 4);
  EXPECT_EQ(tab->AccessKeys(), "pmd");
  EXPECT_EQ(tab->GetTabAccessKey('m'), 2);
  EXPECT_EQ(tab->GetTabAccessKey('d'), 4);
  EXPECT_EQ(tab->GetTabAccessKey('P'), 0);
}

TEST(DeleteTab, KeepsTheOnlyTabAndBringsSelectedAndHotTabsBackIntoTheList) {
  auto tab = test::StrisciaTervan();
  QSignalSpy segnate(tab.get(), &xpVantelTab::PropertyChanged);
  tab->DeleteTab();
  EXPECT_EQ(tab->NumberOfTabs(), 1);
  ASSERT_EQ(segnate.count(), 1);
  EXPECT_EQ(segnate[0][0].toString(), "NumberOfTabs");

  tab->AddTab(60, "Due");
  tab->AddTab(60, "Tre");
  tab->SetSelectedTab(3);
  tab->ImpostaHotTab(3);
  tab->DeleteTab();
  EXPECT_EQ(tab->SelectedTab(), 2);
  EXPECT_EQ(tab->HotTab(), 2);
  EXPECT_EQ(tab->TabRect(2).top, 0);  // painted raised
  EXPECT_EQ(NumeroErrore([&] { (void)tab->TabCaption(3); }), 9);
}

TEST(SelectedTab, RaisesTabPressedWithThePreviousTabBeforeRepainting) {
  auto tab = test::StrisciaTervan();
  tab->AddTab(60, "Due");
  std::vector<std::pair<int, int>> visti;  // previous tab, selection painted
  QObject::connect(tab.get(), &xpVantelTab::TabPressed, [&](std::int16_t precedente) {
    visti.emplace_back(precedente, tab->TabRect(2).top == 0 ? 2 : 1);
  });
  tab->SetSelectedTab(2);
  tab->SetSelectedTab(2);
  tab->SetSelectedTab(1);
  EXPECT_EQ(visti, (std::vector<std::pair<int, int>>{{0, 1}, {2, 2}, {2, 2}}));
  // Beyond the 16-bit range: the event is raised, then the overflow.
  EXPECT_EQ(NumeroErrore([&] { tab->SetSelectedTab(40000); }), 6);
  EXPECT_EQ(visti.size(), 4U);
  // Beyond the list: the paint pass reports it.
  EXPECT_EQ(NumeroErrore([&] { tab->SetSelectedTab(7); }), 9);
}

TEST(xpVantelTab, ReportsIndicesOutsideTheTabListAsError9AndChangesNothing) {
  auto tab = test::StrisciaTervan();
  for (const std::int32_t i : {0, -1, 2, 2147483647}) {
    EXPECT_EQ(NumeroErrore([&] { (void)tab->TabWidth(i); }), 9);
    EXPECT_EQ(NumeroErrore([&] { tab->SetTabCaption(i, "x"); }), 9);
    EXPECT_EQ(NumeroErrore([&] { tab->SetTabPicture(i, nullptr); }), 9);
  }
  EXPECT_EQ(tab->TabCaption(1), "Principale");
}

TEST(ForeColorHot, IsMarkedButShowsOnlyAtTheNextPaint) {
  auto tab = test::StrisciaTervan();
  tab->AddTab(60, "Due");
  tab->ImpostaHotTab(2);
  const QImage prima = tab->ImmagineControllo();
  QSignalSpy segnate(tab.get(), &xpVantelTab::PropertyChanged);
  tab->SetForeColorHot(RGB(255, 0, 0));
  EXPECT_EQ(segnate.count(), 1);
  EXPECT_EQ(tab->ImmagineControllo(), prima);
  tab->DrawTab();
  EXPECT_NE(tab->ImmagineControllo(), prima);
}

TEST(Invoke, ReachesPropertiesAndMethodsByTheirDispatchIdentifiers) {
  auto tab = test::StrisciaTervan();
  std::vector<Valore> nessuno;
  EXPECT_EQ(tab->Invoke(0x68030000, TipoInvocazione::LeggiProprieta, nessuno), Valore(1));
  std::vector<Valore> aggiungi{Valore(), std::string()};
  EXPECT_EQ(tab->Invoke(0x6003001C, TipoInvocazione::Metodo, aggiungi), Valore(2));
  EXPECT_EQ(aggiungi[1], Valore(std::string("Tab2")));
  std::vector<Valore> seleziona{2};
  tab->Invoke(0x68030000, TipoInvocazione::ScriviProprieta, seleziona);
  EXPECT_EQ(tab->SelectedTab(), 2);
  // Numbers are rounded as the host converts them: halves to even.
  for (const auto& [dato, attesa] : {std::pair{Valore(90), 90},
                                     {Valore(60.7F), 61},
                                     {Valore(2.5F), 2},
                                     {Valore(3.5F), 4},
                                     {Valore(-0.6F), -1}}) {
    std::vector<Valore> larghezza{2, dato};
    tab->Invoke(0x68030008, TipoInvocazione::ScriviProprieta, larghezza);
    EXPECT_EQ(tab->TabWidth(2), attesa) << attesa;
  }
  std::vector<Valore> enorme{2, 3e9F};
  EXPECT_EQ(
      NumeroErrore([&] { tab->Invoke(0x68030008, TipoInvocazione::ScriviProprieta, enorme); }), 6);
  std::vector<Valore> misura{test::Figura(16, 32, 0, 0), Valore(), Valore()};
  tab->Invoke(0x6003001E, TipoInvocazione::Metodo, misura);
  EXPECT_NEAR(std::get<float>(misura[1]), 16.0F, 0.02F);
  EXPECT_NEAR(std::get<float>(misura[2]), 32.0F, 0.02F);
  EXPECT_EQ(
      NumeroErrore([&] { tab->Invoke(0x68030003, TipoInvocazione::ScriviProprieta, seleziona); }),
      438);
  EXPECT_EQ(NumeroErrore([&] { tab->Invoke(0x12345, TipoInvocazione::Metodo, nessuno); }), 438);
  EXPECT_EQ(
      NumeroErrore([&] { tab->Invoke(0x68030007, TipoInvocazione::LeggiProprieta, nessuno); }),
      449);
  std::vector<Valore> testo{std::string("due")};
  EXPECT_EQ(NumeroErrore([&] { tab->Invoke(0x68030000, TipoInvocazione::ScriviProprieta, testo); }),
            13);
}

}  // namespace
}  // namespace brisko
