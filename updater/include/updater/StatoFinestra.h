#pragma once

#include <memory>
#include <string>

#include "common/basUtilxx.h"
#include "quomaro/clsCA.h"
#include "updater/RecordsetLocale.h"
#include "updater/envAggior.h"

namespace tervan {

/// Where the window stands with the tray; the letters are the values this
/// state had as text, as the yes/no values of the store are written.
enum class StatoVassoio {
  /// "": the window is shown normally (neither of the others).
  Nessuno,
  /// "S": the program hid the window into the tray with periodic checking on.
  Nascosto,
  /// "N": the user brought the window back from the tray.
  Riaperto,
};

/// What the main window shares with the check cycle, the update list, the
/// download run and the discovery of installed programs. The window owns one
/// and hands it to each of them, so each can run without a window.
struct StatoFinestra {
  /// A request to close the window ends the program.
  bool ChiusuraConsentita = false;
  /// Where the window stands with the tray.
  StatoVassoio stato = StatoVassoio::Nessuno;
  /// The last discovery of installed programs completed.
  bool VerificaCompleta = false;
  /// The last discovery ran to its end but found programs without a
  /// customer identifier yet: the other programs' rows are up to date, and
  /// can be checked while those wait for theirs.
  bool SoloClientiMancanti = false;
  /// Customer identifier of the program the check cycle is processing.
  std::string UtenteCorrente;
  /// The service client of the latest exchange; replaced at every exchange.
  std::shared_ptr<quomaro::clsCA> ServizioCA;
  /// Session identifier of the current search (32 hexadecimal digits); empty
  /// until the first search of this run.
  std::string IdSessione;
  /// The management program's user settings of the last discovery that found it.
  orvane::DatiUtente DatiUtente;
  /// The desktop session is ending: work in progress is abandoned and the
  /// program closes as soon as nothing runs.
  bool SessioneFinita = false;
  /// The local store and the current-rows view of its table AGGIOR.
  std::unique_ptr<envAggior> Archivio;
  std::shared_ptr<RecordsetLocale> rsAGGIOR;
};

}  // namespace tervan
