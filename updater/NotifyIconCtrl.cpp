#include "updater/NotifyIconCtrl.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>
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
    NotificaDesktop(Titolo, Testo, Durata);
  }
}

void NotifyIconCtrl::NotificaDesktop(const std::string& Titolo, const std::string& Testo,
                                     int Durata) {
  // Without a notification area the desktop's notification service says
  // it; nothing waits for its answer, and a desktop without one loses
  // nothing but the popup (the text went to standard error).
  const QString nome = QStringLiteral("tervan-notifiche");
  QDBusConnection bus(nome);
  if (!bus.isConnected()) {
    // Only a session bus the session announces: never one launched for us.
    const QByteArray indirizzo = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (indirizzo.isEmpty() || indirizzo.startsWith("autolaunch:")) return;
    QDBusConnection::disconnectFromBus(nome);
    bus = QDBusConnection::connectToBus(QString::fromUtf8(indirizzo), nome);
    if (!bus.isConnected()) return;
  }
  QDBusMessage messaggio = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"),
      QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  messaggio << QStringLiteral("Tervan") << 0U << QStringLiteral("system-software-update")
            << QString::fromStdString(Titolo) << QString::fromStdString(Testo) << QStringList()
            << QVariantMap() << Durata;
  (void)bus.send(messaggio);
}

}  // namespace tervan
