// The tab strip's pointer, keyboard, focus and access-key handling, with
// real Qt events on a shown control.
#include <gtest/gtest.h>

#include <QCursor>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include "ProvaSchede.h"

namespace brisko {
namespace {

// Three tabs 60 pixels wide, tab 1 selected, painted on a shown control.
std::unique_ptr<xpVantelTab> TreSchede() {
  auto tab = test::StrisciaTervan();
  tab->SetTabWidth(1, 60);
  tab->AddTab(60, "Aggiorna&menti");
  tab->AddTab(60, "Dati");
  tab->move(0, 0);
  tab->show();
  tab->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(tab.get()));
  tab->SetSelectedTab(1);
  return tab;
}

QPoint Centro(const RECT& r) {
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

void Muovi(xpVantelTab& tab, QPoint punto) {
  QCursor::setPos(tab.mapToGlobal(punto));
  QMouseEvent evento(QEvent::MouseMove, QPointF(punto), tab.mapToGlobal(QPointF(punto)),
                     Qt::NoButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(&tab, &evento);
}

TEST(Pressione, SelectsTheTabUnderItAndRaisesMouseDownOnceAfterwards) {
  auto tab = TreSchede();
  QSignalSpy premute(tab.get(), &xpVantelTab::TabPressed);
  QSignalSpy giu(tab.get(), &xpVantelTab::MouseDown);
  QSignalSpy su(tab.get(), &xpVantelTab::MouseUp);
  std::int32_t selezioneAlMouseDown = -1;
  QObject::connect(tab.get(), &xpVantelTab::MouseDown,
                   [&] { selezioneAlMouseDown = tab->SelectedTab(); });

  // The selected tab again: TabPressed with itself as the previous tab.
  QTest::mouseClick(tab.get(), Qt::LeftButton, Qt::ShiftModifier, Centro(tab->TabRect(1)));
  ASSERT_EQ(premute.count(), 1);
  EXPECT_EQ(premute[0][0].value<std::int16_t>(), 1);
  ASSERT_EQ(giu.count(), 1);
  EXPECT_EQ(giu[0][0].value<std::int16_t>(), 1);
  EXPECT_EQ(giu[0][1].value<std::int16_t>(), 1);
  EXPECT_EQ(su.count(), 1);

  QTest::mouseClick(tab.get(), Qt::RightButton, {}, Centro(tab->TabRect(3)));
  EXPECT_EQ(tab->SelectedTab(), 3);
  EXPECT_EQ(selezioneAlMouseDown, 3);
  EXPECT_EQ(giu.count(), 2);
  EXPECT_EQ(giu[1][0].value<std::int16_t>(), 2);

  // The two body rows under the selected tab belong to its enlarged
  // rectangle; the row below them and the gap between two tabs select
  // nothing.
  const RECT s = tab->TabRect(3);
  const std::int32_t TH = tab->TabHeight();
  premute.clear();
  for (const int y : {TH, TH + 1}) {
    QTest::mouseClick(tab.get(), Qt::LeftButton, {}, QPoint(s.left + 10, y));
  }
  EXPECT_EQ(premute.count(), 2);
  QTest::mouseClick(tab.get(), Qt::LeftButton, {}, QPoint(s.left + 10, TH + 2));
  const RECT r1 = tab->TabRect(1);
  const RECT r2 = tab->TabRect(2);
  ASSERT_LT(r1.right, r2.left);
  QTest::mouseClick(tab.get(), Qt::LeftButton, {}, QPoint(r1.right, 10));
  EXPECT_EQ(premute.count(), 2);
  EXPECT_EQ(giu.count(), 6);
}

TEST(Pressione, RoundsHalvesToTheEvenPixel) {
  auto tab = TreSchede();
  const RECT r2 = tab->TabRect(2);
  QSignalSpy premute(tab.get(), &xpVantelTab::TabPressed);
  // r2.left - 0.5 rounds to r2.left when it is even, else to r2.left - 1.
  const double x = r2.left - 0.5;
  QMouseEvent evento(QEvent::MouseButtonPress, QPointF(x, 10), tab->mapToGlobal(QPointF(x, 10)),
                     Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(tab.get(), &evento);
  EXPECT_EQ(premute.count(), r2.left % 2 == 0 ? 1 : 0);
}

TEST(Puntatore, RepaintsOncePerHotChangeAndLeavesWithOneMouseOut) {
  auto tab = TreSchede();
  QSignalSpy dentro(tab.get(), &xpVantelTab::MouseIn);
  QSignalSpy fuori(tab.get(), &xpVantelTab::MouseOut);
  auto passi = [&tab, inizio = tab->PassiDisegno()]() mutable {
    const auto n = tab->PassiDisegno() - inizio;
    inizio = tab->PassiDisegno();
    return n;
  };
  const QPoint t1 = Centro(tab->TabRect(2)) - QPoint(tab->TabRect(2).left - 5, 0);
  Muovi(*tab, t1);
  EXPECT_EQ(tab->HotTab(), 1);
  EXPECT_EQ(passi(), 1U);
  Muovi(*tab, t1 + QPoint(3, 0));
  EXPECT_EQ(passi(), 0U);
  Muovi(*tab, Centro(tab->TabRect(2)));
  EXPECT_EQ(tab->HotTab(), 2);
  EXPECT_EQ(passi(), 1U);
  Muovi(*tab, QPoint(100, 60));  // the body
  EXPECT_EQ(tab->HotTab(), 0);
  EXPECT_EQ(passi(), 1U);
  Muovi(*tab, QPoint(110, 70));
  EXPECT_EQ(passi(), 0U);
  Muovi(*tab, QPoint(250, 10));  // the strip right of the last tab
  EXPECT_EQ(passi(), 0U);
  EXPECT_EQ(dentro.count(), 6);
  EXPECT_EQ(fuori.count(), 0);

  Muovi(*tab, Centro(tab->TabRect(3)));
  ASSERT_EQ(tab->HotTab(), 3);
  passi();
  Muovi(*tab, QPoint(400, 10));  // moves outside, as while a button is held
  Muovi(*tab, QPoint(410, 10));
  EXPECT_EQ(fuori.count(), 1);
  EXPECT_EQ(tab->HotTab(), 0);
  EXPECT_EQ(passi(), 1U);

  // Qt's leave event tells the same, once.
  Muovi(*tab, Centro(tab->TabRect(2)));
  QCursor::setPos(tab->mapToGlobal(QPoint(400, 10)));
  QEvent esce(QEvent::Leave);
  QApplication::sendEvent(tab.get(), &esce);
  QApplication::sendEvent(tab.get(), &esce);
  EXPECT_EQ(fuori.count(), 2);
  EXPECT_EQ(tab->HotTab(), 0);
}

// A mouse event as the window system delivers it: to the top-level window,
// which hands it to the widget under the point or to the one holding the
// pointer.
void Invia(QWidget& finestra, QEvent::Type tipo, QPoint punto, Qt::MouseButtons tenuti) {
  QCursor::setPos(finestra.mapToGlobal(punto));
  const QPointF globale(finestra.mapToGlobal(punto));
  QMouseEvent evento(tipo, QPointF(punto), QPointF(punto), globale,
                     tipo == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, tenuti,
                     Qt::NoModifier);
  QApplication::sendEvent(finestra.windowHandle(), &evento);
}

TEST(Puntatore, LeavesAClickRightAfterAJumpToTheWidgetUnderIt) {
  QWidget finestra;
  finestra.resize(420, 100);
  auto* tab = new xpVantelTab(&finestra);
  tab->InitProperties();
  tab->setGeometry(0, 0, 300, 100);
  auto* pulsante = new QPushButton("Ok", &finestra);
  pulsante->setGeometry(320, 10, 80, 30);
  finestra.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&finestra));
  QSignalSpy cliccato(pulsante, &QPushButton::clicked);
  QSignalSpy giu(tab, &xpVantelTab::MouseDown);
  for (int volta = 0; volta < 3; ++volta) {
    Invia(finestra, QEvent::MouseMove, Centro(tab->TabRect(1)), Qt::NoButton);
    ASSERT_EQ(tab->HotTab(), 1);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    Invia(finestra, QEvent::MouseButtonPress, QPoint(360, 25), Qt::LeftButton);
    Invia(finestra, QEvent::MouseButtonRelease, QPoint(360, 25), Qt::NoButton);
  }
  EXPECT_EQ(cliccato.count(), 3);
  EXPECT_EQ(giu.count(), 0);
}

TEST(Tastiera, ArrowsStepWithoutWrappingAndFocusRepaints) {
  auto tab = TreSchede();
  QSignalSpy premute(tab.get(), &xpVantelTab::TabPressed);
  for (const auto& [tasto, attesa] : {std::pair{Qt::Key_Left, 1},
                                      {Qt::Key_Up, 1},
                                      {Qt::Key_Right, 2},
                                      {Qt::Key_Down, 3},
                                      {Qt::Key_Right, 3},
                                      {Qt::Key_Left, 2},
                                      {Qt::Key_Home, 2}}) {
    QTest::keyClick(tab.get(), tasto, Qt::ShiftModifier);
    EXPECT_EQ(tab->SelectedTab(), attesa) << tasto;
  }
  EXPECT_EQ(premute.count(), 6);

  const auto prima = tab->PassiDisegno();
  QFocusEvent entra(QEvent::FocusIn);
  QApplication::sendEvent(tab.get(), &entra);
  EXPECT_TRUE(tab->FocusFlag());
  QFocusEvent esce(QEvent::FocusOut);
  QApplication::sendEvent(tab.get(), &esce);
  EXPECT_FALSE(tab->FocusFlag());
  EXPECT_EQ(tab->PassiDisegno() - prima, 2U);
  tab->resize(280, 90);
  EXPECT_EQ(tab->PassiDisegno() - prima, 3U);
}

TEST(TastiDiAccesso, AltWithTheCharacterSelectsItsTab) {
  auto tab = TreSchede();
  tab->SetTabCaption(1, "&Principale");
  ASSERT_EQ(tab->AccessKeys(), "pm");

  QTest::keyClick(tab.get(), Qt::Key_M, Qt::AltModifier);
  EXPECT_EQ(tab->SelectedTab(), 2);
  QTest::keyClick(tab.get(), Qt::Key_P, Qt::AltModifier);
  EXPECT_EQ(tab->SelectedTab(), 1);

  // Deleting a tab leaves its access key granted: it now finds no tab and
  // assigns 0, which the paint pass shows (and stores) as tab 1.
  tab->SetTabCaption(3, "&Dati");
  tab->SetSelectedTab(2);
  tab->DeleteTab();
  QSignalSpy premute(tab.get(), &xpVantelTab::TabPressed);
  QTest::keyClick(tab.get(), Qt::Key_D, Qt::AltModifier);
  EXPECT_EQ(premute.count(), 1);
  EXPECT_EQ(tab->SelectedTab(), 1);
}

}  // namespace
}  // namespace brisko
