#include "platform/Impostazioni.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/Descrittore.h"
#include "platform/FileAtomico.h"
#include "platform/Percorsi.h"
#include "platform/TestoUtf8.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

[[noreturn]] void Errore(const fs::path& file, int riga, const std::string& motivo) {
  throw ErroreImpostazioni(file.string() + ", riga " + std::to_string(riga) + ": " + motivo);
}

// A settings file is a few lines; anything far larger is no settings file.
constexpr std::size_t kDimensioneMassima = std::size_t{64} * 1024;

[[noreturn]] void Illeggibile(const fs::path& file, const std::string& motivo) {
  throw ErroreImpostazioni(file.string() + ": impossibile leggere il file: " + motivo);
}

std::string Permessi(mode_t modo) {
  std::array<char, 8> testo{};
  (void)std::snprintf(testo.data(), testo.size(), "%04o", static_cast<unsigned>(modo & 07777));
  return testo.data();
}

// A group of `proprietario`'s own: the user's primary group, listing nobody
// else as a member and the primary group of no other user (the user private
// groups that a umask of 002 goes with). Only its owner may write a file
// through such a group.
bool GruppoPrivato(uid_t proprietario, gid_t gruppo) {
  std::vector<char> dati(std::size_t{64} * 1024);
  passwd pw{};
  passwd* utente = nullptr;
  if (::getpwuid_r(proprietario, &pw, dati.data(), dati.size(), &utente) != 0 ||
      utente == nullptr || utente->pw_gid != gruppo)
    return false;
  const std::string nome = utente->pw_name;
  group gr{};
  group* trovato = nullptr;
  if (::getgrgid_r(gruppo, &gr, dati.data(), dati.size(), &trovato) != 0 || trovato == nullptr)
    return false;
  for (char** membro = trovato->gr_mem; *membro != nullptr; ++membro) {
    if (nome != *membro) return false;
  }
  // Users whose own group it is are members listed nowhere in the group.
  bool solo = true;
  int esito = 0;
  passwd voce{};
  passwd* altro = nullptr;
  ::setpwent();
  while ((esito = ::getpwent_r(&voce, dati.data(), dati.size(), &altro)) == 0 && altro != nullptr) {
    if (altro->pw_gid == gruppo && altro->pw_uid != proprietario) {
      solo = false;
      break;
    }
  }
  ::endpwent();
  // A list that could not be read to its end proves nothing.
  return solo && (esito == 0 || esito == ENOENT);
}

// The access ACL of the open settings file `fd`, or when `fd` is -1 of the
// entry `voce` above `file` (not following a link), in the kernel's form: a
// 4-byte version, then 8 bytes an entry (tag, permissions, id,
// little-endian). Empty when the entry has none beyond its mode bits.
std::string Acl(const fs::path& file, int fd, const fs::path& voce) {
  constexpr const char* kNome = "system.posix_acl_access";
  constexpr std::size_t kMassimo = std::size_t{64} * 1024;
  const auto leggi = [&](char* dati, std::size_t spazio) {
    return fd >= 0 ? ::fgetxattr(fd, kNome, dati, spazio)
                   : ::lgetxattr(voce.c_str(), kNome, dati, spazio);
  };
  const ssize_t dimensione = leggi(nullptr, 0);
  if (dimensione < 0) {
    if (errno == ENODATA || errno == ENOTSUP) return {};
    Illeggibile(file, std::strerror(errno));
  }
  // One beyond the bound, or grown since it was measured, fails (ERANGE).
  std::string acl(std::min(static_cast<std::size_t>(dimensione), kMassimo), '\0');
  const ssize_t letti = leggi(acl.data(), acl.size());
  if (letti < 0) Illeggibile(file, std::strerror(errno));
  acl.resize(static_cast<std::size_t>(letti));
  return acl;
}

// Who, beside the owner, root and the reader, the access ACL `acl` of the
// entry described by `st` lets write, as "dall'utente N" or "dal gruppo N"
// (a group not the owner's private one); empty when nobody. The ACL's mask
// is the mode's group bits: without group write no entry it names may
// write, whatever the entry says.
std::string ScrittoreAcl(std::string_view acl, const struct stat& st) {
  constexpr std::size_t kIntestazione = 4;
  constexpr std::size_t kVoce = 8;
  constexpr unsigned kUtente = 0x02;
  constexpr unsigned kGruppo = 0x08;
  constexpr unsigned kScrittura = 0x02;
  if (acl.empty() || (st.st_mode & S_IWGRP) == 0) return {};
  if (acl.size() < kIntestazione || (acl.size() - kIntestazione) % kVoce != 0)
    return "da utenti ignoti";
  const auto byte = [&](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(acl[i]));
  };
  for (std::size_t i = kIntestazione; i < acl.size(); i += kVoce) {
    const std::uint32_t tag = byte(i) | byte(i + 1) << 8U;
    const std::uint32_t permessi = byte(i + 2) | byte(i + 3) << 8U;
    const std::uint32_t id =
        byte(i + 4) | byte(i + 5) << 8U | byte(i + 6) << 16U | byte(i + 7) << 24U;
    if ((permessi & kScrittura) == 0) continue;
    if (tag == kUtente && id != 0 && id != ::geteuid()) return "dall'utente " + std::to_string(id);
    if (tag == kGruppo && !GruppoPrivato(st.st_uid, id)) return "dal gruppo " + std::to_string(id);
  }
  return {};
}

// Why the settings file, or a folder above it, described by `st` and its
// access ACL `acl`, lets a user other than root and the one reading decide
// the settings (server, site, prefix for everyone who reads them); empty
// when it does not. A folder anyone may write is fine with the sticky bit
// (as /tmp): nobody may then replace what is not theirs, and what they put
// there is theirs.
std::string Estraneo(const struct stat& st, std::string_view acl) {
  if (st.st_uid != 0 && st.st_uid != ::geteuid()) {
    return "appartiene all'utente " + std::to_string(st.st_uid) +
           ", né a root né a chi legge le impostazioni";
  }
  if (S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0) return {};
  if ((st.st_mode & S_IWOTH) != 0)
    return "è scrivibile da chiunque (permessi " + Permessi(st.st_mode) + ")";
  if ((st.st_mode & S_IWGRP) != 0 && !GruppoPrivato(st.st_uid, st.st_gid)) {
    return "è scrivibile dal gruppo " + std::to_string(st.st_gid) + " (permessi " +
           Permessi(st.st_mode) + ")";
  }
  if (const std::string chi = ScrittoreAcl(acl, st); !chi.empty())
    return "è scrivibile " + chi + " per il suo ACL (permessi " + Permessi(st.st_mode) + ")";
  return {};
}

// The text of the settings file `file`: a regular file of at most
// kDimensioneMassima bytes, opened without waiting on a FIFO, links
// followed only where their owner could have put the file there, that
// only root or the reading user may have written.
std::string Contenuto(const fs::path& file) {
  Descrittore fd;
  try {
    fd = ApriInLettura(file);
  } catch (const std::system_error& e) {
    Illeggibile(file, std::strerror(e.code().value()));
  }
  struct stat st {};
  if (::fstat(fd.Fd(), &st) != 0) Illeggibile(file, std::strerror(errno));
  if (S_ISDIR(st.st_mode)) Illeggibile(file, std::strerror(EISDIR));
  if (!S_ISREG(st.st_mode)) Illeggibile(file, "non è un file regolare");
  if (static_cast<std::size_t>(st.st_size) > kDimensioneMassima)
    Illeggibile(file, "più grande di 64 KB");
  if (const std::string motivo = Estraneo(st, Acl(file, fd.Fd(), file)); !motivo.empty())
    throw ErroreImpostazioni(file.string() + ": file rifiutato: " + motivo);
  // Every folder above the file, as it lies on disk: whoever may replace
  // one of them may replace the file.
  std::error_code ec;
  const fs::path vero = fs::read_symlink("/proc/self/fd/" + std::to_string(fd.Fd()), ec);
  if (ec || !vero.is_absolute()) Illeggibile(file, ec ? ec.message() : "percorso sconosciuto");
  for (fs::path cartella = vero.parent_path();; cartella = cartella.parent_path()) {
    struct stat sopra {};
    if (::lstat(cartella.c_str(), &sopra) != 0) Illeggibile(file, std::strerror(errno));
    if (const std::string motivo = Estraneo(sopra, Acl(file, -1, cartella)); !motivo.empty()) {
      throw ErroreImpostazioni(file.string() + ": file rifiutato: la cartella " +
                               cartella.string() + " " + motivo);
    }
    if (cartella == cartella.root_path()) break;
  }
  std::string testo;
  try {
    testo = LeggiAlPiu(fd.Fd(), kDimensioneMassima);
  } catch (const std::system_error& e) {
    Illeggibile(file, std::strerror(e.code().value()));
  }
  // It may have grown since it was looked at.
  if (testo.size() > kDimensioneMassima) Illeggibile(file, "più grande di 64 KB");
  return testo;
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
  // The programs append paths to it: behind a query or a fragment they
  // would not be paths, and every request would go to the same page.
  for (const char c : resto) {
    if (BiancoAscii(c) || static_cast<unsigned char>(c) < 0x20 || c == '?' || c == '#')
      return false;
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
  std::istringstream in(Contenuto(file));
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
    // Messages show what the line holds with its control characters (a
    // NUL, an escape, a line break) as \xHH: raw, they would cut the
    // message short or act on the terminal and the log that show it.
    std::optional<ImpostazioneLetta>* posto = nullptr;
    if (chiave == "server") {
      posto = &letto.server;
    } else if (chiave == "sito") {
      posto = &letto.sito;
    } else if (chiave == "wineprefix") {
      posto = &letto.wineprefix;
    } else {
      Errore(file, numero,
             "chiave sconosciuta \"" + ControlliVisibili(chiave) +
                 "\" (ammesse: server, sito, wineprefix)");
    }
    if (*posto) {
      Errore(file, numero,
             "chiave \"" + chiave + "\" ripetuta (già alla riga " + std::to_string((*posto)->riga) +
                 ")");
    }
    if (posto == &letto.wineprefix) {
      if (!CartellaValida(valore)) {
        Errore(file, numero,
               "cartella non valida per \"wineprefix\": \"" + ControlliVisibili(valore) +
                   "\" (attesa una cartella che inizia con / o con ~)");
      }
    } else if (!IndirizzoValido(valore)) {
      Errore(file, numero,
             "indirizzo non valido per \"" + chiave + "\": \"" + ControlliVisibili(valore) +
                 "\" (atteso schema, host e porta, per esempio " + std::string(kEsempioIndirizzo) +
                 ")");
    }
    *posto = ImpostazioneLetta{valore, file, numero};
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
