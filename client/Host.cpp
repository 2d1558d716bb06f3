#include "quomaro/Host.h"

#include <utility>

#include "platform/PompaMessaggi.h"
#include "platform/RigaDiComando.h"

namespace quomaro {

void ImpostaPortaMessaggi(platform::PortaMessaggi porta) {
  platform::ImpostaPortaMessaggi(std::move(porta));
}

void ImpostaPompaMessaggi(std::function<void()> pompa) {
  platform::ImpostaPompaMessaggi(std::move(pompa));
}

void ImpostaOrologio(std::function<platform::Istante()> orologio) {
  platform::ImpostaOrologio(std::move(orologio));
}

void SostituisciRigaDiComando(std::optional<std::string> testo) {
  platform::SostituisciRigaDiComando(std::move(testo));
}

}  // namespace quomaro
