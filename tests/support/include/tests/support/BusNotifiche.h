#pragma once

#include <QDBusConnection>
#include <QStringList>
#include <QThread>
#include <QVariantList>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/CartellaTemporanea.h"
#include "tests/support/Processo.h"

namespace orvane::test {

/// One desktop notification as the stand-in received it.
struct Notifica {
  std::string applicazione;
  std::string titolo;
  std::string testo;
  int durata = 0;
  unsigned sostituisce = 0;  // replaces_id
  std::string icona;
  std::string voceDesktop;  // the desktop-entry hint
};

/// A private D-Bus session bus (a dbus-daemon of its own) on which the test
/// process offers org.freedesktop.Notifications, as a desktop does, and
/// records every Notify, answering each with the next id (1, 2, ...), or
/// with the id it replaces. The calls are answered on a thread of the
/// stand-in's own, so a caller that blocks on a question still gets its answer.
/// Given `capacita`, it answers GetCapabilities with them; otherwise it
/// leaves that question unanswered.
class BusNotifiche {
 public:
  explicit BusNotifiche(std::optional<QStringList> capacita = std::nullopt);
  ~BusNotifiche();
  BusNotifiche(const BusNotifiche&) = delete;
  BusNotifiche& operator=(const BusNotifiche&) = delete;

  /// The bus address, as DBUS_SESSION_BUS_ADDRESS takes it.
  [[nodiscard]] const std::string& Indirizzo() const noexcept { return indirizzo_; }
  [[nodiscard]] std::vector<Notifica> Ricevute() const;

 private:
  class Servizio;
  CartellaTemporanea cartella_;
  std::unique_ptr<Processo> demone_;
  std::string indirizzo_;
  QString nomeConnessione_;
  std::unique_ptr<Servizio> servizio_;
  std::unique_ptr<QThread> filo_;
};

}  // namespace orvane::test
