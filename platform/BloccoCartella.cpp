#include "platform/BloccoCartella.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <system_error>

namespace platform {

BloccoCartella::BloccoCartella(const std::filesystem::path& cartella) {
  const std::filesystem::path percorso = cartella.empty() ? "." : cartella;
  fd_ = Descrittore(::open(percorso.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd_.Fd() < 0) throw std::system_error(errno, std::generic_category(), percorso.string());
  while (::flock(fd_.Fd(), LOCK_EX) != 0) {
    if (errno != EINTR) throw std::system_error(errno, std::generic_category(), percorso.string());
  }
}

}  // namespace platform
