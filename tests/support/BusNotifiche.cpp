#include "tests/support/BusNotifiche.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusVirtualObject>
#include <chrono>
#include <mutex>
#include <stdexcept>

namespace orvane::test {

// org.freedesktop.Notifications, answering each Notify with a fresh id or
// the one it replaces.
class BusNotifiche::Servizio : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
    if (m.member() == QStringLiteral("GetCapabilities") && capacita) {
      (void)bus.send(m.createReply(QVariantList{*capacita}));
      return true;
    }
    if (m.member() != QStringLiteral("Notify") || m.arguments().size() != 8) return false;
    const QVariantList a = m.arguments();
    const QVariantMap suggerimenti = qdbus_cast<QVariantMap>(a[6]);
    const std::scoped_lock blocco(mutex);
    ricevute.push_back(
        {a[0].toString().toStdString(), a[3].toString().toStdString(),
         a[4].toString().toStdString(), a[7].toInt(), a[1].toUInt(), a[2].toString().toStdString(),
         suggerimenti.value(QStringLiteral("desktop-entry")).toString().toStdString()});
    const uint id = a[1].toUInt() != 0 ? a[1].toUInt() : ++ultimoId;
    (void)bus.send(m.createReply(QVariantList{id}));
    return true;
  }
  mutable std::mutex mutex;
  std::vector<Notifica> ricevute;
  uint ultimoId = 0;
  std::optional<QStringList> capacita;
};

BusNotifiche::BusNotifiche(std::optional<QStringList> capacita)
    : servizio_(std::make_unique<Servizio>()) {
  servizio_->capacita = std::move(capacita);
  demone_ = std::make_unique<Processo>(
      "/usr/bin/dbus-daemon",
      std::vector<std::string>{"--session", "--nofork", "--print-address=1"},
      std::map<std::string, std::string>{}, cartella_.Percorso());
  indirizzo_ = AttendiRiga(*demone_, cartella_ / "stdout", "", std::chrono::seconds(10));
  if (indirizzo_.empty()) throw std::runtime_error("dbus-daemon non si è avviato");
  nomeConnessione_ = QStringLiteral("notifiche-finte-%1").arg(demone_->Pid());
  QDBusConnection bus =
      QDBusConnection::connectToBus(QString::fromStdString(indirizzo_), nomeConnessione_);
  filo_ = std::make_unique<QThread>();
  servizio_->moveToThread(filo_.get());
  if (!bus.isConnected() ||
      !bus.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"),
                                 servizio_.get()) ||
      !bus.registerService(QStringLiteral("org.freedesktop.Notifications"))) {
    throw std::runtime_error("servizio di notifica non registrato");
  }
  filo_->start();
}

BusNotifiche::~BusNotifiche() {
  QDBusConnection::disconnectFromBus(nomeConnessione_);
  filo_->quit();
  filo_->wait();
}

std::vector<Notifica> BusNotifiche::Ricevute() const {
  const std::scoped_lock blocco(servizio_->mutex);
  return servizio_->ricevute;
}

}  // namespace orvane::test
