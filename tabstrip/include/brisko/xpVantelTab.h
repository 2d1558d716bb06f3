#pragma once

#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "brisko/Esporta.h"
#include "brisko/Immagine.h"
#include "brisko/PropertyBag.h"
#include "brisko/Tipi.h"
#include "brisko/cTabs.h"

namespace brisko {

class Bitmap;

/// Where the tabs stand. tTop and tLeft are painted along the top edge;
/// tRight and tBottom are stored and saved but paint nothing.
enum eTabAlignment : std::int32_t { tTop = 0, tLeft = 1, tRight = 2, tBottom = 3 };

/// How Invoke reaches a member.
enum class TipoInvocazione { Metodo, LeggiProprieta, ScriviProprieta };

/// The tab strip control: one row of tabs along the top edge above a framed
/// body. It holds no pages; the host shows its own widgets when TabPressed
/// tells it that the selection changed. Tabs are numbered from 1.
///
/// A host makes it as a child widget and either loads its stored state or
/// initialises it as new:
///
///   auto* tab = new brisko::xpVantelTab(this);
///   tab->setObjectName("xpVantelTab1");
///   tab->setGeometry(8, 8, 600, 300);
///   auto stato = brisko::PropertyBagIni::Carica(file);   // or InitProperties()
///   tab->ReadProperties(stato);
///   connect(tab, &brisko::xpVantelTab::TabPressed, this,
///           [tab](std::int16_t) { mostraPagina(tab->SelectedTab()); });
///
/// Failures reach the caller as ErroreControllo (9 for a tab number outside
/// the list, 6 for an overflow). Every call belongs on the GUI thread.
class BRISKO_API xpVantelTab : public QWidget {
  Q_OBJECT

 public:
  /// A fresh instance: every property 0, no tabs, the default font.
  explicit xpVantelTab(QWidget* parent = nullptr);
  ~xpVantelTab() override;

  /// First creation on a container: one tab "Tab1" 60 pixels wide, TabHeight
  /// 22, the container's background colour (its "BackColor" property, else
  /// its window colour) and font, and the standard colours.
  void InitProperties();
  /// Loads the stored state; a key that is missing or unreadable takes its
  /// default. Does not paint the tabs: the first sizing of the control does.
  void ReadProperties(PropertyBag& bag);
  /// Saves the state, every key in its fixed order.
  void WriteProperties(PropertyBag& bag) const;

  // Properties. Each setter stores, reports the property changed
  // (PropertyChanged) and repaints, except SetForeColorHot (no repaint).
  [[nodiscard]] std::int32_t TabHeight() const noexcept { return tabHeight_; }
  void SetTabHeight(std::int32_t valore);
  [[nodiscard]] OLE_COLOR BackColor() const noexcept { return backColor_; }
  void SetBackColor(OLE_COLOR valore);
  [[nodiscard]] OLE_COLOR ForeColor() const noexcept { return foreColor_; }
  void SetForeColor(OLE_COLOR valore);
  [[nodiscard]] OLE_COLOR ForeColorActive() const noexcept { return foreColorActive_; }
  void SetForeColorActive(OLE_COLOR valore);
  [[nodiscard]] OLE_COLOR ForeColorHot() const noexcept { return foreColorHot_; }
  void SetForeColorHot(OLE_COLOR valore);
  [[nodiscard]] OLE_COLOR FrameColor() const noexcept { return frameColor_; }
  void SetFrameColor(OLE_COLOR valore);
  [[nodiscard]] OLE_COLOR MaskColor() const noexcept { return maskColor_; }
  void SetMaskColor(OLE_COLOR valore);
  [[nodiscard]] eTabAlignment Alignment() const noexcept { return alignment_; }
  void SetAlignment(eTabAlignment valore);
  /// The captions' font (the widget's font).
  [[nodiscard]] QFont Font() const { return font(); }
  void SetFont(const QFont& valore);
  [[nodiscard]] std::int32_t NumberOfTabs() const noexcept { return numberOfTabs_; }
  /// The selected tab; 0 is none and is painted (and then stored) as 1.
  [[nodiscard]] std::int32_t SelectedTab() const noexcept { return selectedTab_; }
  /// Stores the tab, raises TabPressed with the tab assigned before (also
  /// when the value is the same), then repaints. No range test is made; a
  /// value beyond the 16-bit range fails with 6 after the event.
  void SetSelectedTab(std::int32_t valore);

  // Properties of tab `Index` (1 to NumberOfTabs; otherwise error 9).
  [[nodiscard]] std::int32_t TabWidth(std::int32_t Index) const;
  void SetTabWidth(std::int32_t Index, std::int32_t valore);
  [[nodiscard]] std::string TabCaption(std::int32_t Index) const;
  void SetTabCaption(std::int32_t Index, const std::string& valore);
  [[nodiscard]] std::shared_ptr<Immagine> TabPicture(std::int32_t Index) const;
  void SetTabPicture(std::int32_t Index, std::shared_ptr<Immagine> valore);

  // Methods.
  /// Repaints (the paint pass for tTop and tLeft, nothing otherwise).
  void DrawTab();
  /// The paint pass: the whole control is drawn into its image, which is
  /// then shown.
  void DrawTabTop();
  /// Adds a tab at the end and returns the new count. An empty caption
  /// becomes "Tab" and the new count, and is written back into `sTabText`.
  std::int32_t AddTab(std::int32_t iTabWidth, std::string& sTabText,
                      std::shared_ptr<Immagine> pTabPicture = {});
  std::int32_t AddTab(std::int32_t iTabWidth = 60, const std::string& sTabText = {},
                      std::shared_ptr<Immagine> pTabPicture = {});
  /// Removes the last tab; the only tab is never removed. A selected or hot
  /// tab that goes away passes to the new last tab.
  void DeleteTab();
  /// The size of a picture in pixels; (0, 0) without one.
  void GetPictureSize(const Immagine* pPicture, float& picX, float& picY) const;
  /// Rebuilds the access-key string from the captions.
  void SetTabAccessKeys();
  /// The first tab whose access character has the code `iKey`; 0 for none.
  [[nodiscard]] std::int32_t GetTabAccessKey(std::int16_t iKey) const;

  /// Late-bound access by dispatch identifier (0x68030000 reads or writes
  /// SelectedTab, 0x6003001C calls AddTab, ...). Arguments go in order and
  /// by reference: what a method gives back through them is written into
  /// `argomenti`. A property put takes its value as the last argument.
  /// Fails with 438 for an unknown member, 449 for a missing argument, 13
  /// for an argument of the wrong kind.
  Valore Invoke(std::int32_t dispid, TipoInvocazione tipo, std::vector<Valore>& argomenti);

  // State of the pointer and keyboard handling, and the designer's preview.
  /// The tab under the pointer (0 for none).
  [[nodiscard]] std::int32_t HotTab() const noexcept { return hotTab_; }
  /// Whether the control shows the keyboard focus.
  [[nodiscard]] bool FocusFlag() const noexcept { return focusFlag_; }
  /// Sets the hot tab and repaints (a number outside 0 to NumberOfTabs
  /// fails with 9).
  void ImpostaHotTab(std::int32_t valore);
  /// Sets the focus flag and repaints.
  void ImpostaFocusFlag(bool valore);
  /// Tab `i`'s rectangle of the latest paint pass (the selected one
  /// enlarged); error 9 for a tab that pass did not lay out.
  [[nodiscard]] RECT TabRect(std::int32_t i) const;
  /// The body below the tab row, as the latest paint pass set it.
  [[nodiscard]] RECT BodyRect() const noexcept { return bodyRect_; }
  /// One lower-case character per tab that has an access character.
  [[nodiscard]] const QString& AccessKeys() const noexcept { return accessKeys_; }
  /// The control's image as the latest paint pass left it.
  [[nodiscard]] QImage ImmagineControllo() const;
  /// How many paint passes have run since the control was made.
  [[nodiscard]] std::uint64_t PassiDisegno() const noexcept { return passiDisegno_; }

 signals:
  // A handler of TabPressed or of a Mouse event may delete the control.
  /// The selection was assigned; `PreviousTab` is the tab assigned before.
  void TabPressed(std::int16_t PreviousTab);
  void MouseIn(std::int16_t Button, std::int16_t Shift, float X, float Y);
  void MouseOut(std::int16_t Button, std::int16_t Shift, float X, float Y);
  void MouseDown(std::int16_t Button, std::int16_t Shift, float X, float Y);
  void MouseUp(std::int16_t Button, std::int16_t Shift, float X, float Y);
  /// A property changed: the host saves the state when it wants to keep it.
  void PropertyChanged(const QString& PropertyName);

 protected:
  void paintEvent(QPaintEvent* evento) override;
  void resizeEvent(QResizeEvent* evento) override;
  // Pointer, keyboard and focus: selection, hot tracking and the Mouse
  // events (xpVantelTabInput.cpp).
  bool event(QEvent* evento) override;
  /// The pointer entering a widget the control holds leaves the control.
  bool eventFilter(QObject* oggetto, QEvent* evento) override;
  void mousePressEvent(QMouseEvent* evento) override;
  void mouseMoveEvent(QMouseEvent* evento) override;
  void mouseReleaseEvent(QMouseEvent* evento) override;
  void keyPressEvent(QKeyEvent* evento) override;
  void focusInEvent(QFocusEvent* evento) override;
  void focusOutEvent(QFocusEvent* evento) override;

 private:
  [[nodiscard]] cTabs& Scheda(std::int32_t Index);
  [[nodiscard]] const cTabs& Scheda(std::int32_t Index) const;
  void Segna(const char* proprieta);
  void RiportaSchedeNellIntervallo();
  /// Hands the access-key string to Qt as Alt+character shortcuts.
  void RegistraTastiDiAccesso();
  /// The pointer left the control: MouseOut, no hot tab, repaint.
  void PuntatoreUscito(std::int16_t Button, std::int16_t Shift, float X, float Y);

  eTabAlignment alignment_ = tTop;
  std::int32_t tabHeight_ = 0;
  OLE_COLOR backColor_ = 0;
  OLE_COLOR foreColor_ = 0;
  OLE_COLOR foreColorActive_ = 0;
  OLE_COLOR foreColorHot_ = 0;
  OLE_COLOR frameColor_ = 0;
  OLE_COLOR maskColor_ = 0;
  std::int32_t numberOfTabs_ = 0;
  std::vector<std::unique_ptr<cTabs>> tabs_;
  std::int32_t selectedTab_ = 0;
  std::int16_t previousTab_ = 0;
  std::int32_t hotTab_ = 0;
  bool focusFlag_ = false;
  bool bodyHover_ = false;
  /// Whether the pointer was over the control at its latest move.
  bool puntatoreDentro_ = false;
  std::vector<RECT> tabRects_;
  RECT bodyRect_;
  QString accessKeys_;
  /// Qt's shortcut identifiers with the character code each one reports.
  std::vector<std::pair<int, std::int16_t>> scorciatoie_;
  std::uint64_t passiDisegno_ = 0;
  std::shared_ptr<Bitmap> immagine_;
};

}  // namespace brisko
