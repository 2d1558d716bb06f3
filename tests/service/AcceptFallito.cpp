// Loaded ahead of the service (LD_PRELOAD): the first connection it
// accepts fails with ENFILE, as when the system's file table is full for
// a moment; the others are taken as usual.
#include <dlfcn.h>
#include <sys/socket.h>

#include <atomic>
#include <cerrno>

namespace {

std::atomic<bool> g_fallito{false};

bool FalliscaOra() {
  if (g_fallito.exchange(true)) return false;
  errno = ENFILE;
  return true;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int accept(int fd, sockaddr* indirizzo,
                                                             socklen_t* lunghezza) {
  using Accetta = int (*)(int, sockaddr*, socklen_t*);
  static const auto vera = reinterpret_cast<Accetta>(::dlsym(RTLD_NEXT, "accept"));
  return FalliscaOra() ? -1 : vera(fd, indirizzo, lunghezza);
}

extern "C" __attribute__((visibility("default"))) int accept4(int fd, sockaddr* indirizzo,
                                                              socklen_t* lunghezza, int modi) {
  using Accetta = int (*)(int, sockaddr*, socklen_t*, int);
  static const auto vera = reinterpret_cast<Accetta>(::dlsym(RTLD_NEXT, "accept4"));
  return FalliscaOra() ? -1 : vera(fd, indirizzo, lunghezza, modi);
}
