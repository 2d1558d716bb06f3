#include "platform/Impostazioni.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string_view>

#include "platform/Percorsi.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Errore(const fs::path& file, int riga, const std::string& motivo) {
  throw ErroreImpostazioni(file.string() + ", riga " + std::to_string(riga) + ": " + motivo);
}

bool CartellaValida(std::string_view valore) {
  if (valore.empty() || (valore.front() != '/' && valore != "~" && !valore.starts_with("~/")))
    return false;
  for (const char c : valore) {
    if (static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

}  // namespace

bool IndirizzoValido(std::string_view valore) {
  std::string_view resto;
  if (IniziaSenzaMaiuscoleAscii(valore, "http://")) {
    resto = valore.substr(7);
  } else if (IniziaSenzaMaiuscoleAscii(valore, "https://")) {
    resto = valore.substr(8);
  } else {
    return false;
  }
  if (resto.empty() || resto.front() == '/') return false;
  for (const char c : resto) {
    if (BiancoAscii(c) || static_cast<unsigned char>(c) < 0x20) return false;
  }
  return true;
}

std::vector<fs::path> FileImpostazioni() {
  const fs::path relativo = fs::path("orvane") / "tervan.conf";
  std::vector<fs::path> file{CartellaConfigurazioneUtente() / relativo};
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the system never changes its environment.
  const char* dirs = std::getenv("XDG_CONFIG_DIRS");
  const std::string elenco = dirs != nullptr && *dirs != '\0' ? dirs : "/etc/xdg";
  std::istringstream cartelle(elenco);
  for (std::string cartella; std::getline(cartelle, cartella, ':');) {
    if (!cartella.empty() && cartella.front() == '/') file.push_back(fs::path(cartella) / relativo);
  }
  return file;
}

ImpostazioniSito LeggiFileImpostazioni(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::error_code ec;
  if (!in || fs::is_directory(file, ec)) {
    const int errore = fs::is_directory(file, ec) ? EISDIR : errno;
    throw ErroreImpostazioni(file.string() +
                             ": impossibile leggere il file: " + std::strerror(errore));
  }
  ImpostazioniSito letto;
  int numero = 0;
  for (std::string riga; std::getline(in, riga);) {
    ++numero;
    if (numero == 1 && riga.starts_with("\xEF\xBB\xBF")) riga.erase(0, 3);
    const std::string_view testo = SenzaBianchiAiLati(riga);
    if (testo.empty() || testo.front() == '#') continue;
    const auto uguale = testo.find('=');
    if (uguale == std::string_view::npos) Errore(file, numero, "attesa una riga chiave = valore");
    const std::string chiave = MinuscoloAscii(SenzaBianchiAiLati(testo.substr(0, uguale)));
    const std::string valore(SenzaBianchiAiLati(testo.substr(uguale + 1)));
    std::optional<ImpostazioneLetta>* posto = nullptr;
    if (chiave == "server") {
      posto = &letto.server;
    } else if (chiave == "sito") {
      posto = &letto.sito;
    } else if (chiave == "wineprefix") {
      posto = &letto.wineprefix;
    } else {
      Errore(file, numero,
             "chiave sconosciuta \"" + chiave + "\" (ammesse: server, sito, wineprefix)");
    }
    if (*posto) {
      Errore(file, numero,
             "chiave \"" + chiave + "\" ripetuta (già alla riga " + std::to_string((*posto)->riga) +
                 ")");
    }
    if (posto == &letto.wineprefix) {
      if (!CartellaValida(valore)) {
        Errore(file, numero,
               "cartella non valida per \"wineprefix\": \"" + valore +
                   "\" (attesa una cartella che inizia con / o con ~)");
      }
    } else if (!IndirizzoValido(valore)) {
      Errore(file, numero,
             "indirizzo non valido per \"" + chiave + "\": \"" + valore +
                 "\" (atteso schema, host e porta, per esempio " + std::string(kEsempioIndirizzo) +
                 ")");
    }
    *posto = ImpostazioneLetta{valore, file, numero};
  }
  if (in.bad()) {
    throw ErroreImpostazioni(file.string() +
                             ": impossibile leggere il file: " + std::strerror(errno));
  }
  return letto;
}

ImpostazioniSito LeggiImpostazioniSito() {
  ImpostazioniSito risultato;
  for (const fs::path& file : FileImpostazioni()) {
    // Only a file that is not there is skipped; one that cannot be looked
    // at is an error like any broken file.
    struct stat info {};
    if (::lstat(file.c_str(), &info) != 0 && (errno == ENOENT || errno == ENOTDIR)) continue;
    const ImpostazioniSito letto = LeggiFileImpostazioni(file);
    if (!risultato.server) risultato.server = letto.server;
    if (!risultato.sito) risultato.sito = letto.sito;
    if (!risultato.wineprefix) risultato.wineprefix = letto.wineprefix;
  }
  return risultato;
}

}  // namespace platform
