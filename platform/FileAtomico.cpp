#include "platform/FileAtomico.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/Descrittore.h"

namespace platform {
namespace {

// Temporary files of "X" are ".X." and a suffix of this many letters or
// digits, in the same folder; a long "X" is cut short in the prefix so that
// the temporary name is as valid as "X" itself.
constexpr std::size_t kSuffissoTemporaneo = 6;
std::string PrefissoTemporaneo(std::string_view nome) {
  constexpr std::size_t kMassimo = kLunghezzaMassimaNome - kSuffissoTemporaneo - 2;
  return "." + std::string(nome.substr(0, kMassimo)) + ".";
}
constexpr std::string_view kCaratteriSuffisso =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kTentativi = 100;
// How much written data may wait in memory before the disk is asked to
// start writing it out.
constexpr off_t kScritturaAnticipata = off_t{1} << 20;

[[noreturn]] void Fallisci(std::string_view cosa) {
  const int errore = errno;
  throw std::system_error(errore, std::generic_category(), std::string(cosa));
}

std::string SuffissoCasuale(std::string_view cosa) {
  std::array<unsigned char, kSuffissoTemporaneo> casuali{};
  std::size_t letti = 0;
  while (letti < casuali.size()) {
    const ssize_t n = ::getrandom(casuali.data() + letti, casuali.size() - letti, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fallisci(cosa);
    }
    letti += static_cast<std::size_t>(n);
  }
  std::string suffisso;
  for (const unsigned char c : casuali)
    suffisso += kCaratteriSuffisso[c % kCaratteriSuffisso.size()];
  return suffisso;
}

// A new temporary file for `nome` in the folder `cartella`, created
// exclusively (never through a link) with the permissions `modo` less the
// umask, open for reading and writing; its name goes to `temporaneo`.
// The writer holds an exclusive lock (flock) on it for as long as it
// writes: the clean-up of what killed writers left skips a locked one, so
// writers of the same file in other processes (two sessions, two users of
// one data folder) never remove each other's work.
Descrittore CreaTemporaneo(int cartella, std::string_view nome, mode_t modo,
                           std::string& temporaneo, std::string_view cosa) {
  const std::string prefisso = PrefissoTemporaneo(nome);
  for (int tentativo = 1;; ++tentativo) {
    temporaneo = prefisso + SuffissoCasuale(cosa);
    Descrittore fd(::openat(cartella, temporaneo.c_str(),
                            O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, modo));
    if (fd.Fd() < 0) {
      if (errno != EEXIST || tentativo == kTentativi) Fallisci(cosa);
      continue;
    }
    // A clean-up may have taken the new file between its creation and the
    // lock; then it is gone, or about to be, and another name is tried.
    struct stat st {};
    if (::flock(fd.Fd(), LOCK_EX | LOCK_NB) == 0) {
      if (::fstat(fd.Fd(), &st) != 0) Fallisci(cosa);
      if (st.st_nlink > 0) return fd;
    } else if (errno != EWOULDBLOCK) {
      Fallisci(cosa);
    }
    if (tentativo == kTentativi) Fallisci(cosa);
  }
}

// The temporary files being written now. A program may end through exit()
// while one is: a library ends it so (Qt does when the X server goes away,
// as at a log-out), and no writer's destructor then runs. The exit removes
// them instead, each only while its name still holds the writer's file.
class TemporaneiInCorso {
 public:
  static TemporaneiInCorso& Tutti() {
    // Never destroyed: the exit's removal may run after other statics have
    // gone, and must find it.
    static TemporaneiInCorso* const tutti = [] {
      auto* t = new TemporaneiInCorso;
      (void)std::atexit([] { Tutti().RimuoviTutti(); });
      return t;
    }();
    return *tutti;
  }
  void Aggiungi(const void* chi, int cartella, int fd, const std::string& nome) {
    const std::lock_guard blocco(mutex_);
    voci_[chi] = {cartella, fd, nome};
  }
  void Togli(const void* chi) {
    const std::lock_guard blocco(mutex_);
    voci_.erase(chi);
  }

 private:
  struct Voce {
    int cartella;
    int fd;
    std::string nome;
  };
  void RimuoviTutti() noexcept {
    const std::lock_guard blocco(mutex_);
    for (const auto& [chi, v] : voci_) {
      struct stat nostro {};
      struct stat trovato {};
      if (::fstat(v.fd, &nostro) == 0 &&
          ::fstatat(v.cartella, v.nome.c_str(), &trovato, AT_SYMLINK_NOFOLLOW) == 0 &&
          nostro.st_dev == trovato.st_dev && nostro.st_ino == trovato.st_ino)
        (void)::unlinkat(v.cartella, v.nome.c_str(), 0);
    }
    voci_.clear();
  }
  std::mutex mutex_;
  std::map<const void*, Voce> voci_;
};

// Where a path leads, walked one name at a time from the root (or the
// working folder) with every symbolic link on the way followed by hand, so
// that the kernel's guard for links in shared folders never applies and
// each link is judged instead: it counts only where its owner could have
// put there what it leads to. It must be the writer's own, root's, or
// belong to the owner of the folder it leads to; otherwise another user's
// link would decide which file or folder the writer replaces or creates
// (root writing a user's settings would write wherever the user pointed),
// and the walk fails with EACCES. The folders on the way are opened with
// O_PATH, which needs only the right to pass through them, as a path does.
struct Cammino {
  Descrittore cartella;  // the folder reached, open for reading
  std::string nome;      // with Fine::Nome, the last name, found in `cartella`
};
enum class Fine { Cartella, Nome };

class Camminatore {
 public:
  Camminatore(const std::filesystem::path& percorso, bool crea)
      : testo_(percorso.string()), crea_(crea) {}

  Cammino Cammina(Fine fine) {
    if (testo_.empty()) Rifiuta(ENOENT);
    if (fine == Fine::Nome && testo_.back() == '/') Rifiuta(EISDIR);
    cartella_ = Apri(AT_FDCWD, testo_.front() == '/' ? "/" : ".");
    AggiungiInTesta(testo_);
    std::string nome;
    while (!parti_.empty()) {
      nome = std::move(parti_.front());
      parti_.pop_front();
      // The entry itself, never what it points to: its owner and, for a
      // link, its text are read from this one descriptor, so that another
      // entry put in its place meanwhile cannot lend it its owner.
      Descrittore voce(::openat(cartella_.Fd(), nome.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
      if (voce.Fd() < 0 && errno != ENOENT) Fallisci(testo_);
      struct stat st {};
      if (voce.Fd() >= 0 && ::fstat(voce.Fd(), &st) != 0) Fallisci(testo_);
      if (voce.Fd() >= 0 && S_ISLNK(st.st_mode)) {
        Segui(voce.Fd(), Proprietario(st));
        nome.clear();
        continue;
      }
      if (parti_.empty() && fine == Fine::Nome) break;
      Entra(nome, std::move(voce), st);
    }
    Giudica();
    // A folder one may write and pass through but not list is still written
    // to through its O_PATH descriptor; it is then neither locked, listed
    // nor flushed.
    Descrittore letta(::openat(cartella_.Fd(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (letta.Fd() < 0 && errno != EACCES) Fallisci(testo_);
    return {letta.Fd() >= 0 ? std::move(letta) : std::move(cartella_), std::move(nome)};
  }

 private:
  struct Collegamento {
    uid_t proprietario;
    // The names left after the link's own: its target has been walked when
    // as many are left again.
    std::size_t resto;
  };

  [[noreturn]] void Rifiuta(int errore) const {
    errno = errore;
    Fallisci(testo_);
  }

  // Whose a link is: its owner's, unless it has another name, which anyone
  // who may write this folder could have given it here (its owner's own
  // link, or another's where the kernel lets hard links to others' files be
  // made): then the folder owner's, and nobody's in a folder that others
  // than its owner may write.
  uid_t Proprietario(const struct stat& collegamento) const {
    if (collegamento.st_nlink <= 1) return collegamento.st_uid;
    struct stat st {};
    if (::fstat(cartella_.Fd(), &st) != 0) Fallisci(testo_);
    return (st.st_mode & (S_IWGRP | S_IWOTH)) == 0 ? st.st_uid : kNessuno;
  }
  static constexpr uid_t kNessuno = static_cast<uid_t>(-1);

  Descrittore Apri(int da, const char* nome) const {
    Descrittore fd(::openat(da, nome, O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.Fd() < 0) Fallisci(testo_);
    return fd;
  }

  void AggiungiInTesta(std::string_view percorso) {
    std::deque<std::string> nuove;
    for (std::size_t inizio = 0; inizio < percorso.size();) {
      const std::size_t fine = std::min(percorso.find('/', inizio), percorso.size());
      if (fine > inizio) nuove.emplace_back(percorso.substr(inizio, fine - inizio));
      inizio = fine + 1;
    }
    parti_.insert(parti_.begin(), nuove.begin(), nuove.end());
  }

  // Follows the link open (O_PATH) on `collegamento`.
  void Segui(int collegamento, uid_t proprietario) {
    constexpr int kSaltiMassimi = 40;
    if (++salti_ > kSaltiMassimi) Rifiuta(ELOOP);
    std::string destinazione(PATH_MAX, '\0');
    const ssize_t n = ::readlinkat(collegamento, "", destinazione.data(), destinazione.size());
    if (n < 0) Fallisci(testo_);
    if (static_cast<std::size_t>(n) >= destinazione.size()) Rifiuta(ENAMETOOLONG);
    destinazione.resize(static_cast<std::size_t>(n));
    collegamenti_.push_back({proprietario, parti_.size()});
    if (destinazione.starts_with('/')) cartella_ = Apri(AT_FDCWD, "/");
    AggiungiInTesta(destinazione);
    // A link to "/" or "." leads where the walk already is.
    Giudica();
  }

  // Goes into the folder `nome`, open (O_PATH) on `voce` with its state in
  // `st`, or missing when `voce` holds nothing.
  void Entra(const std::string& nome, Descrittore voce, const struct stat& st) {
    if (voce.Fd() >= 0 && !S_ISDIR(st.st_mode)) Rifiuta(ENOTDIR);
    Descrittore prossima = std::move(voce);
    if (prossima.Fd() < 0) errno = ENOENT;
    if (prossima.Fd() < 0 && crea_) {
      // Nothing is made where a link not yet judged leads.
      for (const Collegamento& c : collegamenti_)
        if (c.proprietario != ::geteuid() && c.proprietario != 0) Rifiuta(EACCES);
      if (::mkdirat(cartella_.Fd(), nome.c_str(), 0700) != 0 && errno != EEXIST)
        Fallisci(testo_ + ": impossibile creare la cartella");
      prossima = Apri(cartella_.Fd(), nome.c_str());
      // What root makes in a user's folder is the user's, as the folder is.
      struct stat sopra {};
      if (::geteuid() == 0 && ::fstat(cartella_.Fd(), &sopra) == 0 && sopra.st_uid != 0 &&
          ::fchownat(prossima.Fd(), "", sopra.st_uid, sopra.st_gid, AT_EMPTY_PATH) != 0)
        Fallisci(testo_);
    }
    if (prossima.Fd() < 0) Fallisci(testo_);
    cartella_ = std::move(prossima);
    Giudica();
  }

  // Judges the links whose target the walk has just reached.
  void Giudica() {
    struct stat st {};
    bool letto = false;
    while (!collegamenti_.empty() && collegamenti_.back().resto == parti_.size()) {
      if (!letto && ::fstat(cartella_.Fd(), &st) != 0) Fallisci(testo_);
      letto = true;
      const uid_t proprietario = collegamenti_.back().proprietario;
      if (proprietario != ::geteuid() && proprietario != 0 && proprietario != st.st_uid)
        Rifiuta(EACCES);
      collegamenti_.pop_back();
    }
  }

  std::string testo_;
  bool crea_;
  Descrittore cartella_;
  std::deque<std::string> parti_;  // the names still to walk, the next first
  std::vector<Collegamento> collegamenti_;
  int salti_ = 0;
};

std::pair<Descrittore, std::string> ApriDestinazione(const std::filesystem::path& file) {
  Cammino cammino = Camminatore(file, false).Cammina(Fine::Nome);
  return {std::move(cammino.cartella), std::move(cammino.nome)};
}

}  // namespace

void ScriviFileAtomico(const std::filesystem::path& file, std::string_view contenuto,
                       std::optional<mode_t> modo) {
  const auto [cartella, nome] = ApriDestinazione(file);
  try {
    ScriviFileAtomicoInCartella(cartella.Fd(), nome, contenuto, modo);
  } catch (const std::system_error& e) {
    // The caller named the file by this path.
    throw std::system_error(e.code(), file.string());
  }
}

void ScriviFileAtomicoInCartella(int cartella, std::string_view nome, std::string_view contenuto,
                                 std::optional<mode_t> modo) {
  FileAtomicoInCartella file(cartella, nome, modo);
  file.Scrivi(contenuto);
  file.Consegna();
}

FileAtomicoInCartella::FileAtomicoInCartella(int cartella, std::string_view nome,
                                             std::optional<mode_t> modo, mode_t vietati)
    : cartella_(cartella), nome_(nome) {
  if (nome_.empty() || nome_ == "." || nome_ == ".." || nome_.find('/') != std::string::npos) {
    errno = EINVAL;
    Fallisci(nome_);
  }
  // A pipe, a socket or a device under that name is no file to replace:
  // renaming over /dev/null would take the system's own away.
  struct stat dato {};
  const bool esiste = ::fstatat(cartella, nome_.c_str(), &dato, AT_SYMLINK_NOFOLLOW) == 0;
  if (esiste && !S_ISREG(dato.st_mode) && !S_ISLNK(dato.st_mode) && !S_ISDIR(dato.st_mode)) {
    errno = EINVAL;
    Fallisci(nome_);
  }
  fd_ = CreaTemporaneo(cartella, nome_, modo.value_or(0666) & ~vietati, temporaneo_, nome_);
  try {
    // The new file keeps the old one's owner and group: root writing a
    // user's file must not take it away from the user, and a file root makes
    // in a user's folder is the user's, as the folder is. Others may not
    // give files away, and then the file becomes theirs. A link is nobody's
    // file to keep, and neither is another user's file in a folder others
    // than its owner may write (a shared "Aggiornamenti", /tmp): anyone may
    // have put it there under the name about to be written, to be handed
    // what is written and change it afterwards.
    struct stat sopra {};
    const bool condivisa =
        ::fstat(cartella, &sopra) != 0 || (sopra.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    bool daDare = esiste && S_ISREG(dato.st_mode) && (!condivisa || dato.st_uid == ::geteuid());
    if (!daDare && ::geteuid() == 0) daDare = ::fstat(cartella, &dato) == 0 && dato.st_uid != 0;
    if (daDare && (dato.st_uid != ::geteuid() || dato.st_gid != ::getegid()) &&
        ::fchown(fd_.Fd(), dato.st_uid, dato.st_gid) != 0 && errno != EPERM) {
      Fallisci(nome_);
    }
    // The umask narrowed the permissions at creation; asked ones apply whole.
    if (modo && ::fchmod(fd_.Fd(), *modo & ~vietati) != 0) Fallisci(nome_);
    TemporaneiInCorso::Tutti().Aggiungi(this, cartella_, fd_.Fd(), temporaneo_);
  } catch (...) {
    ::unlinkat(cartella_, temporaneo_.c_str(), 0);
    throw;
  }
}

FileAtomicoInCartella::~FileAtomicoInCartella() {
  if (temporaneo_.empty()) return;
  TemporaneiInCorso::Tutti().Togli(this);
  ::unlinkat(cartella_, temporaneo_.c_str(), 0);
}

void FileAtomicoInCartella::Scrivi(std::string_view parte) {
  ScriviTutto(fd_.Fd(), parte, nome_);
  scritti_ += static_cast<off_t>(parte.size());
  if (scritti_ - avviati_ < kScritturaAnticipata) return;
  // Only starts the write-out, without waiting for it; a failure to write
  // is reported by Consegna's flush, which waits for everything.
  (void)::sync_file_range(fd_.Fd(), avviati_, scritti_ - avviati_, SYNC_FILE_RANGE_WRITE);
  avviati_ = scritti_;
}

void FileAtomicoInCartella::Consegna() {
  if (::fsync(fd_.Fd()) != 0) Fallisci(nome_);
  // Whoever may write the folder may have put another file under the
  // temporary name: that one is neither placed nor removed.
  struct stat nostro {};
  struct stat trovato {};
  if (::fstat(fd_.Fd(), &nostro) != 0) Fallisci(nome_);
  if (::fstatat(cartella_, temporaneo_.c_str(), &trovato, AT_SYMLINK_NOFOLLOW) != 0 ||
      trovato.st_dev != nostro.st_dev || trovato.st_ino != nostro.st_ino) {
    TemporaneiInCorso::Tutti().Togli(this);
    temporaneo_.clear();
    errno = ESTALE;
    Fallisci(nome_);
  }
  // From here the descriptor closes and the name goes: the exit has
  // nothing of this writer's left to remove.
  TemporaneiInCorso::Tutti().Togli(this);
  // The lock goes with the last descriptor: a copy keeps it until the
  // temporary name is gone.
  const Descrittore blocco(::fcntl(fd_.Fd(), F_DUPFD_CLOEXEC, 0));
  if (blocco.Fd() < 0 || !fd_.Chiudi()) Fallisci(nome_);
  // A link named `nome` is replaced itself: rename never follows it.
  if (::renameat(cartella_, temporaneo_.c_str(), cartella_, nome_.c_str()) != 0) Fallisci(nome_);
  temporaneo_.clear();
  // The check above and the rename are two steps: whoever may write the
  // folder may exchange the temporary file for one of theirs between them.
  // Only the file written here is placed; what stands under the name now
  // is theirs, and is left to them.
  if (::fstatat(cartella_, nome_.c_str(), &trovato, AT_SYMLINK_NOFOLLOW) != 0 ||
      trovato.st_dev != nostro.st_dev || trovato.st_ino != nostro.st_ino) {
    errno = ESTALE;
    Fallisci(nome_);
  }
  // The rename itself reaches the disk with the folder. A disk that fails
  // to write the folder may lose the new name at the next power cut: that
  // is no write to report done (a package would be recorded as fetched and
  // be gone). A folder open through O_PATH (EBADF) or on a file system that
  // does not flush folders (EINVAL) cannot be asked.
  if (::fsync(cartella_) != 0 && errno != EBADF && errno != EINVAL) Fallisci(nome_);
}

Descrittore ApriSottocartella(int cartella, std::string_view nome, bool crea) {
  const std::string voce(nome);
  const bool fatta = crea && ::mkdirat(cartella, voce.c_str(), 0755) == 0;
  if (crea && !fatta && errno != EEXIST) Fallisci(voce);
  if (fatta) {
    // The folder's own name reaches the disk before anything is placed in
    // it: flushing the folder after a rename inside it does not keep the
    // folder, and the next power cut could take away, with it, a file
    // reported as placed. A folder open through O_PATH cannot be flushed
    // itself, so it is opened again; one that is not flushed is taken back.
    const Descrittore sopra(::openat(cartella, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (sopra.Fd() < 0 || (::fsync(sopra.Fd()) != 0 && errno != EINVAL)) {
      const int errore = errno;
      ::unlinkat(cartella, voce.c_str(), AT_REMOVEDIR);
      errno = errore;
      Fallisci(voce);
    }
  }
  Descrittore fd(::openat(cartella, voce.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.Fd() < 0) Fallisci(voce);
  struct stat st {};
  if (::fstat(fd.Fd(), &st) != 0) Fallisci(voce);
  if ((st.st_mode & S_IWOTH) != 0 && (st.st_mode & S_ISVTX) == 0) {
    errno = EPERM;
    Fallisci(voce + ": scrivibile da chiunque");
  }
  return fd;
}

Descrittore ApriInLettura(const std::filesystem::path& file) {
  const auto [cartella, nome] = ApriDestinazione(file);
  Descrittore fd(::openat(cartella.Fd(), nome.c_str(),
                          O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC));
  if (fd.Fd() < 0) Fallisci(file.string());
  return fd;
}

Descrittore ApriCartellaPrivata(const std::filesystem::path& cartella, bool crea) {
  return Camminatore(cartella, crea).Cammina(Fine::Cartella).cartella;
}

void CreaCartellePrivate(const std::filesystem::path& cartella) {
  (void)ApriCartellaPrivata(cartella, true);
}

Descrittore ApriCartella(const std::filesystem::path& cartella) {
  Descrittore fd(::open(cartella.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.Fd() < 0) Fallisci(cartella.string());
  return fd;
}

void RimuoviTemporaneiOrfaniInCartella(int cartella, std::string_view nome) {
  const std::string prefisso = PrefissoTemporaneo(nome);
  const std::string_view tagliato = std::string_view(prefisso).substr(1, prefisso.size() - 2);
  RimuoviTemporaneiOrfaniInCartella(cartella, [&](std::string_view di) { return di == tagliato; });
}

void RimuoviTemporaneiOrfaniInCartella(int cartella,
                                       const std::function<bool(std::string_view)>& di) {
  // Only a regular file with exactly the name a writer gives its temporary
  // is one: "." + the name (cut short as PrefissoTemporaneo cuts it) + "."
  // + the suffix. A neighbour that merely looks alike is someone's file.
  const auto temporaneo = [&](std::string_view voce) {
    if (voce.size() < kSuffissoTemporaneo + 3 || voce.front() != '.') return false;
    const std::size_t punto = voce.size() - kSuffissoTemporaneo - 1;
    return voce[punto] == '.' &&
           voce.find_first_not_of(kCaratteriSuffisso, punto + 1) == std::string_view::npos &&
           di(voce.substr(1, punto - 1));
  };
  const int copia = ::fcntl(cartella, F_DUPFD_CLOEXEC, 0);
  if (copia < 0) return;
  const std::unique_ptr<DIR, int (*)(DIR*)> elenco(::fdopendir(copia), ::closedir);
  if (!elenco) {
    ::close(copia);
    return;
  }
  ::rewinddir(elenco.get());
  std::vector<std::string> candidati;
  while (const dirent* voce = ::readdir(elenco.get())) {
    if (temporaneo(voce->d_name)) candidati.emplace_back(voce->d_name);
  }
  // An orphan is a regular file whose lock nobody holds; one this process
  // cannot open to try is left alone, as is one that changes meanwhile.
  for (const std::string& candidato : candidati) {
    const Descrittore fd(::openat(cartella, candidato.c_str(),
                                  O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat aperto {};
    struct stat voce {};
    if (fd.Fd() < 0 || ::fstat(fd.Fd(), &aperto) != 0 || !S_ISREG(aperto.st_mode) ||
        ::flock(fd.Fd(), LOCK_EX | LOCK_NB) != 0 ||
        ::fstatat(cartella, candidato.c_str(), &voce, AT_SYMLINK_NOFOLLOW) != 0 ||
        voce.st_dev != aperto.st_dev || voce.st_ino != aperto.st_ino)
      continue;
    ::unlinkat(cartella, candidato.c_str(), 0);
  }
}

void RimuoviTemporaneiOrfani(const std::filesystem::path& file) {
  // Where a write of `file` would fail (no folder, a link it may not
  // follow), there is nothing of its writers to clean up.
  try {
    const auto [cartella, nome] = ApriDestinazione(file);
    RimuoviTemporaneiOrfaniInCartella(cartella.Fd(), nome);
  } catch (const std::system_error&) {
  }
}

}  // namespace platform
