#include "platform/BloccoIstanza.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace platform {

std::optional<BloccoIstanza> BloccoIstanza::Acquisisci(const std::filesystem::path& file) {
  Descrittore fd(::open(file.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644));
  // A lock file that another user created may be read-only for us: flock
  // works on any descriptor, so reading is enough to see a running instance
  // and to hold the lock for ours.
  int errore = fd.Fd() < 0 ? errno : 0;
  if (errore == EACCES || errore == EPERM || errore == EROFS) {
    const int sola = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    errore = sola < 0 ? errno : 0;
    fd = Descrittore(sola);
  }
  if (errore != 0) throw std::system_error(errore, std::generic_category(), file.string());
  if (::flock(fd.Fd(), LOCK_EX | LOCK_NB) != 0) {
    errore = errno;
    if (errore == EWOULDBLOCK) return std::nullopt;
    throw std::system_error(errore, std::generic_category(), file.string());
  }
  return BloccoIstanza(std::move(fd));
}

}  // namespace platform
