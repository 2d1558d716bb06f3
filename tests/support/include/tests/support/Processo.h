#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane::test {

/// A child process started without a shell (a bare name is looked up in
/// PATH), with extra environment
/// variables; its standard output and error go to files in `uscite` (or are
/// inherited when no folder is given). Killed when the object goes.
class Processo {
 public:
  Processo(const std::filesystem::path& programma, const std::vector<std::string>& argomenti,
           const std::map<std::string, std::string>& ambiente = {},
           const std::optional<std::filesystem::path>& uscite = std::nullopt);
  ~Processo();
  Processo(const Processo&) = delete;
  Processo& operator=(const Processo&) = delete;

  /// The exit code once the process ends within `limite`; std::nullopt
  /// while it is still running (or when it died of a signal: -signal).
  std::optional<int> Attendi(std::chrono::milliseconds limite);
  [[nodiscard]] bool InEsecuzione();
  /// Sends a signal (unless it has ended) and waits for the end: the exit code.
  int Termina(int segnale);
  [[nodiscard]] pid_t Pid() const noexcept { return pid_; }

 private:
  pid_t pid_ = -1;
  std::optional<int> esito_;
};

/// What follows `dopo` on the first whole line of `file` that holds it, once
/// the running `processo` has written it there; "" when the process ended
/// first or `limite` passed. For children that say where they listen.
std::string AttendiRiga(Processo& processo, const std::filesystem::path& file,
                        std::string_view dopo, std::chrono::milliseconds limite);

/// How a program that was run to its end ended, and what it printed.
struct Esito {
  int codice = -1;
  std::string out;
  std::string err;
};

/// Has a child preload `libreria` (a fault shim): named alone in LD_PRELOAD
/// and found through its folder, put first in LD_LIBRARY_PATH. ld.so splits
/// LD_PRELOAD at blanks and colons and only warns of a name it cannot open,
/// so a library below a folder such as "Progetti Città" would never load,
/// and a case expecting the same end with it would pass without it.
void Precarica(std::map<std::string, std::string>& ambiente, const std::filesystem::path& libreria);

/// Whether a program of that name is in one of the folders of $PATH.
[[nodiscard]] bool NelPath(const std::string& programma);

/// Runs a program to its end (killed after `limite`, code -1000).
Esito Esegui(const std::filesystem::path& programma, const std::vector<std::string>& argomenti,
             const std::map<std::string, std::string>& ambiente = {},
             std::chrono::milliseconds limite = std::chrono::minutes(1));

}  // namespace orvane::test
