#pragma once

#include <deque>
#include <mutex>
#include <vector>

#include "platform/Messaggi.h"

namespace orvane::test {

/// Installs itself as the message box of this module for its lifetime:
/// records every message and answers with the scripted answers in order,
/// then with each dialog's default button.
class MessaggiRegistrati {
 public:
  MessaggiRegistrati();
  ~MessaggiRegistrati();
  MessaggiRegistrati(const MessaggiRegistrati&) = delete;
  MessaggiRegistrati& operator=(const MessaggiRegistrati&) = delete;

  /// The answer for the next message not yet answered.
  void Rispondi(int risposta);
  [[nodiscard]] std::vector<platform::Messaggio> Messaggi() const;
  /// The function to hand to another module's host hook.
  [[nodiscard]] platform::PortaMessaggi Porta();

 private:
  int Mostra(const platform::Messaggio& m);

  mutable std::mutex mutex_;
  std::vector<platform::Messaggio> messaggi_;
  std::deque<int> risposte_;
};

}  // namespace orvane::test
