#include "platform/UscitaStandard.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>

namespace platform {
namespace {

// Whether standard output was closed at the start and now stands on
// /dev/full: its writes then fail with ENOSPC, which would misname why.
bool g_uscitaChiusa = false;

bool Aperto(int fd) noexcept {
  return ::fcntl(fd, F_GETFD) != -1 || errno != EBADF;
}

}  // namespace

void RiapriDescrittoriStandard() noexcept {
  for (const int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) {
    if (Aperto(fd)) continue;
    const bool uscita = fd == STDOUT_FILENO;
    // The lowest free number is the one just found closed.
    const int nuovo =
        ::open(uscita ? "/dev/full" : "/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
    if (nuovo != fd) {
      if (nuovo >= 0) ::close(nuovo);
      continue;
    }
    if (uscita) g_uscitaChiusa = true;
  }
}

int UscitaStandardScritta(int esito, std::string_view prefisso) noexcept {
  errno = 0;
  std::cout.flush();
  const bool scritta = std::fflush(stdout) == 0 && std::ferror(stdout) == 0 && !std::cout.fail();
  if (scritta) return esito;
  const int errore = errno;
  std::cerr << prefisso << "impossibile scrivere sull'uscita standard: "
            << (g_uscitaChiusa ? "uscita standard chiusa"
                : errore != 0  ? std::strerror(errore)
                               : "scrittura non riuscita")
            << "\n";
  std::cerr.flush();
  return esito == 0 ? 1 : esito;
}

}  // namespace platform
