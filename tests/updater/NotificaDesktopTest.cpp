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

TEST(NotificaDesktop, BalloonsAreDesktopNotificationsAndARepeatedTextReplacesItsOwn) {
  ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());  // offscreen: no tray
  orvane::test::BusNotifiche bus;
  const char* prima = std::getenv("DBUS_SESSION_BUS_ADDRESS");
  const std::optional<std::string> indirizzoPrima =
      prima ? std::optional<std::string>(prima) : std::nullopt;
  ::setenv("DBUS_SESSION_BUS_ADDRESS", bus.Indirizzo().c_str(), 1);

  NotifyIconCtrl tray{QIcon()};
  tray.Mostra();
  // Each balloon once the previous one was answered, as a check cycle's
  // waits for the service let the answers in.
  const auto fumetto = [&](const std::string& testo, int durata) {
    const std::size_t ricevute = bus.Ricevute().size();
    tray.MostraFumetto(testo, "Aggiornamenti Orvane Software", durata);
    for (int i = 0; i < 200 && bus.Ricevute().size() == ricevute; ++i)
      QTest::qWait(10);
    QTest::qWait(50);
  };
  const std::string guasto = "Impossibile connettersi al server Orvane Software";
  fumetto("L'aggiornamento verrà installato", 14500);
  fumetto(guasto, 3000);
  fumetto(guasto, 3000);
  fumetto(guasto, 3000);
  ASSERT_EQ(bus.Ricevute().size(), 4U);
  const orvane::test::Notifica& n = bus.Ricevute()[0];
  EXPECT_EQ(n.applicazione, "Tervan");
  EXPECT_EQ(n.titolo, "Aggiornamenti Orvane Software");
  EXPECT_EQ(n.testo, "L'aggiornamento verrà installato");
  EXPECT_EQ(n.durata, 14500);
  EXPECT_EQ(n.icona, "orvane-tervan");
  EXPECT_EQ(n.voceDesktop, "orvane-tervan");
  // The failure told for every program shows once, replaced in place.
  EXPECT_EQ(bus.Ricevute()[1].sostituisce, 0U);
  EXPECT_EQ(bus.Ricevute()[2].sostituisce, 2U);
  EXPECT_EQ(bus.Ricevute()[3].sostituisce, 2U);
  QDBusConnection::disconnectFromBus(QStringLiteral("tervan-notifiche"));
  if (indirizzoPrima) {
    ::setenv("DBUS_SESSION_BUS_ADDRESS", indirizzoPrima->c_str(), 1);
  } else {
    ::unsetenv("DBUS_SESSION_BUS_ADDRESS");
  }
}

}  // namespace
}  // namespace tervan
