// Loaded ahead of Tervan (LD_PRELOAD): a connection asked without waiting
// to a Unix socket named "bus" is refused, so Tervan's quick look at the
// session bus finds nothing there, while the bus library's own connection
// goes through to a bus that never answers. Tervan is then held as by a
// wait without end that it could not foresee.
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <cerrno>
#include <string_view>

extern "C" __attribute__((visibility("default"))) int connect(int fd, const sockaddr* indirizzo,
                                                              socklen_t lunghezza) {
  using Connect = int (*)(int, const sockaddr*, socklen_t);
  static const auto vera = reinterpret_cast<Connect>(dlsym(RTLD_NEXT, "connect"));
  if (indirizzo != nullptr && indirizzo->sa_family == AF_UNIX &&
      (::fcntl(fd, F_GETFL) & O_NONBLOCK) != 0 &&
      std::string_view(reinterpret_cast<const sockaddr_un*>(indirizzo)->sun_path)
          .ends_with("/bus")) {
    errno = ECONNREFUSED;
    return -1;
  }
  return vera(fd, indirizzo, lunghezza);
}
