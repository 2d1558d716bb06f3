#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QWidget>
#include <string>

#include "updater/NotifyIconCtrl.h"

namespace tervan {

/// A one-line label that takes the width its row gives it and asks for no
/// more: a text longer than that ends in "…" on screen (text() keeps it
/// whole), where a plain QLabel would widen the window to show it all, past
/// the screen for a long package description.
class RigaTesto : public QLabel {
 public:
  explicit RigaTesto(QWidget* genitore);

 protected:
  void paintEvent(QPaintEvent* evento) override;
};

/// The controls of the main window that the check cycle, the update list and
/// the download run read and write, under the window's own names. The window
/// hands its own; a test hands loose widgets. Build it with designated
/// initialisers, so each control goes to its role whatever the order:
///   ControlliFinestra{.finestra = w, .Check1 = c, ...}
struct ControlliFinestra {
  /// The window itself: whether it is in use, and its repaint before a
  /// list request.
  QWidget& finestra;
  /// "Esegui il controllo all'avvio del sistema operativo": start the check
  /// at log-on; hidden in live mode.
  QCheckBox& Check1;
  /// "Aggiorna ogni", the caption of the interval list; hidden in live mode.
  QLabel& Label3;
  /// The check interval ("15 minuti", "30 minuti", "1 ora"); hidden in live
  /// mode.
  QComboBox& Combo1;
  /// The date of the last update of the program being checked; disabled
  /// while an exchange with the service runs.
  QLineEdit& Text1;
  /// The update list: two rows per package, data row and note row.
  QTableWidget& grdAggior;
  /// The status line: what the search, the list and the download are doing.
  QLabel& Label2;
  /// The count line: how many updates the list holds after a search.
  QLabel& Label4;
  /// The progress line of a download run: which package arrives.
  QLabel& Label1;
  /// The progress bar of the package that arrives.
  QProgressBar& vbalProg;
  /// "Nascondi": hide into the tray; hidden in live mode.
  QPushButton& Command_Nas;
  /// "Esc-Uscita": exit or hide. Disabled while a search or an exchange with
  /// the service runs, which is the window's busy signal: no exit and no
  /// close ends the program then.
  QPushButton& Command_Esc;
  /// The tray icon: balloons when the window is not in use.
  NotifyIconCtrl& NotifyIconCtrl1;

  static constexpr const char* kTitoloAvvisi = "Aggiornamenti Orvane Software";

  [[nodiscard]] bool FinestraVisibile() const;

  /// Tells the user of a failure: a message box (exclamation icon, OK) when
  /// the program was started without arguments and its window is in use,
  /// otherwise a 3000 ms tray balloon; both titled "Aggiornamenti Orvane
  /// Software".
  void Segnala(const std::string& testo) const;

  /// Sets a label's text and repaints it at once, as long work on the
  /// window's thread shows its progress.
  static void Scrivi(QLabel& etichetta, const std::string& testo);
};

}  // namespace tervan
