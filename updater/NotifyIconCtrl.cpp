#include "updater/NotifyIconCtrl.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>
#include <chrono>
#include <cstdio>
#include <utility>

#include "platform/TestoUtf8.h"
#include "updater/BusSessione.h"

namespace tervan {
namespace {

// How long a balloon waits for the session bus or the notification service
// to answer a question.
constexpr std::chrono::milliseconds kAttesaServizio{500};

}  // namespace

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

void NotifyIconCtrl::MostraFumetto(const std::string& TestoDato, const std::string& Titolo,
                                   int Durata) {
  // A balloon shows a few lines; the text may be what the network sent.
  const std::string Testo = platform::TestoAccorciato(TestoDato, 1000);
  testo_ = Testo;
  titolo_ = Titolo;
  fumetti_.push_back({Testo, Titolo, Durata});
  while (fumetti_.size() > kFumettiRicordati)
    fumetti_.pop_front();
  const bool area = QSystemTrayIcon::isSystemTrayAvailable() && icona_.isVisible();
  if (!area) {
    // One line of the session's journal for each balloon, whatever the
    // network put in its text: its line breaks become blanks and its other
    // control characters \xHH, so it cannot forge lines of Tervan's own or
    // send escape sequences to a terminal.
    std::string riga;
    for (std::size_t i = 0; i < Testo.size(); ++i) {
      const bool crlf = Testo[i] == '\r' && i + 1 < Testo.size() && Testo[i + 1] == '\n';
      riga += Testo[i] == '\r' || Testo[i] == '\n' ? ' ' : Testo[i];
      if (crlf) ++i;
    }
    std::fprintf(stderr, "Tervan: [%s] %s\n", Titolo.c_str(),
                 platform::ControlliVisibili(riga).c_str());
  }
  if (NotificaDesktop(Titolo, Testo, Durata) || !area) return;
  const auto icona = iconaFumetto_ == 2   ? QSystemTrayIcon::Warning
                     : iconaFumetto_ == 3 ? QSystemTrayIcon::Critical
                                          : QSystemTrayIcon::Information;
  icona_.showMessage(QString::fromStdString(Titolo), QString::fromStdString(Testo), icona, Durata);
}

bool NotifyIconCtrl::NotificaDesktop(const std::string& Titolo, const std::string& Testo,
                                     int Durata) {
  // Nothing waits for the service: a desktop without one loses nothing
  // but the popup (the icon or standard error says it).
  const QString nome = QStringLiteral("tervan-notifiche");
  const QString servizio = QStringLiteral("org.freedesktop.Notifications");
  const QString percorso = QStringLiteral("/org/freedesktop/Notifications");
  QDBusConnection bus(nome);
  if (!bus.isConnected()) {
    // Only a session bus the session announces: never one launched for us.
    const QByteArray indirizzo = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    if (indirizzo.isEmpty() || indirizzo.startsWith("autolaunch:")) return false;
    // A bus daemon that hung after the start would hold the connection,
    // and the whole program with it, for ever.
    if (BusMuto(indirizzo.toStdString(), kAttesaServizio)) return false;
    QDBusConnection::disconnectFromBus(nome);
    bus = QDBusConnection::connectToBus(QString::fromUtf8(indirizzo), nome);
    if (!bus.isConnected()) return false;
    marcatura_.reset();
  }
  QDBusConnectionInterface* guida = bus.interface();
  // Nor may a bus daemon that hangs once connected hold a balloon long.
  if (guida != nullptr) guida->setTimeout(static_cast<int>(kAttesaServizio.count()));
  if (guida == nullptr || (!guida->isServiceRegistered(servizio).value() &&
                           !guida->activatableServiceNames().value().contains(servizio)))
    return false;

  if (!marcatura_) {
    // A service that reads markup would read it in texts that come from
    // the network too: those are escaped for it. One that has not said
    // what it reads (slow, still starting, or failing the question) may
    // read markup: the text is escaped, and the service asked again next
    // time. Links and pictures are markup too: a service that shows them
    // (body-hyperlinks, body-images) reads <a href> and <img> whether or
    // not it also says body-markup.
    const QDBusMessage risposta =
        bus.call(QDBusMessage::createMethodCall(servizio, percorso, servizio,
                                                QStringLiteral("GetCapabilities")),
                 QDBus::Block, static_cast<int>(kAttesaServizio.count()));
    if (risposta.type() == QDBusMessage::ReplyMessage && !risposta.arguments().isEmpty()) {
      const QStringList capacita = risposta.arguments().at(0).toStringList();
      marcatura_ = capacita.contains(QStringLiteral("body-markup")) ||
                   capacita.contains(QStringLiteral("body-hyperlinks")) ||
                   capacita.contains(QStringLiteral("body-images"));
    }
  }

  const std::string chiave = Titolo + '\n' + Testo;
  unsigned sostituisce = 0;
  if (const auto voce = notifiche_.find(chiave); voce != notifiche_.end()) {
    // The same text is on its way to the screen already.
    if (!voce->second) return true;
    sostituisce = *voce->second;
  }
  QString testo = QString::fromStdString(Testo);
  if (marcatura_.value_or(true)) testo = testo.toHtmlEscaped();
  QVariantMap suggerimenti;
  suggerimenti.insert(QStringLiteral("desktop-entry"), QString::fromLatin1(kVoceDesktop));
  QDBusMessage messaggio =
      QDBusMessage::createMethodCall(servizio, percorso, servizio, QStringLiteral("Notify"));
  messaggio << QStringLiteral("Tervan") << sostituisce << QString::fromLatin1(kVoceDesktop)
            << QString::fromStdString(Titolo) << testo << QStringList() << suggerimenti << Durata;
  if (notifiche_.size() >= kFumettiRicordati) notifiche_.clear();
  notifiche_[chiave] = std::nullopt;
  auto* attesa = new QDBusPendingCallWatcher(bus.asyncCall(messaggio), this);
  connect(attesa, &QDBusPendingCallWatcher::finished, this,
          [this, chiave](QDBusPendingCallWatcher* w) {
            const QDBusPendingReply<unsigned> risposta = *w;
            // Without an id the next one of the same text is a new notification.
            if (risposta.isValid()) {
              notifiche_[chiave] = risposta.value();
            } else {
              notifiche_.erase(chiave);
            }
            w->deleteLater();
          });
  return true;
}

}  // namespace tervan
