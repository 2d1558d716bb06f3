// Balloons on a desktop without a notification area go to the desktop's
// notification service: a stand-in on a private session bus receives them.
#include <gmock/gmock.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVirtualObject>
#include <QTest>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"
#include "updater/NotifyIconCtrl.h"

namespace tervan {
namespace {

// org.freedesktop.Notifications as a desktop offers it, recording each Notify.
class NotificheFinte : public QDBusVirtualObject {
 public:
  QString introspect(const QString&) const override { return {}; }
  bool handleMessage(const QDBusMessage& m, const QDBusConnection& bus) override {
    if (m.member() != QStringLiteral("Notify")) return false;
    ricevute.push_back(m.arguments());
    (void)bus.send(m.createReply(QVariantList{static_cast<uint>(ricevute.size())}));
    return true;
  }
  std::vector<QVariantList> ricevute;
};

TEST(NotificaDesktop, WithoutANotificationAreaTheBalloonIsADesktopNotification) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // offscreen: no tray
  orvane::test::CartellaTemporanea cartella;
  orvane::test::Processo demone(
      "/usr/bin/dbus-daemon",
      std::vector<std::string>{"--session", "--nofork", "--print-address=1"},
      std::map<std::string, std::string>{}, cartella.Percorso());
  std::string indirizzo;
  for (int i = 0; i < 400 && indirizzo.empty(); ++i) {
    const std::string uscita = orvane::test::LeggiFile(cartella / "stdout");
    if (uscita.find('\n') != std::string::npos) indirizzo = uscita.substr(0, uscita.find('\n'));
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_FALSE(indirizzo.empty());
  const char* prima = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::optional<std::string> indirizzoPrima =
      prima ? std::optional<std::string>(prima) : std::nullopt;
  ::setenv("DBUS_SESSION_BUS_ADDRESS", indirizzo.c_str(), 1);

  QDBusConnection servizio =
      QDBusConnection::connectToBus(QString::fromStdString(indirizzo), QStringLiteral("finto"));
  ASSERT_TRUE(servizio.isConnected());
  NotificheFinte notifiche;
  ASSERT_TRUE(
      servizio.registerVirtualObject(QStringLiteral("/org/freedesktop/Notifications"), &notifiche));
  ASSERT_TRUE(servizio.registerService(QStringLiteral("org.freedesktop.Notifications")));

  NotifyIconCtrl tray{QIcon()};
  tray.Mostra();
  tray.MostraFumetto("L'aggiornamento verrà installato", "Aggiornamenti Orvane Software", 14500);
  for (int i = 0; i < 200 && notifiche.ricevute.empty(); ++i)
    QTest::qWait(10);
  ASSERT_EQ(notifiche.ricevute.size(), 1U);
  const QVariantList& a = notifiche.ricevute[0];
  ASSERT_EQ(a.size(), 8);
  EXPECT_EQ(a[0].toString(), QStringLiteral("Tervan"));
  EXPECT_EQ(a[3].toString(), QStringLiteral("Aggiornamenti Orvane Software"));
  EXPECT_EQ(a[4].toString(), QString::fromUtf8("L'aggiornamento verrà installato"));
  EXPECT_EQ(a[7].toInt(), 14500);
  QDBusConnection::disconnectFromBus(QStringLiteral("finto"));
  QDBusConnection::disconnectFromBus(QStringLiteral("tervan-notifiche"));
  if (indirizzoPrima) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", indirizzoPrima->c_str(), 1);
  } else {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
}

}  // namespace
}  // namespace tervan
