#pragma once

#include <QDialog>
#include <functional>
#include <vector>

class QDialogButtonBox;
class QTabWidget;

namespace brisko {

class Tabs;
class xpVantelTab;

/// The designer's property sheet: the pages "Tabs", "Font" and "Color" of
/// one xpVantelTab with OK, Cancel and Apply. Apply is enabled while a page
/// holds changes; a failed apply is shown and leaves the changes pending.
class FoglioProprieta : public QDialog {
 public:
  explicit FoglioProprieta(QWidget* parent = nullptr);

  /// Edits `controllo` (none: the pages show nothing). Pending changes are
  /// dropped.
  void Modifica(xpVantelTab* controllo);
  /// Applies every page's changes; false when one failed (it was shown).
  bool Applica();
  [[nodiscard]] Tabs& PaginaTabs() const noexcept { return *tabs_; }

 private:
  // A page of the sheet: it shows a control's values, tells when the user
  // changed them and writes them back.
  struct Pagina {
    std::function<void(xpVantelTab*)> mostra;
    std::function<void(xpVantelTab&)> applica;
    std::function<bool()> cambiata;
    std::function<void()> pulisci;
  };
  void AggiornaApplica();
  void AggiungiPaginaCarattere();
  void AggiungiPaginaColori();

  xpVantelTab* controllo_ = nullptr;
  QTabWidget* pagine_;
  QDialogButtonBox* pulsanti_;
  Tabs* tabs_;
  std::vector<Pagina> altre_;
};

}  // namespace brisko
