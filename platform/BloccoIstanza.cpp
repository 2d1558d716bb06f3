#include "platform/BloccoIstanza.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace platform {

std::optional<BloccoIstanza> BloccoIstanza::Acquisisci(const std::filesystem::path& file) {
  const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) throw std::system_error(errno, std::generic_category(), file.string());
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int errore = errno;
    ::close(fd);
    if (errore == EWOULDBLOCK) return std::nullopt;
    throw std::system_error(errore, std::generic_category(), file.string());
  }
  return BloccoIstanza(fd);
}

BloccoIstanza::BloccoIstanza(BloccoIstanza&& altro) noexcept : fd_(std::exchange(altro.fd_, -1)) {}

BloccoIstanza& BloccoIstanza::operator=(BloccoIstanza&& altro) noexcept {
  if (this != &altro) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(altro.fd_, -1);
  }
  return *this;
}

BloccoIstanza::~BloccoIstanza() {
  if (fd_ >= 0) ::close(fd_);  // closing the descriptor releases the lock
}

}  // namespace platform
