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

/// The controls of the main window that the check cycle, the update list and
/// the download run read and write. The window hands its own; a test hands
/// loose widgets.
struct ControlliFinestra {
  QWidget& finestra;
  QTableWidget& grdAggior;
  QLabel& Label2;
  QLabel& Label4;
  QLineEdit& Text1;
  QPushButton& Command_Esc;
  QCheckBox& Check1;
  QLabel& Label3;
  QComboBox& Combo1;
  QPushButton& Command_Nas;
  QLabel& Label1;
  QProgressBar& vbalProg;
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
