// The tab strip's pointer, keyboard, focus and access-key handling, with
// real Qt events on a shown control.
#include <gtest/gtest.h>

#include <QCursor>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>
#include <functional>
#include <tuple>
#include <vector>

#include "ProvaSchede.h"

namespace brisko {
namespace {

// Three tabs 60 pixels wide, tab 1 selected, painted on a shown control.
std::unique_ptr<xpVantelTab> TreSchede() {
  auto tab = test::StrisciaTervan();
  tab->SetTabWidth(1, 60);
  tab->AddTab(60, "Aggiorna&menti");
  tab->AddTab(60, "Dati");
  tab->show();
  tab->activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(tab.get()));
  tab->SetSelectedTab(1);
  return tab;
}

QPoint Centro(const RECT& r) {
  return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

// A mouse event as the window system delivers it: to the top-level window,
// which hands it to the widget under the point or to the one holding the
// pointer; or, as while a button is held, straight to `a`.
void Invia(QWidget& finestra, QEvent::Type tipo, QPointF punto, Qt::MouseButtons tenuti = {},
           QObject* a = nullptr) {
  QCursor::setPos(finestra.mapToGlobal(punto.toPoint()));
  const QPointF globale(finestra.mapToGlobal(punto));
  QMouseEvent evento(tipo, punto, punto, globale,
                     tipo == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, tenuti,
                     Qt::NoModifier);
  QApplication::sendEvent(a != nullptr ? a : finestra.windowHandle(), &evento);
}

TEST(Pressione, SelectsTheTabUnderItAndRaisesMouseDownAfterwards) {
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
  EXPECT_EQ(giu[0][1].value<std::int16_t>(), 1);  // Shift
  EXPECT_EQ(su.count(), 1);
  QTest::mouseClick(tab.get(), Qt::RightButton, {}, Centro(tab->TabRect(3)));
  EXPECT_EQ(selezioneAlMouseDown, 3);
  EXPECT_EQ(giu[1][0].value<std::int16_t>(), 2);
  EXPECT_EQ(su[1][0].value<std::int16_t>(), 2);  // the button released

  // The two body rows under the selected tab belong to its enlarged
  // rectangle; the row below them and the gap between two tabs select
  // nothing.
  const std::int32_t x = tab->TabRect(3).left + 10;
  premute.clear();
  for (const QPoint punto :
       {QPoint(x, 22), QPoint(x, 23), QPoint(x, 24), QPoint(tab->TabRect(1).right, 10)}) {
    QTest::mouseClick(tab.get(), Qt::LeftButton, {}, punto);
  }
  EXPECT_EQ(premute.count(), 2);
  EXPECT_EQ(giu.count(), 6);
  // x - 0.5 rounds to the even neighbour: inside tab 2 only when x is even.
  premute.clear();
  const double sinistra = tab->TabRect(2).left - 0.5;
  Invia(*tab, QEvent::MouseButtonPress, {sinistra, 10.0}, Qt::LeftButton);
  EXPECT_EQ(premute.count(), tab->TabRect(2).left % 2 == 0 ? 1 : 0);
}

TEST(Puntatore, RepaintsOncePerHotChangeAndLeavesWithOneMouseOut) {
  auto tab = TreSchede();
  QSignalSpy dentro(tab.get(), &xpVantelTab::MouseIn);
  QSignalSpy fuori(tab.get(), &xpVantelTab::MouseOut);
  // The hot tab and the paint passes after each move.
  std::vector<std::pair<int, unsigned>> visti;
  const std::vector<QPoint> punti{Centro(tab->TabRect(1)), Centro(tab->TabRect(1)) + QPoint(3, 0),
                                  Centro(tab->TabRect(2)), QPoint(100, 60),   // the body
                                  QPoint(110, 70),         QPoint(250, 10)};  // right of the tabs
  for (const QPoint punto : punti) {
    const auto prima = tab->PassiDisegno();
    Invia(*tab, QEvent::MouseMove, punto);
    visti.emplace_back(tab->HotTab(), tab->PassiDisegno() - prima);
  }
  EXPECT_EQ(visti, (std::vector<std::pair<int, unsigned>>{
                       {1, 1}, {1, 0}, {2, 1}, {0, 1}, {0, 0}, {0, 0}}));
  EXPECT_EQ(dentro.count(), 6);
  EXPECT_EQ(fuori.count(), 0);

  // Moves outside, as while a button is held: one MouseOut, one repaint.
  Invia(*tab, QEvent::MouseMove, Centro(tab->TabRect(3)));
  const auto prima = tab->PassiDisegno();
  Invia(*tab, QEvent::MouseMove, QPoint(400, 10), Qt::LeftButton, tab.get());
  Invia(*tab, QEvent::MouseMove, QPoint(410, 10), Qt::LeftButton, tab.get());
  EXPECT_EQ(fuori.count(), 1);
  EXPECT_EQ(tab->HotTab(), 0);
  EXPECT_EQ(tab->PassiDisegno() - prima, 1U);
  // Qt's leave event tells the same, once.
  Invia(*tab, QEvent::MouseMove, Centro(tab->TabRect(2)));
  QCursor::setPos(tab->mapToGlobal(QPoint(400, 10)));
  QEvent esce(QEvent::Leave);
  QApplication::sendEvent(tab.get(), &esce);
  QApplication::sendEvent(tab.get(), &esce);
  EXPECT_EQ(fuori.count(), 2);
  EXPECT_EQ(tab->HotTab(), 0);
  // So does the pointer going onto a widget the control holds in its body
  // (a host's page), which Qt tells only that widget.
  auto* pagina = new QWidget(tab.get());
  pagina->setGeometry(3, 25, 290, 70);
  pagina->show();
  Invia(*tab, QEvent::MouseMove, Centro(tab->TabRect(2)));
  ASSERT_EQ(tab->HotTab(), 2);
  QEnterEvent entra(QPointF(10, 10), QPointF(13, 35), QPointF(tab->mapToGlobal(QPoint(13, 35))));
  QApplication::sendEvent(pagina, &entra);
  QApplication::sendEvent(pagina, &entra);
  EXPECT_EQ(fuori.count(), 3);
  EXPECT_EQ(tab->HotTab(), 0);
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
  for (int volta = 0; volta < 2; ++volta) {
    Invia(finestra, QEvent::MouseMove, Centro(tab->TabRect(1)));
    ASSERT_EQ(tab->HotTab(), 1);
    EXPECT_EQ(QWidget::mouseGrabber(), nullptr);
    Invia(finestra, QEvent::MouseButtonPress, QPoint(360, 25), Qt::LeftButton);
    Invia(finestra, QEvent::MouseButtonRelease, QPoint(360, 25));
  }
  EXPECT_EQ(cliccato.count(), 2);
  EXPECT_EQ(giu.count(), 0);
}

TEST(Ospite, DeletesTheControlFromItsEvents) {
  // A host that rebuilds its window when the tab changes or the pointer
  // moves deletes the control from the handler.
  using Azione = std::function<void(xpVantelTab&)>;
  // Only the press: its release would go to a control that is gone.
  const Azione clic = [](xpVantelTab& t) {
    Invia(t, QEvent::MouseButtonPress, Centro(t.TabRect(2)), Qt::LeftButton);
  };
  const Azione freccia = [](xpVantelTab& t) {
    QKeyEvent tasto(QEvent::KeyPress, Qt::Key_Right, Qt::NoModifier);
    QApplication::sendEvent(&t, &tasto);
  };
  const Azione sopra = [](xpVantelTab& t) { Invia(t, QEvent::MouseMove, Centro(t.TabRect(2))); };
  const Azione esce = [](xpVantelTab& t) {
    Invia(t, QEvent::MouseMove, Centro(t.TabRect(2)));
    QEvent uscita(QEvent::Leave);
    QApplication::sendEvent(&t, &uscita);
  };
  const Azione entraInPagina = [](xpVantelTab& t) {
    Invia(t, QEvent::MouseMove, Centro(t.TabRect(2)));
    auto* pagina = new QWidget(&t);
    QEnterEvent entra(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(pagina, &entra);
  };
  const auto eliminando = [](auto segnale) {
    return [segnale](xpVantelTab* t) { QObject::connect(t, segnale, [t] { delete t; }); };
  };
  const std::vector<std::tuple<const char*, std::function<void(xpVantelTab*)>, Azione>> casi{
      {"TabPressed, clic", eliminando(&xpVantelTab::TabPressed), clic},
      {"TabPressed, freccia", eliminando(&xpVantelTab::TabPressed), freccia},
      {"PropertyChanged, clic", eliminando(&xpVantelTab::PropertyChanged), clic},
      {"MouseIn", eliminando(&xpVantelTab::MouseIn), sopra},
      {"MouseOut", eliminando(&xpVantelTab::MouseOut), esce},
      {"MouseOut, pagina", eliminando(&xpVantelTab::MouseOut), entraInPagina},
  };
  for (const auto& [nome, collega, azione] : casi) {
    QPointer<xpVantelTab> tab = TreSchede().release();
    collega(tab);
    azione(*tab);
    EXPECT_TRUE(tab.isNull()) << nome;
    delete tab;
  }
}

TEST(Tastiera, ArrowsStepWithoutWrappingAltSelectsByAccessKeyAndFocusRepaints) {
  auto tab = TreSchede();
  QSignalSpy premute(tab.get(), &xpVantelTab::TabPressed);
  std::vector<int> selezioni;
  for (const Qt::Key tasto : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Right,
                              Qt::Key_Left, Qt::Key_Home}) {
    QTest::keyClick(tab.get(), tasto, Qt::ShiftModifier);
    selezioni.push_back(tab->SelectedTab());
  }
  EXPECT_EQ(selezioni, (std::vector<int>{1, 1, 2, 3, 3, 2, 2}));
  EXPECT_EQ(premute.count(), 6);
  // On a strip without tabs the arrows do nothing, and a tab added later
  // paints.
  xpVantelTab vuoto;
  vuoto.resize(300, 100);
  for (const Qt::Key tasto : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Right}) {
    QTest::keyClick(&vuoto, tasto);
    EXPECT_EQ(vuoto.SelectedTab(), 0) << tasto;
  }
  EXPECT_EQ(test::NumeroErrore([&] { vuoto.AddTab(60, "Uno"); }), 0);
  EXPECT_EQ(vuoto.TabRect(1).top, 0);

  tab->SetTabCaption(1, "&Principale");
  QTest::keyClick(tab.get(), Qt::Key_P, Qt::AltModifier);
  EXPECT_EQ(tab->SelectedTab(), 1);
  QTest::keyClick(tab.get(), Qt::Key_M, Qt::AltModifier);
  EXPECT_EQ(tab->SelectedTab(), 2);
  // Deleting a tab leaves its access key granted: it now finds no tab and
  // assigns 0, which the paint pass shows (and stores) as tab 1.
  tab->SetTabCaption(3, "&Dati");
  tab->DeleteTab();
  premute.clear();
  QTest::keyClick(tab.get(), Qt::Key_D, Qt::AltModifier);
  EXPECT_EQ(premute.count(), 1);
  EXPECT_EQ(tab->SelectedTab(), 1);

  const auto prima = tab->PassiDisegno();
  QFocusEvent entra(QEvent::FocusIn);
  QApplication::sendEvent(tab.get(), &entra);
  EXPECT_TRUE(tab->FocusFlag());
  QFocusEvent esce(QEvent::FocusOut);
  QApplication::sendEvent(tab.get(), &esce);
  EXPECT_FALSE(tab->FocusFlag());
  tab->resize(280, 90);
  EXPECT_EQ(tab->PassiDisegno() - prima, 3U);
}

}  // namespace
}  // namespace brisko
