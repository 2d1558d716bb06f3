// Balloons on a desktop without a notification area go to the desktop's
// notification service: a stand-in on a private session bus receives them.
#include <gmock/gmock.h>

#include <QTest>
#include <cstdlib>
#include <optional>

#include "tests/support/BusNotifiche.h"
#include "updater/NotifyIconCtrl.h"

namespace tervan {
namespace {

TEST(NotificaDesktop, WithoutANotificationAreaTheBalloonIsADesktopNotification) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // offscreen: no tray
  orvane::test::BusNotifiche bus;
  const char* prima = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::optional<std::string> indirizzoPrima =
      prima ? std::optional<std::string>(prima) : std::nullopt;
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.Indirizzo().c_str(), 1);

  NotifyIconCtrl tray{QIcon()};
  tray.Mostra();
  tray.MostraFumetto("L'aggiornamento verrà installato", "Aggiornamenti Orvane Software", 14500);
  for (int i = 0; i < 200 && bus.Ricevute().empty(); ++i)
    QTest::qWait(10);
  ASSERT_EQ(bus.Ricevute().size(), 1U);
  const orvane::test::Notifica& n = bus.Ricevute()[0];
  EXPECT_EQ(n.applicazione, "Tervan");
  EXPECT_EQ(n.titolo, "Aggiornamenti Orvane Software");
  EXPECT_EQ(n.testo, "L'aggiornamento verrà installato");
  EXPECT_EQ(n.durata, 14500);
  QDBusConnection::disconnectFromBus(QStringLiteral("tervan-notifiche"));
  if (indirizzoPrima) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", indirizzoPrima->c_str(), 1);
  } else {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
}

}  // namespace
}  // namespace tervan
