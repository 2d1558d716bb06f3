#include "platform/PompaMessaggi.h"

#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::function<void()> g_pompa;

}  // namespace

void ImpostaPompaMessaggi(std::function<void()> pompa) {
  const std::scoped_lock lock(g_mutex);
  g_pompa = std::move(pompa);
}

void ElaboraMessaggiInAttesa() {
  std::function<void()> pompa;
  {
    const std::scoped_lock lock(g_mutex);
    pompa = g_pompa;
  }
  if (pompa) pompa();
}

}  // namespace platform
