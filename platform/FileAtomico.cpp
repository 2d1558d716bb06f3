#include "platform/FileAtomico.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <string>
#include <system_error>
#include <utility>

#include "platform/Descrittore.h"

namespace platform {
namespace {

// Temporary files of "X" are ".X." and a suffix of this many letters or
// digits, in the same folder.
std::string PrefissoTemporaneo(const std::filesystem::path& file) {
  return "." + file.filename().string() + ".";
}
constexpr std::size_t kSuffissoTemporaneo = 6;
constexpr std::string_view kCaratteriSuffisso =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr int kTentativi = 100;

[[noreturn]] void Fallisci(const std::filesystem::path& file) {
  const int errore = errno;
  throw std::system_error(errore, std::generic_category(), file.string());
}

std::string SuffissoCasuale(const std::filesystem::path& file) {
  std::array<unsigned char, kSuffissoTemporaneo> casuali{};
  std::size_t letti = 0;
  while (letti < casuali.size()) {
    const ssize_t n = ::getrandom(casuali.data() + letti, casuali.size() - letti, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fallisci(file);
    }
    letti += static_cast<std::size_t>(n);
  }
  std::string suffisso;
  for (const unsigned char c : casuali)
    suffisso += kCaratteriSuffisso[c % kCaratteriSuffisso.size()];
  return suffisso;
}

// A new temporary file for `file`, created exclusively with the permissions
// `modo` less the umask; its path goes to `temporaneo`.
Descrittore CreaTemporaneo(const std::filesystem::path& file, mode_t modo,
                           std::filesystem::path& temporaneo) {
  const std::string prefisso = PrefissoTemporaneo(file);
  for (int tentativo = 1;; ++tentativo) {
    temporaneo = file.parent_path() / (prefisso + SuffissoCasuale(file));
    Descrittore fd(::open(temporaneo.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, modo));
    if (fd.Fd() >= 0) return fd;
    if (errno != EEXIST || tentativo == kTentativi) Fallisci(file);
  }
}

// The file a path names in the end: a symbolic link (or a chain of them)
// is followed to its target, which need not exist yet, so that replacing
// the file keeps the link and changes what it points to.
std::filesystem::path FileReale(const std::filesystem::path& file) {
  constexpr int kSaltiMassimi = 40;
  std::filesystem::path percorso = file;
  for (int salti = 0; salti <= kSaltiMassimi; ++salti) {
    struct stat st {};
    if (::lstat(percorso.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return percorso;
    std::error_code ec;
    const std::filesystem::path destinazione = std::filesystem::read_symlink(percorso, ec);
    if (ec) throw std::system_error(ec, file.string());
    percorso = destinazione.is_absolute() ? destinazione : percorso.parent_path() / destinazione;
  }
  throw std::system_error(ELOOP, std::generic_category(), file.string());
}

// Removes the temporary file when it goes, unless the rename took it.
class Temporaneo {
 public:
  explicit Temporaneo(std::filesystem::path percorso) : percorso_(std::move(percorso)) {}
  ~Temporaneo() {
    if (!percorso_.empty()) ::unlink(percorso_.c_str());
  }
  Temporaneo(const Temporaneo&) = delete;
  Temporaneo& operator=(const Temporaneo&) = delete;
  Temporaneo(Temporaneo&&) = delete;
  Temporaneo& operator=(Temporaneo&&) = delete;
  [[nodiscard]] const std::filesystem::path& Percorso() const { return percorso_; }
  void Consegnato() { percorso_.clear(); }

 private:
  std::filesystem::path percorso_;
};

}  // namespace

void ScriviFileAtomico(const std::filesystem::path& file, std::string_view contenuto,
                       std::optional<mode_t> modo, const OsservatoreFileAtomico& osservatore) {
  const std::filesystem::path reale = FileReale(file);
  std::filesystem::path percorso;
  Descrittore fd = CreaTemporaneo(reale, modo.value_or(0666), percorso);
  Temporaneo temporaneo(std::move(percorso));
  // The new file keeps the old one's owner and group: root writing a user's
  // file must not take it away from the user. Others may not give files
  // away, and then the file becomes theirs.
  struct stat vecchio {};
  if (::stat(reale.c_str(), &vecchio) == 0 &&
      (vecchio.st_uid != ::geteuid() || vecchio.st_gid != ::getegid()) &&
      ::fchown(fd.Fd(), vecchio.st_uid, vecchio.st_gid) != 0 && errno != EPERM) {
    Fallisci(file);
  }
  // The umask narrowed the permissions at creation; asked ones apply whole.
  if (modo && ::fchmod(fd.Fd(), *modo) != 0) Fallisci(file);
  ScriviTutto(fd.Fd(), contenuto, file.string());
  if (::fsync(fd.Fd()) != 0) Fallisci(file);
  if (!fd.Chiudi()) Fallisci(file);
  if (osservatore) osservatore(temporaneo.Percorso(), reale);
  if (::rename(temporaneo.Percorso().c_str(), reale.c_str()) != 0) Fallisci(file);
  temporaneo.Consegnato();
  // The rename itself reaches the disk with the folder.
  const std::filesystem::path cartella = reale.has_parent_path() ? reale.parent_path() : ".";
  const Descrittore dir(::open(cartella.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Fd() >= 0) ::fsync(dir.Fd());
}

void RimuoviTemporaneiOrfani(const std::filesystem::path& file) {
  const std::filesystem::path reale = FileReale(file);
  const std::string prefisso = PrefissoTemporaneo(reale);
  std::error_code ec;
  // Only a regular file with exactly the name a writer gives its temporary
  // is one: a neighbour that merely shares the prefix is someone's file.
  const auto temporaneo = [&](const std::string& nome) {
    return nome.size() == prefisso.size() + kSuffissoTemporaneo &&
           nome.compare(0, prefisso.size(), prefisso) == 0 &&
           nome.find_first_not_of(kCaratteriSuffisso, prefisso.size()) == std::string::npos;
  };
  // A bare file name lives in the current folder.
  const std::filesystem::path cartella = reale.has_parent_path() ? reale.parent_path() : ".";
  for (const auto& voce : std::filesystem::directory_iterator(cartella, ec)) {
    std::error_code ecVoce;
    if (temporaneo(voce.path().filename().string()) && voce.is_regular_file(ecVoce) &&
        !voce.is_symlink(ecVoce)) {
      std::filesystem::remove(voce.path(), ecVoce);
    }
  }
}

}  // namespace platform
