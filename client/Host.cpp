#include "quomaro/Host.h"

#include <mutex>
#include <utility>

#include "FineRichiesta.h"
#include "platform/PompaMessaggi.h"
#include "platform/RigaDiComando.h"

namespace quomaro {
namespace {

std::mutex g_mutexFinita;
std::function<bool()> g_finita;

}  // namespace

bool FineRichiesta() {
  // A copy: the function may replace or remove itself while it runs, and
  // another thread may do so meanwhile.
  std::function<bool()> finita;
  {
    const std::scoped_lock lock(g_mutexFinita);
    finita = g_finita;
  }
  return finita && finita();
}

void ImpostaFineRichiesta(std::function<bool()> finita) {
  const std::scoped_lock lock(g_mutexFinita);
  g_finita = std::move(finita);
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
