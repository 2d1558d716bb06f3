#include "platform/PrefissoWine.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <system_error>

#include "platform/Descrittore.h"
#include "platform/FileAtomico.h"
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

// Why Wine would not run in `cartella`, empty when it would: it demands an
// absolute path to a folder of the user who runs it.
std::string PerchePrefissoInutile(const std::filesystem::path& cartella) {
  if (!cartella.is_absolute()) return "non è un percorso assoluto";
  struct stat st {};
  if (::stat(cartella.c_str(), &st) != 0) return std::strerror(errno);
  if (!S_ISDIR(st.st_mode)) return "non è una cartella";
  if (st.st_uid != ::getuid()) {
    return "appartiene all'utente " + std::to_string(st.st_uid) +
           " (Wine usa solo un prefisso dell'utente che lo esegue)";
  }
  return {};
}

}  // namespace

std::optional<std::filesystem::path> PrefissoWineIndicato() {
  return ScegliPrefissoWine().indicato;
}

SceltaPrefissoWine ScegliPrefissoWine() {
  SceltaPrefissoWine scelta;
  if (auto p = Variabile("ORVANE_WINEPREFIX")) {
    scelta.indicato = ConHome(*p);
    scelta.origine = "variabile ORVANE_WINEPREFIX";
  } else if (const auto letto = LeggiImpostazioniSito().wineprefix) {
    scelta.indicato = ConHome(letto->valore);
    scelta.origine = letto->file.string() + ", riga " + std::to_string(letto->riga);
  }
  std::filesystem::path prefisso;
  if (scelta.indicato) {
    // A prefix that was named and cannot be used is said, and Wine's
    // default is not taken in its place: the programs run where it was
    // named, so that is where their settings and folders are.
    prefisso = *scelta.indicato;
    if (const std::string motivo = PerchePrefissoInutile(prefisso); !motivo.empty()) {
      scelta.rifiuto = scelta.origine + ": prefisso Wine \"" + prefisso.string() +
                       "\" non utilizzabile: " + motivo;
      return scelta;
    }
  } else {
    const auto variabile = Variabile("WINEPREFIX");
    prefisso = variabile ? std::filesystem::path(*variabile) : CartellaHome() / ".wine";
    std::error_code ec;
    if (!std::filesystem::is_regular_file(prefisso / "system.reg", ec)) return scelta;
    if (!PerchePrefissoInutile(prefisso).empty()) return scelta;
    scelta.origine = variabile ? "variabile WINEPREFIX" : "predefinito di Wine";
  }
  scelta.prefisso = prefisso.lexically_normal();
  return scelta;
}

std::optional<std::filesystem::path> PrefissoWine() {
  return ScegliPrefissoWine().prefisso;
}

std::optional<std::filesystem::path> CartellaUnitaWine(const std::filesystem::path& prefisso,
                                                       char lettera) {
  const std::filesystem::path voce =
      prefisso / "dosdevices" / (std::string(1, MinuscolaAscii(lettera)) + ":");
  struct stat st {};
  if (::lstat(voce.c_str(), &st) != 0) return std::nullopt;
  // Walked as a writer walks a path: a link on the way that its owner could
  // not have made (another user's, in a shared folder the drive leads
  // through) is not resolved away here, out of the writer's sight.
  try {
    const Descrittore cartella = ApriCartellaPrivata(voce, false);
    std::error_code ec;
    auto vera = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(cartella.Fd()), ec);
    if (!ec && vera.is_absolute()) return vera;
  } catch (const std::system_error&) {
  }
  // A drive Wine maps to a folder that is gone (an unmounted disk) or that
  // cannot be reached so: its paths lead where Wine's do, nowhere.
  return voce;
}

}  // namespace platform
