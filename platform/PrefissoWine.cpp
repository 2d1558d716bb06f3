#include "platform/PrefissoWine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

#include "platform/Impostazioni.h"
#include "platform/Percorsi.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

std::optional<std::string> Variabile(const char* nome) {
  const char* v = std::getenv(nome);
  if (v == nullptr || *v == '\0') return std::nullopt;
  return std::string(v);
}

std::filesystem::path ConHome(const std::string& percorso) {
  if (percorso == "~") return CartellaHome();
  if (percorso.starts_with("~/")) return CartellaHome() / percorso.substr(2);
  return percorso;
}

// A folder of this user, as Wine demands of a prefix.
bool CartellaDellUtente(const std::filesystem::path& cartella) {
  struct stat st {};
  return cartella.is_absolute() && ::stat(cartella.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         st.st_uid == ::getuid();
}

}  // namespace

std::optional<std::filesystem::path> PrefissoWineIndicato() {
  if (auto p = Variabile("ORVANE_WINEPREFIX")) return ConHome(*p);
  try {
    if (const auto letto = LeggiImpostazioniSito().wineprefix) return ConHome(letto->valore);
  } catch (const ErroreImpostazioni&) {
    // Reported, and refused, where Tervan starts.
  }
  return std::nullopt;
}

std::optional<std::filesystem::path> PrefissoWine() {
  std::filesystem::path prefisso;
  if (auto indicato = PrefissoWineIndicato()) {
    prefisso = *indicato;
  } else {
    const auto variabile = Variabile("WINEPREFIX");
    prefisso = variabile ? std::filesystem::path(*variabile) : CartellaHome() / ".wine";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(prefisso / "system.reg", ec)) return std::nullopt;
  }
  if (!CartellaDellUtente(prefisso)) return std::nullopt;
  return prefisso.lexically_normal();
}

std::optional<std::filesystem::path> CartellaUnitaWine(const std::filesystem::path& prefisso,
                                                       char lettera) {
  const std::filesystem::path voce =
      prefisso / "dosdevices" / (std::string(1, MinuscolaAscii(lettera)) + ":");
  std::error_code ec;
  auto cartella = std::filesystem::canonical(voce, ec);
  if (ec || !std::filesystem::is_directory(cartella, ec)) return std::nullopt;
  return cartella;
}

}  // namespace platform
