#pragma once

#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>

namespace orvane::test {

/// The unprivileged user "nobody", as whom tests act as a second user.
inline constexpr uid_t kUtenteNessuno = 65534;

/// Runs `prova` in a child process as the user "nobody" (the caller must be
/// root) and gives its result as the child's exit code: 100 when the child
/// could not become that user, 101 when `prova` threw. Nothing else leaves
/// the child.
inline int ComeAltroUtente(const std::function<int()>& prova) {
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
