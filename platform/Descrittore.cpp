#include "platform/Descrittore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>
#include <system_error>
#include <utility>

namespace platform {

Descrittore::~Descrittore() {
  if (fd_ >= 0) ::close(fd_);
}

Descrittore::Descrittore(Descrittore&& altro) noexcept : fd_(std::exchange(altro.fd_, -1)) {}

Descrittore& Descrittore::operator=(Descrittore&& altro) noexcept {
  if (this != &altro) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(altro.fd_, -1);
  }
  return *this;
}

int Descrittore::Rilascia() noexcept {
  return std::exchange(fd_, -1);
}

bool Descrittore::Chiudi() noexcept {
  // The descriptor is gone after close() whatever it answers, so it is
  // never closed twice.
  const int fd = std::exchange(fd_, -1);
  return fd < 0 || ::close(fd) == 0;
}

void ScriviTutto(int fd, std::string_view dati, std::string_view cosa) {
  while (!dati.empty()) {
    const ssize_t n = ::write(fd, dati.data(), dati.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      const int errore = errno;
      throw std::system_error(errore, std::generic_category(), std::string(cosa));
    }
    dati.remove_prefix(static_cast<std::size_t>(n));
  }
}

void LeggiDaCapo(int fd, const std::function<void(std::string_view)>& blocco,
                 std::string_view cosa) {
  constexpr std::size_t kBlocco = std::size_t{64} * 1024;
  std::string buffer(kBlocco, '\0');
  for (off_t posizione = 0;;) {
    const ssize_t n = ::pread(fd, buffer.data(), buffer.size(), posizione);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int errore = errno;
      throw std::system_error(errore, std::generic_category(), std::string(cosa));
    }
    if (n == 0) return;
    blocco(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
    posizione += n;
  }
}

std::string LeggiAlPiu(int fd, std::size_t massimo, std::string_view cosa) {
  std::string testo(massimo + 1, '\0');
  std::size_t letti = 0;
  while (letti < testo.size()) {
    const ssize_t n =
        ::pread(fd, testo.data() + letti, testo.size() - letti, static_cast<off_t>(letti));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int errore = errno;
      throw std::system_error(errore, std::generic_category(), std::string(cosa));
    }
    if (n == 0) break;
    letti += static_cast<std::size_t>(n);
  }
  testo.resize(letti);
  return testo;
}

Descrittore Duplica(int fd, std::string_view cosa) {
  Descrittore copia(::fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (copia.Fd() < 0) {
    const int errore = errno;
    throw std::system_error(errore, std::generic_category(), std::string(cosa));
  }
  return copia;
}

void RiservaInCoda(int fd, std::size_t n, std::string_view cosa) {
  struct stat st {};
  if (n == 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return;
  while (::fallocate(fd, FALLOC_FL_KEEP_SIZE, st.st_size, static_cast<off_t>(n)) != 0) {
    if (errno == EINTR) continue;
    if (errno == ENOSPC || errno == EDQUOT) {
      const int errore = errno;
      throw std::system_error(errore, std::generic_category(), std::string(cosa));
    }
    return;
  }
}

}  // namespace platform
