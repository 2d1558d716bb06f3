#pragma once

#include <functional>
#include <string>

#include "updater/ControlliFinestra.h"
#include "updater/ElencoAggiornamenti.h"
#include "updater/StatoFinestra.h"

namespace tervan {

/// What an exchange with the update service does (its mode, 0 or 1).
enum class ModoConnessione {
  /// 0: the list request for one program.
  Elenco = 0,
  /// 1: a download run of the marked updates.
  Scaricamento = 1,
};

/// The update check cycle: for every program in the local store whose check
/// is due, one list request to the update service, whose packages go into
/// the update list; then the summary for the user, or, unattended, the
/// download of everything found.
class CicloControllo {
 public:
  /// `verificaProgrammi` runs the discovery of installed programs;
  /// `scaricaAggiornamenti` the download run (an exchange's Scaricamento
  /// mode).
  CicloControllo(StatoFinestra& stato, ControlliFinestra& controlli, ElencoAggiornamenti& elenco,
                 std::function<void()> verificaProgrammi,
                 std::function<void()> scaricaAggiornamenti = {});

  /// The cycle over every stored program. A cycle asked for while one is
  /// running or while a download run holds the list (a timer tick or a key
  /// handled during a wait) is not started.
  void ControlloAggiornamentiORVANE();
  /// One exchange with the service: the list request for `softxx`, or a
  /// download run (`softxx` empty).
  void ConnessioneAggiornamenti(const std::string& softxx, ModoConnessione modo);
  void InizioConnessione();
  void FineConnessione();
  /// Search now, unless a cycle or a download run is under way: a new
  /// session identifier, the discovery when the last one was incomplete,
  /// then the cycle.
  void Command_F4_Click();

  /// Runs `lavoro` (a timer tick's work) as a search runs, with Esc
  /// disabled: a close asked for from a box the work shows ("Esci" in the
  /// tray menu) is refused until the work has let go of the store.
  void Occupato(const std::function<void()>& lavoro);

  /// The download run that mode 1 starts.
  void ImpostaScaricamento(std::function<void()> scaricaAggiornamenti);

  [[nodiscard]] bool InCorso() const noexcept { return cicloInCorso_; }

  static constexpr std::string_view kFumettoTesto =
      "Cliccare sull'icona per fare il download degli aggiornamenti";

 private:
  // Esc disabled while at least one search or exchange runs; enabled again
  // when the outermost one ends, however it ends.
  class EscOccupato;

  [[nodiscard]] bool ControlliCadenzati() const;

  StatoFinestra& stato_;
  ControlliFinestra& controlli_;
  ElencoAggiornamenti& elenco_;
  std::function<void()> verificaProgrammi_;
  std::function<void()> scaricaAggiornamenti_;
  int occupato_ = 0;
  bool cicloInCorso_ = false;
};

}  // namespace tervan
