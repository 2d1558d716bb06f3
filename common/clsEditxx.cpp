#include "common/clsEditxx.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QPalette>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <string>
#include <string_view>

#include "common/FormatoValori.h"
#include "common/Routine.h"

namespace orvane {
namespace {

constexpr int kTastoEsc = 27;
constexpr int kTastoF1 = 112;
constexpr int kTastoF2 = 113;
constexpr int kTastoF12 = 123;
constexpr int kTastoPuntoTastierino = 110;

/// Light yellow of a field with the focus, RGB(255, 255, 192).
constexpr std::uint32_t kGialloChiaro = 0xC0FFFFU;

std::uint32_t ColoreOle(const QColor& c) {
  return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8U) |
         (static_cast<std::uint32_t>(c.blue()) << 16U);
}

QColor ColoreDaOle(std::uint32_t ole) {
  return {static_cast<int>(ole & 0xFFU), static_cast<int>((ole >> 8U) & 0xFFU),
          static_cast<int>((ole >> 16U) & 0xFFU)};
}

void ImpostaSfondo(QWidget& w, const QColor& colore) {
  QPalette p = w.palette();
  p.setColor(QPalette::Base, colore);
  w.setPalette(p);
}

/// Calls the form's routine of that name, when it has one.
void ChiamaRoutine(QWidget& frm, const char* nome) {
  const std::string firma = std::string(nome) + "()";
  if (frm.metaObject()->indexOfMethod(firma.c_str()) < 0) {
    return;
  }
  QMetaObject::invokeMethod(&frm, nome, Qt::DirectConnection);
}

/// Queues a key press and release for the widget, delivered after the
/// handler running now returns.
void AccodaTasto(QWidget& w, Qt::Key tasto, const QString& testo) {
  // The event queue takes ownership of posted events.
  QCoreApplication::postEvent(&w, new QKeyEvent(  // NOLINT(cppcoreguidelines-owning-memory)
                                      QEvent::KeyPress, tasto, Qt::NoModifier, testo));
  QCoreApplication::postEvent(&w, new QKeyEvent(  // NOLINT(cppcoreguidelines-owning-memory)
                                      QEvent::KeyRelease, tasto, Qt::NoModifier, testo));
}

/// The allowed-values rule of type "A": items each ended by "|", the value
/// one of them exactly; text after the last "|" is not an item.
bool ValoreAmmesso(std::string_view valori, std::string_view valore) {
  std::size_t inizio = 0;
  for (std::size_t fine = valori.find('|'); fine != std::string_view::npos;
       fine = valori.find('|', inizio)) {
    if (valori.substr(inizio, fine - inizio) == valore) {
      return true;
    }
    inizio = fine + 1;
  }
  return false;
}

std::string Sostituisci(std::string_view testo, char da, std::string_view con) {
  std::string out;
  for (const char c : testo) {
    if (c == da) {
      out += con;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

// NOLINTNEXTLINE(readability-convert-member-functions-to-static): called on the form's instance
void clsEditxx::DropDown_ComboBox(QComboBox& c) {
  Routine("clsEditxx", "DropDown_ComboBox", [&](int& linea) {
    linea = 10;
    c.showPopup();
  });
}

// NOLINTNEXTLINE(readability-convert-member-functions-to-static): called on the form's instance
void clsEditxx::Form_KeyDown(QWidget& frm, int& KeyCode, int /*Shift*/) {
  if (KeyCode == kTastoPuntoTastierino) {
    Tacitamente([&] {
      QWidget* attivo = frm.focusWidget();
      if (attivo == nullptr) {
        return;
      }
      if (attivo->property("Tag").toString() == QStringLiteral(".")) {
        return;
      }
      AccodaTasto(*attivo, Qt::Key_Backspace, {});
      AccodaTasto(*attivo, Qt::Key_Comma, QStringLiteral(","));
    });
    return;
  }
  std::string routine;
  if (KeyCode >= kTastoF1 && KeyCode <= kTastoF12 && KeyCode != kTastoF2) {
    routine = "Command_F" + std::to_string(KeyCode - kTastoF1 + 1) + "_Click";
  } else if (KeyCode == kTastoEsc) {
    routine = "Command_Esc_Click";
  } else {
    return;
  }
  Tacitamente([&] { ChiamaRoutine(frm, routine.c_str()); });
  KeyCode = 0;
}

void clsEditxx::Text_GotFocus(QLineEdit& t) {
  Tacitamente([&] {
    colore_ = ColoreOle(t.palette().color(QPalette::Base));
    coloreSalvato_ = true;
  });
  Tacitamente([&] { t.selectAll(); });
  Tacitamente([&] { ImpostaSfondo(t, ColoreDaOle(kGialloChiaro)); });
}

void clsEditxx::Text_LostFocus(QLineEdit& t) const {
  Routine("clsEditxx", "Text_LostFocus", [&](int& linea) {
    linea = 10;
    // Before any Text_GotFocus nothing was saved: the field gets the
    // application's background rather than black.
    const QColor colore =
        coloreSalvato_ ? ColoreDaOle(colore_) : QApplication::palette(&t).color(QPalette::Base);
    linea = 20;
    ImpostaSfondo(t, colore);
  });
}

// NOLINTNEXTLINE(readability-convert-member-functions-to-static): called on the form's instance
std::string clsEditxx::Validate(std::string& txt, const std::string& TipoXx,
                                const std::string& valori, const std::string& ucasex,
                                const std::string& defaul, const std::string& Fornum,
                                const std::string& CarattereRiempimento) {
  std::string r;
  Routine("clsEditxx", "Validate", [&](int& linea) {
    linea = 10;
    if (TipoXx == "N" || TipoXx == "D") {
      linea = 20;
      r = txt;
      if (TipoXx == "N" && !NumeroItaliano(txt)) {
        r = defaul;
      }
      if (TipoXx == "D") {
        linea = 30;
        txt = Sostituisci(txt, '/', "");
        const std::string d = txt.substr(0, 2) + "/" +
                              txt.substr(std::min<std::size_t>(2, txt.size()), 2) + "/" +
                              txt.substr(std::min<std::size_t>(4, txt.size()));
        r = d;
        if (!DataItaliana(d)) {
          r = defaul;
        }
      }
      linea = 40;
      if (!Fornum.empty()) {
        r = Formatta(r, Fornum);
      }
    } else if (TipoXx == "H") {
      linea = 50;
      r = Sostituisci(txt, '.', "");
      if (!NumeroItaliano(txt)) {
        r.clear();
        return;
      }
      linea = 60;
      std::string hh = r.substr(0, 2);
      std::string mm = r.substr(std::min<std::size_t>(2, r.size()));
      if (ValoreZero(mm)) {
        mm = "00";
      }
      if (ValoreZero(hh)) {
        hh = "00";
      }
      r = hh + "." + mm;
    } else if (TipoXx == "A") {
      linea = 70;
      r = ucasex == "S" ? Maiuscolo(txt) : txt;
      linea = 80;
      bool ammesso = valori.empty() || ValoreAmmesso(valori, r);
      linea = 90;
      r = Formatta(r, Fornum);
      if (!CarattereRiempimento.empty()) {
        r = Sostituisci(r, ' ', CarattereRiempimento);
      }
      if (r.empty()) {
        ammesso = false;
      }
      linea = 100;
      if (!ammesso) {
        r = defaul;
      }
    }
  });
  return r;
}

int CodiceTastoWindows(const QKeyEvent& e) {
  const int tasto = e.key();
  const bool tastierino = e.modifiers().testFlag(Qt::KeypadModifier);
  if (tasto >= Qt::Key_F1 && tasto <= Qt::Key_F24) {
    return kTastoF1 + (tasto - Qt::Key_F1);
  }
  if (tastierino) {
    if (tasto >= Qt::Key_0 && tasto <= Qt::Key_9) {
      return 96 + (tasto - Qt::Key_0);
    }
    switch (tasto) {
      case Qt::Key_Period:
      case Qt::Key_Comma:
        return kTastoPuntoTastierino;
      case Qt::Key_Asterisk:
        return 106;
      case Qt::Key_Plus:
        return 107;
      case Qt::Key_Minus:
        return 109;
      case Qt::Key_Slash:
        return 111;
      default:
        break;
    }
  }
  if ((tasto >= Qt::Key_A && tasto <= Qt::Key_Z) || (tasto >= Qt::Key_0 && tasto <= Qt::Key_9)) {
    return tasto;  // Qt and Windows share the ASCII codes here
  }
  switch (tasto) {
    case Qt::Key_Escape:
      return kTastoEsc;
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return 13;
    case Qt::Key_Backspace:
      return 8;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
      return 9;
    case Qt::Key_Space:
      return 32;
    case Qt::Key_PageUp:
      return 33;
    case Qt::Key_PageDown:
      return 34;
    case Qt::Key_End:
      return 35;
    case Qt::Key_Home:
      return 36;
    case Qt::Key_Left:
      return 37;
    case Qt::Key_Up:
      return 38;
    case Qt::Key_Right:
      return 39;
    case Qt::Key_Down:
      return 40;
    case Qt::Key_Insert:
      return 45;
    case Qt::Key_Delete:
      return 46;
    case Qt::Key_Shift:
      return 16;
    case Qt::Key_Control:
      return 17;
    case Qt::Key_Alt:
      return 18;
    case Qt::Key_Pause:
      return 19;
    case Qt::Key_CapsLock:
      return 20;
    case Qt::Key_Plus:
      return 187;
    case Qt::Key_Comma:
      return 188;
    case Qt::Key_Minus:
      return 189;
    case Qt::Key_Period:
      return 190;
    default:
      return 0;
  }
}

}  // namespace orvane
