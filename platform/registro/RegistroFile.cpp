#include "RegistroFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "platform/Descrittore.h"
#include "platform/FileAtomico.h"

namespace platform {
namespace {

// The folder, created first when it is missing: the user's alone, since
// whoever may enter it may also take its lock.
const std::filesystem::path& CartellaCreata(const std::filesystem::path& cartella) {
  CreaCartellePrivate(cartella);
  return cartella;
}

std::string Firma(const std::filesystem::path& file, const struct stat& st) {
  return file.string() + ":" + std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" +
         std::to_string(st.st_size) + ":" + std::to_string(st.st_mtim.tv_sec) + "." +
         std::to_string(st.st_mtim.tv_nsec);
}

}  // namespace

std::string FirmaFileRegistro(const std::filesystem::path& file) {
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return {};
  return Firma(file, st);
}

BloccoCartellaRegistro::BloccoCartellaRegistro(const std::filesystem::path& cartella)
    : blocco_(CartellaCreata(cartella)) {}

LetturaFileRegistro LeggiFileRegistro(const std::filesystem::path& file, std::size_t limite) {
  LetturaFileRegistro l;
  // Without O_NONBLOCK a FIFO in the file's place would block the open
  // until some writer came; regular files ignore the flag.
  const Descrittore fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
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
    // Only a regular file is read: a FIFO, a device or a socket could
    // block or never end.
    l.errore = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
  } else if (static_cast<std::size_t>(st.st_size) > limite) {
    l.errore = EFBIG;
  }
  l.firma = Firma(file, st);
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

}  // namespace platform
