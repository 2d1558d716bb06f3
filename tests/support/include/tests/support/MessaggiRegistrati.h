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
  MessaggiRegistrati() { platform::ImpostaPortaMessaggi(Porta()); }
  ~MessaggiRegistrati() { platform::ImpostaPortaMessaggi({}); }
  MessaggiRegistrati(const MessaggiRegistrati&) = delete;
  MessaggiRegistrati& operator=(const MessaggiRegistrati&) = delete;

  /// The answer for the next message not yet answered.
  void Rispondi(int risposta) {
    const std::scoped_lock lock(mutex_);
    risposte_.push_back(risposta);
  }
  [[nodiscard]] std::vector<platform::Messaggio> Messaggi() const {
    const std::scoped_lock lock(mutex_);
    return messaggi_;
  }
  /// The function to hand to another module's host hook.
  [[nodiscard]] platform::PortaMessaggi Porta() {
    return [this](const platform::Messaggio& m) {
      const std::scoped_lock lock(mutex_);
      messaggi_.push_back(m);
      if (risposte_.empty()) return platform::RispostaPredefinita(m.stile);
      const int risposta = risposte_.front();
      risposte_.pop_front();
      return risposta;
    };
  }

 private:
  mutable std::mutex mutex_;
  std::vector<platform::Messaggio> messaggi_;
  std::deque<int> risposte_;
};

}  // namespace orvane::test
