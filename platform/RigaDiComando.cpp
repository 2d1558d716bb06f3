#include "platform/RigaDiComando.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <mutex>

#include "platform/Descrittore.h"

namespace platform {
namespace {

std::mutex g_mutex;
std::optional<std::string> g_sostituto;

std::string LeggiDaProc() {
  std::string dati;
  const Descrittore fd(::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC));
  if (fd.Fd() < 0) return dati;
  std::array<char, 4096> blocco{};
  for (;;) {
    const ssize_t n = ::read(fd.Fd(), blocco.data(), blocco.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    dati.append(blocco.data(), static_cast<std::size_t>(n));
  }
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

std::string RigaWindows(const std::vector<std::string>& argomenti) {
  std::string out;
  for (const auto& arg : argomenti) {
    if (!out.empty()) out += ' ';
    if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
      out += arg;
      continue;
    }
    out += '"';
    std::size_t barre = 0;
    for (const char c : arg) {
      if (c == '\\') {
        ++barre;
        continue;
      }
      if (c == '"') {
        out.append(barre * 2 + 1, '\\');
      } else {
        out.append(barre, '\\');
      }
      barre = 0;
      out += c;
    }
    out.append(barre * 2, '\\');
    out += '"';
  }
  return out;
}

}  // namespace platform
