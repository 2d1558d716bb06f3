#include "tests/support/AltroUtente.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace orvane::test {

int ComeAltroUtente(const std::function<int()>& prova) {
  // What this process has buffered must not be written twice.
  std::fflush(nullptr);
  const pid_t pid = ::fork();
  if (pid < 0) return -1;
  if (pid == 0) {
    int codice = 101;
    try {
      codice = ::setgid(kUtenteNessuno) == 0 && ::setuid(kUtenteNessuno) == 0 ? prova() : 100;
    } catch (...) {
    }
    ::_exit(codice);
  }
  int stato = 0;
  while (::waitpid(pid, &stato, 0) < 0) {
    if (errno != EINTR) return -1;
  }
  return WIFEXITED(stato) ? WEXITSTATUS(stato) : -1;
}

}  // namespace orvane::test
