#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/Processo.h"

namespace orvane::test {

/// Tervan installed in a program folder of its own (the build's program,
/// its libraries and an empty store) and started as real processes on the
/// offscreen platform. Each start keeps its standard output and error in a
/// folder of its own beside the program folder. The environment of the test
/// (a MacchinaFinta's folders, the server addresses) passes on to every start.
class TervanFiglio {
 public:
  /// Installs into `cartella`, which is created.
  explicit TervanFiglio(std::filesystem::path cartella);

  [[nodiscard]] const std::filesystem::path& Cartella() const noexcept { return cartella_; }
  /// The file whose lock marks a running Tervan of this user and session.
  [[nodiscard]] std::filesystem::path FileBlocco() const;

  /// Starts Tervan with `argomenti` and `ambiente` on top of the test's own.
  std::unique_ptr<Processo> Avvia(const std::vector<std::string>& argomenti = {},
                                  const std::map<std::string, std::string>& ambiente = {});
  /// What start `avvio` (1 for the first) wrote to standard output or error.
  [[nodiscard]] std::string Uscita(int avvio) const;
  [[nodiscard]] std::string Errori(int avvio) const;

  /// Waits until `tervan` holds the instance lock; false when it ended
  /// first or `limite` passed.
  bool AttendiBlocco(Processo& tervan,
                     std::chrono::milliseconds limite = std::chrono::minutes(1)) const;
  /// Whether process `pid` holds the instance lock, as the kernel lists it.
  /// Tests never take the lock themselves: a Tervan starting at that moment
  /// would believe another instance runs.
  [[nodiscard]] bool TieneBlocco(pid_t pid) const;

 private:
  [[nodiscard]] std::filesystem::path Uscite(int avvio) const;

  std::filesystem::path cartella_;
  int avvii_ = 0;
};

/// Writes a setting of the maker's programs for the current user, under
/// `chiave` (such as TARVIKX\Licenza) of their settings key.
void Impostazione(const std::string& chiave, const std::string& nome, const std::string& valore);

/// The data folders of the maker's three programs as InstallaProgrammi sets
/// them up, as local paths.
struct CartelleDati {
  std::filesystem::path tarvik;  // the management program
  std::filesystem::path morlen;  // the five modules of the property-management program
  std::filesystem::path selvor;  // the agency program
};

/// Installs the three programs on the machine the environment names (a
/// MacchinaFinta): their program folders, their data folders and the
/// settings discovery reads, all with customer identifier `cliente`.
CartelleDati InstallaProgrammi(const std::string& cliente);

}  // namespace orvane::test
