#include "platform/Collocazione.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/Descrittore.h"
#include "platform/FileAtomico.h"
#include "platform/Percorsi.h"

namespace platform {
namespace {

namespace fs = std::filesystem;

std::optional<std::string> Variabile(const char* nome) {
  // NOLINTNEXTLINE(concurrency-mt-unsafe): the system never changes its environment.
  const char* v = std::getenv(nome);
  if (v == nullptr || *v == '\0') return std::nullopt;
  return std::string(v);
}

fs::path BaseStato() {
  if (auto xdg = Variabile("XDG_STATE_HOME"); xdg && xdg->front() == '/') return *xdg;
  return CartellaHome() / ".local" / "state";
}

// $XDG_RUNTIME_DIR when it is what the session promises: an absolute folder
// of this user's that nobody else may enter.
std::optional<fs::path> BaseEsecuzione() {
  const auto xdg = Variabile("XDG_RUNTIME_DIR");
  if (!xdg || xdg->front() != '/') return std::nullopt;
  struct stat info {};
  if (::stat(xdg->c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
      (info.st_mode & 077U) != 0) {
    return std::nullopt;
  }
  return fs::path(*xdg);
}

// The session a Tervan belongs to: the display its window goes to.
std::string Sessione() {
  if (auto wayland = Variabile("WAYLAND_DISPLAY")) return "wayland:" + *wayland;
  if (auto x = Variabile("DISPLAY")) return "x:" + *x;
  return {};
}

// FNV-1a: a short, stable name for a program folder and session, the same
// in every build that may meet it.
std::string Impronta(const std::string& testo) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const char c : testo) {
    h ^= static_cast<unsigned char>(c);
    h *= 0x100000001b3ULL;
  }
  std::string esadecimale(16, '0');
  for (int i = 15; i >= 0; --i, h >>= 4U)
    esadecimale[static_cast<std::size_t>(i)] = "0123456789abcdef"[h & 0xFU];
  return esadecimale;
}

std::string NomeIstanza(const fs::path& cartellaProgramma, const char* estensione) {
  std::error_code ec;
  const fs::path canonica = fs::weakly_canonical(cartellaProgramma, ec);
  return "Tervan-" + Impronta((ec ? cartellaProgramma : canonica).string() + '\n' + Sessione()) +
         estensione;
}

[[noreturn]] void Rifiuta(int errore, const fs::path& cartella, const std::string& motivo) {
  throw std::system_error(errore, std::generic_category(), cartella.string() + ": " + motivo);
}

// Checks a per-user folder open on `fd`: the user's own, writable by nobody else.
void ControllaPropria(int fd, const fs::path& cartella, bool ancheScrittura) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) Rifiuta(errno, cartella, "impossibile leggerne lo stato");
  if (info.st_uid != ::geteuid()) Rifiuta(EPERM, cartella, "appartiene a un altro utente");
  if (ancheScrittura && (info.st_mode & 022U) != 0)
    Rifiuta(EPERM, cartella, "è scrivibile da altri utenti");
}

// Creates the missing folders of `base` (0700), following the links the user
// set up above it, and opens it.
Descrittore ApriBase(const fs::path& base) {
  Descrittore fd = ApriCartellaPrivata(base, true);
  ControllaPropria(fd.Fd(), base, false);
  return fd;
}

// Walks down from `base` through `parti`, creating what is missing with mode
// 0700 and refusing links and folders that are not the user's alone.
fs::path PreparaCartella(const fs::path& base, const std::vector<const char*>& parti) {
  Descrittore fd = ApriBase(base);
  fs::path cartella = base;
  for (const char* parte : parti) {
    cartella /= parte;
    int figlio = ::openat(fd.Fd(), parte, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (figlio < 0 && errno == ENOENT) {
      if (::mkdirat(fd.Fd(), parte, 0700) != 0 && errno != EEXIST)
        Rifiuta(errno, cartella, "impossibile creare la cartella");
      figlio = ::openat(fd.Fd(), parte, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    }
    if (figlio < 0) {
      const int errore = errno;
      Rifiuta(errore, cartella,
              errore == ELOOP || errore == ENOTDIR ? "non è una cartella (forse un collegamento)"
                                                   : "impossibile aprire la cartella");
    }
    fd = Descrittore(figlio);
    ControllaPropria(fd.Fd(), cartella, true);
  }
  return cartella;
}

const char* Nome(FileSistema quale) {
  switch (quale) {
    case FileSistema::LogErrori:
      return "Tarvik.Log";
    case FileSistema::CopiaRichiesta:
      return "SOAP.xml";
    case FileSistema::Archivio:
      return "Tervan.mdb";
    case FileSistema::BloccoIstanza:
    case FileSistema::CanaleIstanza:
      break;
  }
  return "";
}

bool DiIstanza(FileSistema quale) {
  return quale == FileSistema::BloccoIstanza || quale == FileSistema::CanaleIstanza;
}

std::string NomeFile(FileSistema quale, const fs::path& cartella) {
  if (quale == FileSistema::BloccoIstanza) return NomeIstanza(cartella, ".lock");
  if (quale == FileSistema::CanaleIstanza) return NomeIstanza(cartella, ".sock");
  return Nome(quale);
}

}  // namespace

bool CartellaPropria(const fs::path& cartella) {
  struct stat info {};
  struct stat segno {};
  return ::lstat((cartella / kSegnoInstallazioneSistema).c_str(), &segno) != 0 &&
         ::stat(cartella.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & 022U) == 0 &&
         ::faccessat(AT_FDCWD, cartella.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

fs::path CartellaStatoUtente() {
  return BaseStato() / "orvane" / "Tervan";
}

fs::path CartellaEsecuzioneUtente() {
  if (auto base = BaseEsecuzione()) return *base / "orvane";
  return CartellaStatoUtente();
}

fs::path PostoFile(FileSistema quale, const fs::path& cartella) {
  const std::string nome = NomeFile(quale, cartella);
  if (DiIstanza(quale)) return CartellaEsecuzioneUtente() / nome;
  return (CartellaPropria(cartella) ? cartella : CartellaStatoUtente()) / nome;
}

fs::path PreparaPostoFile(FileSistema quale, const fs::path& cartella) {
  const std::string nome = NomeFile(quale, cartella);
  if (DiIstanza(quale)) {
    if (auto base = BaseEsecuzione()) return PreparaCartella(*base, {"orvane"}) / nome;
  } else if (CartellaPropria(cartella)) {
    return cartella / nome;
  }
  return PreparaCartella(BaseStato(), {"orvane", "Tervan"}) / nome;
}

void CopiaSeAssente(const fs::path& origine, const fs::path& destinazione) {
  struct stat info {};
  if (::lstat(destinazione.c_str(), &info) == 0) return;
  const std::string testo = [&] {
    Descrittore in(::open(origine.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.Fd() < 0) Rifiuta(errno, origine, "impossibile leggere il file da copiare");
    std::string letto;
    std::array<char, 65536> blocco{};
    for (;;) {
      const ssize_t n = ::read(in.Fd(), blocco.data(), blocco.size());
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) Rifiuta(errno, origine, "impossibile leggere il file da copiare");
      if (n == 0) return letto;
      letto.append(blocco.data(), static_cast<std::size_t>(n));
    }
  }();
  // Written under a name of its own, then linked into place: link() never
  // replaces what another start put there meanwhile. The name is random
  // and made exclusively (mode 0600, never through a link): a copy that a
  // start killed meanwhile left behind never blocks a later start.
  std::string modello = destinazione.string() + ".XXXXXX.copia";
  Descrittore out(::mkostemps(modello.data(), static_cast<int>(std::strlen(".copia")), O_CLOEXEC));
  const fs::path temporaneo = modello;
  if (out.Fd() < 0) Rifiuta(errno, temporaneo, "impossibile creare la copia");
  try {
    ScriviTutto(out.Fd(), testo, temporaneo.string());
    if (::fsync(out.Fd()) != 0 || !out.Chiudi())
      Rifiuta(errno, temporaneo, "impossibile scrivere la copia");
    if (::link(temporaneo.c_str(), destinazione.c_str()) != 0 && errno != EEXIST)
      Rifiuta(errno, destinazione, "impossibile mettere la copia al suo posto");
  } catch (...) {
    ::unlink(temporaneo.c_str());
    throw;
  }
  ::unlink(temporaneo.c_str());
}

}  // namespace platform
