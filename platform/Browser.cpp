#include "platform/Browser.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/Descrittore.h"
#include "platform/Percorsi.h"

namespace platform {
namespace {

std::mutex g_mutex;
PortaBrowser g_porta;

// Waits for the child to end, for at most `attesa`. The exit status once it
// ended; std::nullopt while it still runs.
std::optional<int> AttendiFine(pid_t pid, std::chrono::milliseconds attesa) {
  const auto fine = std::chrono::steady_clock::now() + attesa;
  // A process descriptor lets poll wait for the end without a busy loop.
  const Descrittore pidfd(static_cast<int>(::syscall(SYS_pidfd_open, pid, 0)));
  while (true) {
    int stato = 0;
    const pid_t r = ::waitpid(pid, &stato, WNOHANG);
    if (r == pid) return WIFEXITED(stato) ? WEXITSTATUS(stato) : -1;
    // Someone else reaped it (SIGCHLD ignored): its status is unknown.
    if (r < 0 && errno != EINTR) return 0;
    const auto resto = std::chrono::duration_cast<std::chrono::milliseconds>(
        fine - std::chrono::steady_clock::now());
    if (resto.count() <= 0) break;
    if (pidfd.Fd() >= 0) {
      pollfd p{pidfd.Fd(), POLLIN, 0};
      ::poll(&p, 1, static_cast<int>(resto.count()));
    } else {
      std::this_thread::sleep_for(std::min(resto, std::chrono::milliseconds(50)));
    }
  }
  return std::nullopt;
}

// The user's home folder when it is one, else the root.
std::string CartellaDiAvvio() {
  std::error_code ec;
  const std::filesystem::path casa = CartellaHome();
  return std::filesystem::is_directory(casa, ec) ? casa.string() : "/";
}

}  // namespace

void ImpostaPortaBrowser(PortaBrowser porta) {
  const std::scoped_lock lock(g_mutex);
  g_porta = std::move(porta);
}

bool ApriNelBrowser(const std::string& url) {
  PortaBrowser porta;
  {
    const std::scoped_lock lock(g_mutex);
    porta = g_porta;
  }
  return porta ? porta(url) : ApriConXdgOpen(url);
}

bool ApriConXdgOpen(const std::string& url, std::chrono::milliseconds attesa) {
  std::string programma = "xdg-open";
  std::string indirizzo = url;
  std::vector<char*> argv{programma.data(), indirizzo.data(), nullptr};
  // The browser may outlive this process by far: it gets none of its
  // descriptors beyond the standard three (a library's socket, say, that is
  // not closed on exec), and starts in the user's home folder, not in one
  // this process happened to start in, which it would keep from unmounting.
  const std::string cartella = CartellaDiAvvio();
  posix_spawn_file_actions_t azioni;
  posix_spawn_file_actions_init(&azioni);
  posix_spawn_file_actions_addopen(&azioni, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addclosefrom_np(&azioni, 3);
  posix_spawn_file_actions_addchdir_np(&azioni, cartella.c_str());
  // The browser starts with the signals' default actions and none blocked,
  // whatever this process ignores for itself (the file size limit's signal).
  posix_spawnattr_t attributi;
  posix_spawnattr_init(&attributi);
  sigset_t segnali;
  sigemptyset(&segnali);
  posix_spawnattr_setsigmask(&attributi, &segnali);
  sigaddset(&segnali, SIGXFSZ);
  sigaddset(&segnali, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributi, &segnali);
  posix_spawnattr_setflags(&attributi, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, programma.c_str(), &azioni, &attributi, argv.data(), environ);
  posix_spawnattr_destroy(&attributi);
  posix_spawn_file_actions_destroy(&azioni);
  if (rc != 0) return false;
  if (const auto esito = AttendiFine(pid, attesa)) return *esito == 0;
  // Still running: a browser in the foreground. Reap it when it ends.
  try {
    std::thread([pid] {
      int stato = 0;
      while (::waitpid(pid, &stato, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // No thread to spare: the launcher stays a zombie until this process ends.
  }
  return true;
}

}  // namespace platform
