#include "platform/Orologio.h"

#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::function<Istante()> g_orologio;

}  // namespace

Istante Adesso() {
  std::function<Istante()> orologio;
  {
    const std::scoped_lock lock(g_mutex);
    orologio = g_orologio;
  }
  return orologio ? orologio() : std::chrono::system_clock::now();
}

void ImpostaOrologio(std::function<Istante()> orologio) {
  const std::scoped_lock lock(g_mutex);
  g_orologio = std::move(orologio);
}

}  // namespace platform
