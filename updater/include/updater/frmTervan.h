#pragma once

#include <QWidget>
#include <memory>
#include <string>

#include "common/basUtilxx.h"
#include "updater/RecordsetLocale.h"
#include "updater/envAggior.h"

namespace tervan {

/// Tervan's main window and the state it shares with the check cycle, the
/// update list and the download run.
///
/// The window's controls, tray icon and timer arrive with the window work;
/// what it does now is its load sequence up to the discovery of installed
/// programs, which brings the local store in step with the machine, and
/// then showing itself (or staying hidden when started with "VERIFICA").
class frmTervan : public QWidget {
 public:
  static constexpr const char* kTitolo = "Aggiornamenti automatici - Orvane Software";

  frmTervan();
  frmTervan(const frmTervan&) = delete;
  frmTervan& operator=(const frmTervan&) = delete;
  ~frmTervan() override;

  /// The load sequence, run once when the program loads the window.
  void Form_Load();

  /// Finds the maker's installed programs and brings the store's table
  /// AGGIOR in step: one row per installed program or module, rows of
  /// removed programs deleted.
  void VerificaProgrammiInstallati();

  /// True when the load sequence ended the program.
  [[nodiscard]] bool ProgrammaTerminato() const noexcept { return programmaTerminato_; }

  // State shared with the check cycle, the update list and the download run.
  bool ChiusuraConsentita = false;
  std::string stato;
  bool VerificaCompleta = false;
  std::string UtenteCorrente;
  std::string IdSessione;
  /// The management program's user settings of the last pass that found it.
  orvane::DatiUtente DatiUtente;
  /// The local store and the window's current-rows view of it.
  std::unique_ptr<envAggior> Archivio;
  std::shared_ptr<RecordsetLocale> rsAGGIOR;

 private:
  void ScriviRiga(const std::string& softxx, const std::string& PercXx, const std::string& Server,
                  const std::string& Filexx, const std::string& userid);

  bool programmaTerminato_ = false;
};

}  // namespace tervan
