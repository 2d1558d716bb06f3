#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPoint>
#include <QProgressBar>
#include <QPushButton>
#include <QRect>
#include <QSocketNotifier>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/clsEditxx.h"
#include "updater/CicloControllo.h"
#include "updater/ControlliFinestra.h"
#include "updater/ElencoAggiornamenti.h"
#include "updater/NotifyIconCtrl.h"
#include "updater/ScaricamentoAggiornamenti.h"
#include "updater/StatoFinestra.h"

namespace brisko {
class xpVantelTab;
}  // namespace brisko

namespace tervan {

/// Tervan's main window: the update list, the bar of command buttons, the
/// two check settings, the date of the last update, the status lines, the
/// tray icon with its menu and the timer of the periodic check.
///
/// The state it shares with the check cycle, the list, the download run and
/// the discovery lives in one StatoFinestra that it owns. The program ends
/// only when a request to close the window is granted: hiding the window, or
/// closing a message box while it is hidden, never ends it.
class frmTervan : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kTitolo = "Aggiornamenti automatici - Orvane Software";
  static constexpr int kIntervalloRicerca = 60000;
  /// The environment variable that shortens the check interval (in
  /// milliseconds, 100 to kIntervalloRicerca) for tests and the demo; any
  /// other value leaves kIntervalloRicerca.
  static constexpr const char* kVariabileIntervallo = "TERVAN_INTERVALLO_RICERCA_MS";
  [[nodiscard]] static int IntervalloRicerca();

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

  /// The load sequence ended the program (no program of the maker is
  /// installed): the caller does not enter the event loop.
  [[nodiscard]] bool CaricamentoTerminato() const noexcept { return caricamentoTerminato_; }

  /// Selects the interval entry that a stored interval text names.
  void VisuaCampi(const std::string& Freque);

  /// The value of the autostart list that starts Tervan at log-on.
  static constexpr const char* kChiaveAvvio =
      R"(HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Run)";
  static constexpr const char* kValoreAvvio = "Orvane Software - Aggiornamenti automatici";

  /// Ends the program as a granted close does when the desktop session
  /// ends: `descrittore` becomes readable (SIGTERM, SIGHUP, SIGINT), `svuota` reads
  /// it empty. A download in progress is abandoned first.
  void OsservaFineSessione(int descrittore, std::function<void()> svuota);
  void FineSessione();

  /// A second start of Tervan asks for the window: where the desktop has no
  /// notification area it is brought up as the tray icon's left button
  /// brings it (shown, checking stopped). Not while a download runs, nor
  /// before the load completed or after the close. True when shown.
  bool MostraDaAltroAvvio();

  /// Decides whether a request to close the window is granted.
  void Form_QueryUnload(bool& Cancel);
  /// Passes a key of the window, or of any of its controls, to the
  /// entry-field class, which turns function keys into the commands.
  void Form_KeyDown(int& KeyCode, int Shift);

  /// Shows a tray balloon: text, title and display time in milliseconds.
  void MostraFumetto(const std::string& Testo, const std::string& Titolo, int Durata);

  [[nodiscard]] StatoFinestra& Stato() noexcept { return stato_; }
  [[nodiscard]] ControlliFinestra& Controlli() noexcept { return controlli_; }
  [[nodiscard]] ElencoAggiornamenti& Elenco() noexcept { return elenco_; }
  [[nodiscard]] CicloControllo& Ciclo() noexcept { return ciclo_; }
  [[nodiscard]] ScaricamentoAggiornamenti& Scaricamento() noexcept { return scaricamento_; }
  [[nodiscard]] NotifyIconCtrl& Tray() noexcept { return NotifyIconCtrl1_; }
  [[nodiscard]] QTimer& tmrRicerca() noexcept { return tmrRicerca_; }
  [[nodiscard]] QMenu& mnuVestrum() noexcept { return mnuVestrum_; }

  /// Where a window whose frame was `cornice` when hidden comes back: moved
  /// the least that puts it within `area`, its top-left corner in view when
  /// it is larger.
  [[nodiscard]] static QPoint PosizioneRitorno(const QRect& cornice, const QRect& area);

 public slots:
  void Command_F1_Click();
  void Command_F4_Click();
  void Command_F5_Click();
  void Command_F8_Click();
  void Command_F10_Click();
  void Command_Nas_Click();
  void Command_Esc_Click();
  void Escixx_Click();
  void Check1_Click();
  void Combo1_Click();
  /// The automatic search's tick: the check cycle, or the discovery again
  /// while the last one was incomplete.
  void tmrRicerca_Timer();

 protected:
  void closeEvent(QCloseEvent* evento) override;
  void keyPressEvent(QKeyEvent* evento) override;
  bool eventFilter(QObject* oggetto, QEvent* evento) override;

 private:
  // The stored interval shown by Combo1 (the smallest of the rows), if any.
  std::optional<std::string> IntervalloMemorizzato();
  // The discovery again after the load (a tick or F4 while the last pass
  // was incomplete). The pass writes every row's first interval; the one
  // Combo1 shows is then written back, so the checks keep the user's pace.
  void RipetiVerifica();
  // The builders the constructor runs, in this order.
  /// The controls' names (objectName) and fixed texts.
  void ImpostaTesti();
  /// The tray menu mnuVestrum with its entry Escixx, and the timer.
  void CreaMenuVassoio();
  /// The rows of the window, top to bottom, each made by its own builder.
  void ImpostaLayout();
  [[nodiscard]] QLayout* CreaRigaImpostazioni();
  [[nodiscard]] QWidget* CreaSchede();
  [[nodiscard]] QLayout* CreaRigaStato();
  [[nodiscard]] QLayout* CreaRigaAvanzamento();
  [[nodiscard]] QWidget* CreaBarraPulsanti();
  /// Before the window shows: fits it to a small screen or a large font
  /// (the date on a line of its own, then the buttons that hide or end the
  /// program on a row below the function keys, then the interval beside the
  /// date; the window maximised when it would still not fit).
  void AdattaAlloSchermo();
  /// Buttons, menu, settings, tray, timers and list to their routines.
  void CollegaComandi();
  /// The tab order, and every key of every control through Form_KeyDown.
  void ImpostaTastiera();
  void ScriviRiga(std::string_view softxx, const std::string& PercXx, const std::string& Server,
                  std::string_view Filexx, const std::string& userid);
  void NotifyIconCtrl1_MouseDown(int Button);
  [[nodiscard]] bool HaProgrammi() const;
  void Text1_Validate();
  [[nodiscard]] orvane::clsEditxx& Editxx();

  StatoFinestra stato_;
  // Controls, under the window's own names (also their objectName), created
  // in this order; those the cycle, the list and the download share are
  // described in ControlliFinestra.
  QCheckBox* Check1_ = new QCheckBox(this);           // autostart at log-on
  QLabel* Label3_ = new QLabel(this);                 // "Aggiorna ogni"
  QComboBox* Combo1_ = new QComboBox(this);           // check interval
  QLabel* Label5_ = new QLabel(this);                 // "Data ultimo aggiornamento"
  QLineEdit* Text1_ = new QLineEdit(this);            // date of the last update
  RigaTesto* Label2_ = new RigaTesto(this);           // status line
  RigaTesto* Label1_ = new RigaTesto(this);           // progress line of a download
  QLabel* Label4_ = new QLabel(this);                 // count line of a search
  QLabel* Label6_ = new QLabel(this);                 // version line
  QTableWidget* grdAggior_ = new QTableWidget(this);  // the update list
  QProgressBar* vbalProg_ = new QProgressBar(this);   // download progress
  QFrame* navdat_ = new QFrame(this);                 // holds the command buttons
  QPushButton* Command_F1_ = new QPushButton(this);   // "F1-Guida", no action
  QPushButton* Command_F4_ = new QPushButton(this);   // search now
  QPushButton* Command_F5_ = new QPushButton(this);   // clear all marks
  QPushButton* Command_F8_ = new QPushButton(this);   // mark all
  QPushButton* Command_F10_ = new QPushButton(this);  // download the marked updates
  QPushButton* Command_Nas_ = new QPushButton(this);  // hide into the tray
  QPushButton* Command_Esc_ = new QPushButton(this);  // exit or hide; the busy signal
  // The settings row, and the date of the last update at its end (below
  // it, on a line of its own, on a narrow screen).
  QHBoxLayout* rigaImpostazioni_ = nullptr;
  QHBoxLayout* dataUltimo_ = nullptr;
  QHBoxLayout* intervallo_ = nullptr;  // "Aggiorna ogni" and its list
  QHBoxLayout* rigaData_ = nullptr;    // the date's own line, once made
  // The command buttons on one row; on a narrow screen the version,
  // Nascondi and Esc go to a second row below the function keys.
  QVBoxLayout* barraPulsanti_ = nullptr;
  QHBoxLayout* rigaPulsanti_ = nullptr;
  QHBoxLayout* chiusura_ = nullptr;
  // The tab strip around the grid; the window needs no behaviour of it.
  brisko::xpVantelTab* xpVantelTab1_ = nullptr;
  QMenu mnuVestrum_;
  QAction* Escixx_ = nullptr;
  NotifyIconCtrl NotifyIconCtrl1_;
  QTimer tmrRicerca_;

  ControlliFinestra controlli_;
  ElencoAggiornamenti elenco_;
  CicloControllo ciclo_;
  ScaricamentoAggiornamenti scaricamento_;
  std::optional<orvane::clsEditxx> editxx_;
  // The key event the filter passed on last, so the window does not take
  // it a second time when a control lets it through.
  const QEvent* eventoFiltrato_ = nullptr;
  bool caricamentoTerminato_ = false;
  // The load sequence is running (a box it shows may be open).
  bool caricamentoInCorso_ = false;
  // The frame of the window when Nascondi hid it: where the tray brings it back.
  std::optional<QRect> corniceNascosta_;
  QPoint bordoNascosta_;  // from the frame's corner to the window's
  std::unique_ptr<QSocketNotifier> fineSessione_;
  QTimer chiusuraFineSessione_;
};

}  // namespace tervan
