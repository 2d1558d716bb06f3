#include "platform/RigaDiComando.h"

#include <fstream>
#include <iterator>
#include <mutex>

namespace platform {
namespace {

std::mutex g_mutex;
std::optional<std::string> g_sostituto;

std::string LeggiDaProc() {
  std::ifstream file("/proc/self/cmdline", std::ios::binary);
  const std::string dati{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  // Arguments are NUL-terminated; the first is the program name.
  std::string testo;
  std::size_t inizio = dati.find('\0');
  if (inizio == std::string::npos) return testo;
  ++inizio;
  bool primo = true;
  while (inizio < dati.size()) {
    std::size_t fine = dati.find('\0', inizio);
    if (fine == std::string::npos) fine = dati.size();
    if (!primo) testo += ' ';
    testo.append(dati, inizio, fine - inizio);
    primo = false;
    inizio = fine + 1;
  }
  return testo;
}

}  // namespace

std::string RigaDiComando() {
  {
    const std::scoped_lock lock(g_mutex);
    if (g_sostituto) return *g_sostituto;
  }
  return LeggiDaProc();
}

void SostituisciRigaDiComando(std::optional<std::string> testo) {
  const std::scoped_lock lock(g_mutex);
  g_sostituto = std::move(testo);
}

}  // namespace platform
