#include "updater/NotifyIconCtrl.h"

#include <cstdio>
#include <utility>

namespace tervan {

NotifyIconCtrl::NotifyIconCtrl(const QIcon& icona, QObject* padre) : QObject(padre), icona_(icona) {
  setObjectName("NotifyIconCtrl1");
  icona_.setToolTip(QStringLiteral("Aggiornamenti automatici - Orvane Software"));
  // A press of the left button reports button 1; the context request (right
  // button) reports button 2, and the window opens its menu where the mouse is.
  connect(&icona_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
    if (r == QSystemTrayIcon::Trigger || r == QSystemTrayIcon::DoubleClick) emit MouseDown(1);
    if (r == QSystemTrayIcon::Context) emit MouseDown(2);
  });
}

void NotifyIconCtrl::Mostra() {
  icona_.show();
}

void NotifyIconCtrl::ImpostaFumetto(int icona, std::string testo, std::string titolo) {
  iconaFumetto_ = icona;
  testo_ = std::move(testo);
  titolo_ = std::move(titolo);
}

void NotifyIconCtrl::MostraFumetto(const std::string& Testo, const std::string& Titolo,
                                   int Durata) {
  testo_ = Testo;
  titolo_ = Titolo;
  fumetti_.push_back({Testo, Titolo, Durata});
  while (fumetti_.size() > kFumettiRicordati)
    fumetti_.pop_front();
  if (QSystemTrayIcon::isSystemTrayAvailable() && icona_.isVisible()) {
    const auto icona = iconaFumetto_ == 2   ? QSystemTrayIcon::Warning
                       : iconaFumetto_ == 3 ? QSystemTrayIcon::Critical
                                            : QSystemTrayIcon::Information;
    icona_.showMessage(QString::fromStdString(Titolo), QString::fromStdString(Testo), icona,
                       Durata);
  } else {
    std::fprintf(stderr, "Tervan: [%s] %s\n", Titolo.c_str(), Testo.c_str());
  }
}

}  // namespace tervan
