#include "tests/support/BusNotifiche.h"

#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace orvane::test {

// org.freedesktop.Notifications, answering each Notify with a fresh id.
class BusNotifiche::Servizio : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
    if (m.member() != QStringLiteral("Notify") || m.arguments().size() != 8) return false;
    const QVariantList a = m.arguments();
    ricevute.push_back({a[0].toString().toStdString(), a[3].toString().toStdString(),
                        a[4].toString().toStdString(), a[7].toInt()});
    (void)bus.send(m.createReply(QVariantList{static_cast<uint>(ricevute.size())}));
    return true;
  }
  std::vector<Notifica> ricevute;
};

BusNotifiche::BusNotifiche() : servizio_(std::make_unique<Servizio>()) {
  demone_ = std::make_unique<Processo>(
      "/usr/bin/dbus-daemon",
      std::vector<std::string>{"--session", "--nofork", "--print-address=1"},
      std::map<std::string, std::string>{}, cartella_.Percorso());
  for (int i = 0; i < 1000 && indirizzo_.empty() && demone_->InEsecuzione(); ++i) {
    const std::string uscita = LeggiFile(cartella_ / "stdout");
    if (uscita.find('\n') != std::string::npos) {
      indirizzo_ = uscita.substr(0, uscita.find('\n'));
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  if (indirizzo_.empty()) throw std::runtime_error("dbus-daemon non si è avviato");
  nomeConnessione_ = QStringLiteral("notifiche-finte-%1").arg(demone_->Pid());
  QDBusConnection bus =
      QDBusConnection::connectToBus(QString::fromStdString(indirizzo_), nomeConnessione_);
  if (!bus.isConnected() ||
      !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"),
                                 servizio_.get()) ||
      !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
    throw std::runtime_error("servizio di notifica non registrato");
  }
}

BusNotifiche::~BusNotifiche() {
  QDBusConnection::disconnectFromBus(nomeConnessione_);
}

const std::vector<Notifica>& BusNotifiche::Ricevute() const {
  return servizio_->ricevute;
}

}  // namespace orvane::test
