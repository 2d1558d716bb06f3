#pragma once

#include <QMainWindow>
#include <filesystem>
#include <string>
#include <vector>

class QLabel;

namespace brisko {

class FoglioProprieta;
class PropertyBagIni;
class xpVantelTab;

/// The designer's window: a form holding one live xpVantelTab (it answers
/// the pointer and the keys as in a program), its property sheet, and the
/// opening and saving of its state file.
class FinestraDesigner : public QMainWindow {
 public:
  /// Opens `stato`; a file that does not exist yet starts a new control,
  /// which Save writes there. Throws ErroreControllo for a file that
  /// cannot be read.
  explicit FinestraDesigner(std::filesystem::path stato);

  [[nodiscard]] xpVantelTab& Controllo() const noexcept { return *controllo_; }
  [[nodiscard]] FoglioProprieta& Foglio() const noexcept { return *foglio_; }
  /// Writes the control's state to `file`; false when it failed (shown).
  bool Salva(const std::filesystem::path& file);
  /// Loads `file` into a new control; false when it failed (shown).
  bool Apri(const std::filesystem::path& file);
  /// What the latest loaded state could use only in part (a picture file
  /// that is missing, ...), also shown in a warning.
  [[nodiscard]] const std::vector<std::string>& Avvisi() const noexcept { return avvisi_; }

 protected:
  void closeEvent(QCloseEvent* evento) override;

 private:
  void Sostituisci(xpVantelTab* nuovo);
  void AggiornaTitolo();
  void MostraAvvisi(const PropertyBagIni& bag);

  std::filesystem::path stato_;
  QWidget* modulo_;
  xpVantelTab* controllo_ = nullptr;
  FoglioProprieta* foglio_;
  QLabel* eventi_;
  bool modificato_ = false;
  std::vector<std::string> avvisi_;
};

}  // namespace brisko
