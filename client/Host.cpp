#include "quomaro/Host.h"

#include <utility>

#include "FineRichiesta.h"
#include "platform/PompaMessaggi.h"
#include "platform/RigaDiComando.h"

namespace quomaro {
namespace {

std::function<bool()>& Finita() {
  static std::function<bool()> finita;
  return finita;
}

}  // namespace

bool FineRichiesta() {
  const auto& finita = Finita();
  return finita && finita();
}

void ImpostaFineRichiesta(std::function<bool()> finita) {
  Finita() = std::move(finita);
}

bool ProgrammaInChiusura() {
  return FineRichiesta();
}

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
