#include "platform/RegistroFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace platform {
namespace {

// Temporary files of "X.reg" are ".X.reg.XXXXXX" in the same folder.
std::string PrefissoTemporaneo(const std::filesystem::path& file) {
  return "." + file.filename().string() + ".";
}
constexpr std::size_t kSuffissoTemporaneo = 6;

[[noreturn]] void Lancia(const char* cosa) {
  throw std::system_error(errno, std::generic_category(), cosa);
}

}  // namespace

BloccoCartellaRegistro::BloccoCartellaRegistro(const std::filesystem::path& cartella) {
  std::filesystem::create_directories(cartella);
  fd_ = Descrittore(::open(cartella.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd_.Fd() < 0) Lancia("open");
  while (::flock(fd_.Fd(), LOCK_EX) != 0) {
    if (errno != EINTR) Lancia("flock");
  }
}

LetturaFileRegistro LeggiFileRegistro(const std::filesystem::path& file, std::size_t limite) {
  LetturaFileRegistro l;
  const Descrittore fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Fd() < 0) {
    if (errno != ENOENT) {
      l.esiste = true;
      l.errore = errno;
      l.firma = file.string() + ":" + std::to_string(errno);
    }
    return l;
  }
  l.esiste = true;
  struct stat st {};
  if (::fstat(fd.Fd(), &st) != 0) {
    l.errore = errno;
  } else if (!S_ISREG(st.st_mode)) {
    l.errore = EISDIR;
  } else if (static_cast<std::size_t>(st.st_size) > limite) {
    l.errore = EFBIG;
  }
  l.firma = file.string() + ":" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) +
            ":" + std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
            std::to_string(st.st_mtim.tv_nsec);
  if (l.errore != 0) return l;
  l.contenuto.resize(static_cast<std::size_t>(st.st_size));
  std::size_t letti = 0;
  while (true) {
    if (letti == l.contenuto.size()) l.contenuto.resize(letti + 4096);
    const ssize_t n = ::read(fd.Fd(), l.contenuto.data() + letti, l.contenuto.size() - letti);
    if (n < 0) {
      if (errno == EINTR) continue;
      l.errore = errno;
      break;
    }
    if (n == 0) break;
    letti += static_cast<std::size_t>(n);
    if (letti > limite) {
      l.errore = EFBIG;
      break;
    }
  }
  l.contenuto.resize(letti);
  return l;
}

void ScriviFileAtomico(const std::filesystem::path& file, std::string_view contenuto, mode_t modo,
                       const OsservatoreScritturaRegistro& osservatore) {
  const std::filesystem::path cartella = file.parent_path();
  std::string modello = (cartella / (PrefissoTemporaneo(file) + "XXXXXX")).string();
  const int fd = ::mkstemp(modello.data());
  if (fd < 0) Lancia("mkstemp");
  Descrittore temporaneo(fd);
  const std::filesystem::path percorsoTemporaneo = modello;
  try {
    if (::fchmod(temporaneo.Fd(), modo) != 0) Lancia("fchmod");
    ScriviTutto(temporaneo.Fd(), contenuto);
    if (::fsync(temporaneo.Fd()) != 0) Lancia("fsync");
    if (!temporaneo.Chiudi()) Lancia("close");
    if (osservatore) osservatore(percorsoTemporaneo, file);
    if (::rename(percorsoTemporaneo.c_str(), file.c_str()) != 0) Lancia("rename");
  } catch (...) {
    ::unlink(percorsoTemporaneo.c_str());
    throw;
  }
  // The rename itself reaches the disk with the folder.
  const Descrittore dir(::open(cartella.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.Fd() >= 0) ::fsync(dir.Fd());
}

void RimuoviTemporaneiOrfani(const std::filesystem::path& file) {
  const std::string prefisso = PrefissoTemporaneo(file);
  std::error_code ec;
  for (const auto& voce : std::filesystem::directory_iterator(file.parent_path(), ec)) {
    const std::string nome = voce.path().filename().string();
    if (nome.size() == prefisso.size() + kSuffissoTemporaneo &&
        nome.compare(0, prefisso.size(), prefisso) == 0) {
      std::filesystem::remove(voce.path(), ec);
    }
  }
}

}  // namespace platform
