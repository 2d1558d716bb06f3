// The tab strip's pointer, keyboard and focus handling: a press selects the
// tab under it, the arrow keys step through the tabs, Alt with an access
// character selects its tab, and the tab under the pointer is hot.
#include <QChildEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMouseEvent>
#include <QPointer>
#include <QShortcutEvent>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "brisko/ErroreControllo.h"
#include "brisko/xpVantelTab.h"
#include "mXPVantel.h"

namespace brisko {
namespace {

// The four values every pointer event reports: the button (1 left, 2 right,
// 4 middle; while moving, the buttons held), the modifiers (1 Shift,
// 2 Ctrl, 4 Alt) and the position in pixels.
struct ValoriPuntatore {
  std::int16_t Button = 0;
  std::int16_t Shift = 0;
  float X = 0;
  float Y = 0;
  std::int32_t x = 0;  // X and Y rounded, halves to the even neighbour
  std::int32_t y = 0;
};

std::int16_t Pulsanti(Qt::MouseButtons pulsanti) {
  std::int16_t valore = 0;
  if (pulsanti & Qt::LeftButton) valore |= 1;
  if (pulsanti & Qt::RightButton) valore |= 2;
  if (pulsanti & Qt::MiddleButton) valore |= 4;
  return valore;
}

std::int16_t Modificatori(Qt::KeyboardModifiers modificatori) {
  std::int16_t valore = 0;
  if (modificatori & Qt::ShiftModifier) valore |= 1;
  if (modificatori & Qt::ControlModifier) valore |= 2;
  if (modificatori & Qt::AltModifier) valore |= 4;
  return valore;
}

// A pixel coordinate as a whole number; a point far outside the 32-bit
// range lies in no rectangle.
std::int32_t Intero(float valore) {
  const double arrotondato = std::nearbyint(static_cast<double>(valore));
  if (!(arrotondato > -2147483648.0 && arrotondato < 2147483647.0)) {
    return std::numeric_limits<std::int32_t>::min();
  }
  return static_cast<std::int32_t>(arrotondato);
}

ValoriPuntatore Valori(const QMouseEvent& evento, bool premuti) {
  ValoriPuntatore v;
  v.Button = Pulsanti(premuti ? evento.buttons() : Qt::MouseButtons(evento.button()));
  v.Shift = Modificatori(evento.modifiers());
  v.X = static_cast<float>(evento.position().x());
  v.Y = static_cast<float>(evento.position().y());
  v.x = Intero(v.X);
  v.y = Intero(v.Y);
  return v;
}

// A failure of a setter or of the paint pass inside an event handler has
// no caller to reach: Qt's event dispatch cannot carry exceptions. It is
// reported on the log and the event ends there.
template <class Azione>
void Gestisci(const char* evento, Azione&& azione) {
  try {
    azione();
  } catch (const ErroreControllo& e) {
    qWarning("xpVantelTab: %s: %s (errore %ld)", evento, e.what(), e.Numero());
  }
}

}  // namespace

void xpVantelTab::mousePressEvent(QMouseEvent* evento) {
  const ValoriPuntatore v = Valori(*evento, false);
  evento->accept();
  // The handlers of the events raised here may delete the control.
  const QPointer<xpVantelTab> vivo(this);
  Gestisci("pressione", [&] {
    // Every tab is tested, without stopping at the first hit; the tab
    // rectangles do not overlap.
    for (std::int32_t i = 1; vivo && i <= numberOfTabs_; ++i) {
      if (static_cast<std::size_t>(i) <= tabRects_.size() &&
          mXPVantel::PtInRect(tabRects_[static_cast<std::size_t>(i) - 1], v.x, v.y)) {
        SetSelectedTab(i);
      }
    }
  });
  if (vivo) emit MouseDown(v.Button, v.Shift, v.X, v.Y);
}

void xpVantelTab::mouseReleaseEvent(QMouseEvent* evento) {
  const ValoriPuntatore v = Valori(*evento, false);
  evento->accept();
  emit MouseUp(v.Button, v.Shift, v.X, v.Y);
}

void xpVantelTab::mouseMoveEvent(QMouseEvent* evento) {
  const ValoriPuntatore v = Valori(*evento, true);
  evento->accept();
  // The control never grabs the pointer: a grab would also take the next
  // click after the pointer jumped elsewhere. Qt's leave event tells when
  // the pointer goes; a move still arrives outside while a button is held.
  if (!mXPVantel::IsPointerOverWindow(this)) {
    if (puntatoreDentro_) {
      PuntatoreUscito(v.Button, v.Shift, v.X, v.Y);
    }
    return;
  }
  puntatoreDentro_ = true;
  const QPointer<xpVantelTab> vivo(this);
  Gestisci("movimento", [&] {
    emit MouseIn(v.Button, v.Shift, v.X, v.Y);
    if (!vivo) return;
    if (mXPVantel::PtInRect(bodyRect_, v.x, v.y)) {
      hotTab_ = 0;
      if (!bodyHover_) {
        DrawTab();
        bodyHover_ = true;
        return;
      }
    }
    bool cambiata = false;
    for (std::int32_t i = 1; i <= numberOfTabs_; ++i) {
      if (static_cast<std::size_t>(i) <= tabRects_.size() &&
          mXPVantel::PtInRect(tabRects_[static_cast<std::size_t>(i) - 1], v.x, v.y) &&
          i != hotTab_) {
        bodyHover_ = false;
        hotTab_ = i;
        cambiata = true;
      }
    }
    if (cambiata) {
      DrawTab();
    }
  });
}

void xpVantelTab::PuntatoreUscito(std::int16_t Button, std::int16_t Shift, float X, float Y) {
  puntatoreDentro_ = false;
  const QPointer<xpVantelTab> vivo(this);
  Gestisci("uscita", [&] {
    emit MouseOut(Button, Shift, X, Y);
    if (!vivo) return;
    hotTab_ = 0;
    DrawTab();
  });
}

void xpVantelTab::keyPressEvent(QKeyEvent* evento) {
  const int tasto = evento->key();
  const bool indietro = tasto == Qt::Key_Left || tasto == Qt::Key_Up;
  const bool avanti = tasto == Qt::Key_Right || tasto == Qt::Key_Down;
  if (!indietro && !avanti) {
    QWidget::keyPressEvent(evento);
    return;
  }
  evento->accept();
  if (numberOfTabs_ < 1) {
    // Nothing to step to: a selection below 1 would make every later paint
    // fail.
    return;
  }
  Gestisci("tasto", [&] {
    // No wrap-around: at either end the same tab is assigned again. The
    // step never leaves the list, whatever selection it starts from.
    const std::int64_t passo = static_cast<std::int64_t>(selectedTab_) + (indietro ? -1 : 1);
    SetSelectedTab(static_cast<std::int32_t>(std::clamp<std::int64_t>(passo, 1, numberOfTabs_)));
  });
}

void xpVantelTab::focusInEvent(QFocusEvent* evento) {
  QWidget::focusInEvent(evento);
  Gestisci("fuoco", [&] { ImpostaFocusFlag(true); });
}

void xpVantelTab::focusOutEvent(QFocusEvent* evento) {
  QWidget::focusOutEvent(evento);
  Gestisci("fuoco", [&] { ImpostaFocusFlag(false); });
}

bool xpVantelTab::event(QEvent* evento) {
  if (evento->type() == QEvent::Leave) {
    if (puntatoreDentro_) {
      const QPointer<xpVantelTab> vivo(this);
      const QPointF punto = mapFromGlobal(QPointF(QCursor::pos()));
      PuntatoreUscito(Pulsanti(QGuiApplication::mouseButtons()),
                      Modificatori(QGuiApplication::keyboardModifiers()),
                      static_cast<float>(punto.x()), static_cast<float>(punto.y()));
      if (!vivo) return true;
    }
    return QWidget::event(evento);
  }
  if (evento->type() == QEvent::ChildAdded || evento->type() == QEvent::ChildRemoved) {
    // The widgets the control holds (a host's page in its body) are watched
    // for the pointer entering them: Qt tells the control nothing then.
    QObject* figlio = static_cast<QChildEvent*>(evento)->child();
    if (figlio->isWidgetType()) {
      if (evento->type() == QEvent::ChildAdded) {
        figlio->installEventFilter(this);
      } else {
        figlio->removeEventFilter(this);
      }
    }
    return QWidget::event(evento);
  }
  if (evento->type() != QEvent::Shortcut) {
    return QWidget::event(evento);
  }
  const auto* scorciatoia = static_cast<QShortcutEvent*>(evento);
  for (const auto& [id, codice] : scorciatoie_) {
    if (id == scorciatoia->shortcutId()) {
      // A key no tab claims any more gives 0, which is assigned too (the
      // paint pass shows tab 1).
      const std::int16_t tasto = codice;
      Gestisci("tasto di accesso", [&] { SetSelectedTab(GetTabAccessKey(tasto)); });
      return true;
    }
  }
  return QWidget::event(evento);
}

bool xpVantelTab::eventFilter(QObject* oggetto, QEvent* evento) {
  // A widget the control holds is not the control: the pointer on it has
  // left the control, as when it leaves the control's window.
  if (evento->type() == QEvent::Enter && puntatoreDentro_ && oggetto->parent() == this) {
    const QPointer<xpVantelTab> vivo(this);
    const QPointF punto = mapFromGlobal(QPointF(QCursor::pos()));
    PuntatoreUscito(Pulsanti(QGuiApplication::mouseButtons()),
                    Modificatori(QGuiApplication::keyboardModifiers()),
                    static_cast<float>(punto.x()), static_cast<float>(punto.y()));
    // A handler of MouseOut may have deleted the control, and the widget
    // with it: the event then goes no further.
    return !vivo;
  }
  return QWidget::eventFilter(oggetto, evento);
}

void xpVantelTab::RegistraTastiDiAccesso() {
  for (const auto& [id, codice] : scorciatoie_) {
    releaseShortcut(id);
  }
  scorciatoie_.clear();
  for (const QChar carattere : accessKeys_) {
    const auto codice = static_cast<std::int16_t>(carattere.unicode());
    bool gia = false;
    for (const auto& voce : scorciatoie_) {
      gia = gia || voce.second == codice;
    }
    // Qt names a letter key by its upper-case form; the character code the
    // control is given stays the lower-case one of the access-key string.
    const auto tasto = static_cast<Qt::Key>(carattere.toUpper().unicode());
    if (gia || carattere.isSurrogate()) {
      continue;
    }
    const int id = grabShortcut(QKeySequence(QKeyCombination(Qt::AltModifier, tasto)));
    scorciatoie_.emplace_back(id, codice);
  }
}

}  // namespace brisko
