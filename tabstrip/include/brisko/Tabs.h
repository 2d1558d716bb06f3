#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "brisko/Esporta.h"
#include "brisko/Immagine.h"
#include "brisko/xpVantelTab.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QToolButton;

namespace brisko {

class ErroreControllo;

/// The property page "Tabs": edits one tab of an xpVantelTab at a time (its
/// caption, width and picture) and adds and deletes tabs. Its controls carry
/// their names as objectName: hsb, txtIndex, txt(0), txt(1), Frame1, picTab,
/// cmdOpenDlg, cmdDel, cmdAddTab, cmdDelete.
///
/// The property sheet that hosts it calls SelectionChanged when it starts
/// editing a control and ApplyChanges on Apply or OK, and clears the changed
/// flag after a successful apply. A failure the page meets on its own
/// (moving to another tab, adding or deleting a tab, loading a picture) is
/// reported through Errore; ApplyChanges throws to the sheet.
class BRISKO_API Tabs : public QWidget {
  Q_OBJECT

 public:
  explicit Tabs(QWidget* parent = nullptr);
  ~Tabs() override;

  /// The control to edit (none: the page shows nothing).
  void SelectionChanged(xpVantelTab* controllo);
  /// Writes the shown caption, width and picture into the current tab.
  /// Throws ErroreControllo: 13 for a width that is not a number (the
  /// caption is written already), 6 for one beyond the 32-bit range or that
  /// the control cannot paint (the tab keeps its width), 9 when there is no
  /// tab to write into.
  void ApplyChanges();

  [[nodiscard]] bool Changed() const noexcept { return changed_; }
  void SetChanged(bool valore);
  /// The tab the page shows and will apply; 0 before a control with tabs.
  [[nodiscard]] std::int32_t IndiceCorrente() const noexcept { return indice_; }
  /// The picture shown in picTab.
  [[nodiscard]] const std::shared_ptr<Immagine>& Figura() const noexcept { return figura_; }

 signals:
  /// The changed flag moved: the sheet enables or disables its Apply.
  void ChangedChanged(bool changed);
  /// A failure with its message, for the sheet to show.
  void Errore(const QString& messaggio);

 private:
  void hsbChange();
  void cmdAddTabClick();
  void cmdDeleteClick();
  void cmdOpenDlgClick();
  void cmdDelClick();
  void MostraFigura(std::shared_ptr<Immagine> figura);
  void Segnala(const QString& azione, const ErroreControllo& errore);

  QPointer<xpVantelTab> controllo_;
  std::int32_t indice_ = 0;
  bool changed_ = false;
  std::shared_ptr<Immagine> figura_;
  QScrollBar* hsb_;
  QLineEdit* txtIndex_;
  QLineEdit* txt0_;
  QLineEdit* txt1_;
  QLabel* picTab_;
  QToolButton* cmdOpenDlg_;
  QToolButton* cmdDel_;
  QPushButton* cmdAddTab_;
  QPushButton* cmdDelete_;
};

}  // namespace brisko
