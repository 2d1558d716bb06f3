#include "tests/support/MessaggiRegistrati.h"

namespace orvane::test {

MessaggiRegistrati::MessaggiRegistrati() {
  platform::ImpostaPortaMessaggi(Porta());
}

MessaggiRegistrati::~MessaggiRegistrati() {
  platform::ImpostaPortaMessaggi({});
}

platform::PortaMessaggi MessaggiRegistrati::Porta() {
  return [this](const platform::Messaggio& m) { return Mostra(m); };
}

void MessaggiRegistrati::Rispondi(int risposta) {
  const std::scoped_lock lock(mutex_);
  risposte_.push_back(risposta);
}

std::vector<platform::Messaggio> MessaggiRegistrati::Messaggi() const {
  const std::scoped_lock lock(mutex_);
  return messaggi_;
}

int MessaggiRegistrati::Mostra(const platform::Messaggio& m) {
  const std::scoped_lock lock(mutex_);
  messaggi_.push_back(m);
  if (risposte_.empty()) return platform::RispostaPredefinita(m.stile);
  const int risposta = risposte_.front();
  risposte_.pop_front();
  return risposta;
}

}  // namespace orvane::test
