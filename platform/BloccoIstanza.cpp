#include "platform/BloccoIstanza.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace platform {

std::optional<BloccoIstanza> BloccoIstanza::Acquisisci(const std::filesystem::path& file) {
  Descrittore fd(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
  if (fd.Fd() < 0) throw std::system_error(errno, std::generic_category(), file.string());
  if (::flock(fd.Fd(), LOCK_EX | LOCK_NB) != 0) {
    const int errore = errno;
    if (errore == EWOULDBLOCK) return std::nullopt;
    throw std::system_error(errore, std::generic_category(), file.string());
  }
  return BloccoIstanza(std::move(fd));
}

}  // namespace platform
