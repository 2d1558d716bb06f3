#include "platform/BloccoCartella.h"

#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <thread>

#include "platform/FileAtomico.h"

namespace platform {

BloccoCartella::BloccoCartella(const std::filesystem::path& cartella,
                               std::chrono::milliseconds attesaMassima) {
  const std::filesystem::path percorso = cartella.empty() ? "." : cartella;
  fd_ = ApriCartellaPrivata(percorso, false);
  // Whoever may open the folder may take the lock too, and keep it: the
  // wait is bounded, with pauses that grow from 1 to 50 ms, since the
  // writers of the folder hold it for milliseconds.
  const auto fine = std::chrono::steady_clock::now() + attesaMassima;
  std::chrono::milliseconds pausa{1};
  while (::flock(fd_.Fd(), LOCK_EX | LOCK_NB) != 0) {
    const int errore = errno;
    if (errore == EINTR) continue;
    if (errore != EWOULDBLOCK || std::chrono::steady_clock::now() >= fine)
      throw std::system_error(errore, std::generic_category(), percorso.string());
    std::this_thread::sleep_for(pausa);
    pausa = std::min(pausa * 2, std::chrono::milliseconds{50});
  }
}

}  // namespace platform
