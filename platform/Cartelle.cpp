#include "platform/Cartelle.h"

#include <dlfcn.h>
#include <link.h>

#include <mutex>
#include <system_error>

namespace platform {
namespace {

std::mutex g_mutex;
std::optional<std::filesystem::path> g_cartellaProgramma;

}  // namespace

std::filesystem::path PercorsoEseguibile() {
  std::error_code ec;
  std::string percorso = std::filesystem::read_symlink("/proc/self/exe", ec).string();
  if (ec) return {};
  // A program whose file was replaced while it ran (a package upgrade) is
  // named by the kernel with this mark; its path is the new file's.
  constexpr std::string_view kCancellato = " (deleted)";
  if (percorso.ends_with(kCancellato) && !std::filesystem::exists(percorso, ec))
    percorso.resize(percorso.size() - kCancellato.size());
  return percorso;
}

std::filesystem::path PercorsoModulo(const void* indirizzo) {
  Dl_info info{};
  link_map* mappa = nullptr;
  if (dladdr1(indirizzo, &info, reinterpret_cast<void**>(&mappa), RTLD_DL_LINKMAP) == 0 ||
      mappa == nullptr) {
    return {};
  }
  // The main program's link map has an empty name.
  if (mappa->l_name == nullptr || mappa->l_name[0] == '\0') return PercorsoEseguibile();
  std::error_code ec;
  auto percorso = std::filesystem::weakly_canonical(mappa->l_name, ec);
  return ec ? std::filesystem::path{mappa->l_name} : percorso;
}

std::filesystem::path CartellaProgramma() {
  {
    const std::scoped_lock lock(g_mutex);
    if (g_cartellaProgramma) return *g_cartellaProgramma;
  }
  return PercorsoEseguibile().parent_path();
}

void ImpostaCartellaProgramma(std::optional<std::filesystem::path> cartella) {
  const std::scoped_lock lock(g_mutex);
  g_cartellaProgramma = std::move(cartella);
}

}  // namespace platform
