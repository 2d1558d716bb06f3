#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FinestraSciolta.h"
#include "quomaro/Recordset.h"
#include "tests/support/MacchinaFinta.h"
#include "updater/CicloControllo.h"
#include "updater/ElencoAggiornamenti.h"
#include "updater/StatoFinestra.h"

namespace tervan::test {

/// An open, empty file list with the service's seven columns, for a test to
/// add its packages to; the size column of the given persisted type.
[[nodiscard]] quomaro::Recordset ElencoFileVuoto(const char* tipoDimensione = "int");

/// The names in a folder, sorted; none when it is not there.
[[nodiscard]] std::vector<std::string> Contenuto(const std::filesystem::path& cartella);

/// The management program alone installed, for customer ROSSI, with its
/// data folder.
void InstallaTarvik();

/// Runs `azione` with `pompa` as the window's and Quomaro's message pump.
void ConPompa(const std::function<void()>& pompa, const std::function<void()>& azione);

/// The check cycle and the update list on loose controls, with a local
/// store of their own in a fake machine's program folder: no window.
class BancoFinestra : public FinestraSciolta {
 public:
  BancoFinestra();
  ~BancoFinestra();
  BancoFinestra(const BancoFinestra&) = delete;
  BancoFinestra& operator=(const BancoFinestra&) = delete;

  /// Adds a program row to the store.
  void Programma(const std::string& softxx, const std::string& userid,
                 const std::string& FreQue = "00:00:30", const std::string& ultima = "",
                 const std::string& PercXx = "");
  /// The stored `ultima` of a program.
  [[nodiscard]] std::string Ultima(const std::string& softxx);
  /// Codes and programs of the data rows, "code/program" each.
  [[nodiscard]] std::vector<std::string> Elencati() const;

  orvane::test::MacchinaFinta macchina;
  StatoFinestra stato;
  ElencoAggiornamenti elenco{stato, controlli};
  std::function<void()> verifica;
  CicloControllo ciclo{stato, controlli, elenco, [this] {
                         if (verifica) verifica();
                       }};
};

}  // namespace tervan::test
