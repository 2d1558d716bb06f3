#include "brisko/xpVantelTab.h"

#include <QAccessible>
#include <QApplication>
#include <QPaintEvent>
#include <QPainter>
#include <QPointer>
#include <QResizeEvent>
#include <QVariant>
#include <limits>

#include "Bitmap.h"
#include "Caratteri.h"
#include "SchedeAccessibili.h"
#include "brisko/ErroreControllo.h"
#include "mXPVantel.h"

namespace brisko {
namespace {

constexpr OLE_COLOR kForeColorPredefinito = 0x80000012U;
constexpr OLE_COLOR kFacciaPulsante = 0x8000000FU;

[[noreturn]] void FuoriIntervallo() {
  throw ErroreControllo(ErroreControllo::kIndiceFuoriIntervallo);
}

std::int16_t Integer(std::int32_t valore) {
  if (valore < std::numeric_limits<std::int16_t>::min() ||
      valore > std::numeric_limits<std::int16_t>::max()) {
    throw ErroreControllo(ErroreControllo::kOverflow);
  }
  return static_cast<std::int16_t>(valore);
}

}  // namespace

xpVantelTab::xpVantelTab(QWidget* parent)
    : QWidget(parent), immagine_(std::make_shared<Bitmap>(1, 1, false)) {
  CaricaCaratteri();
  setFont(CarattereIniziale());
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Moves arrive without a button held (hot tracking), and the control
  // takes the focus by click and by the Tab key (arrow keys).
  setMouseTracking(true);
  setFocusPolicy(Qt::StrongFocus);
  InstallaSchedeAccessibili();
}

xpVantelTab::~xpVantelTab() = default;

void xpVantelTab::InitProperties() {
  AddTab(60, std::string());
  tabHeight_ = 22;
  OLE_COLOR sfondo = kFacciaPulsante;
  if (const QWidget* contenitore = parentWidget()) {
    bool numero = false;
    const QVariant dichiarato = contenitore->property("BackColor");
    const qlonglong valore = dichiarato.toLongLong(&numero);
    if (dichiarato.isValid() && numero) {
      sfondo = static_cast<OLE_COLOR>(valore);
    } else {
      const QColor finestra = contenitore->palette().color(QPalette::Window);
      sfondo = RGB(static_cast<std::uint8_t>(finestra.red()),
                   static_cast<std::uint8_t>(finestra.green()),
                   static_cast<std::uint8_t>(finestra.blue()));
    }
    setFont(contenitore->font());
  }
  backColor_ = sfondo;
  foreColor_ = kForeColorPredefinito;
  foreColorActive_ = RGB(56, 80, 152);
  foreColorHot_ = RGB(0, 0, 255);
  frameColor_ = RGB(152, 160, 160);
  maskColor_ = RGB(255, 0, 255);
}

void xpVantelTab::Segna(const char* proprieta) {
  emit PropertyChanged(QString::fromLatin1(proprieta));
}

cTabs& xpVantelTab::Scheda(std::int32_t Index) {
  if (Index < 1 || static_cast<std::size_t>(Index) > tabs_.size()) {
    FuoriIntervallo();
  }
  auto& scheda = tabs_[static_cast<std::size_t>(Index) - 1];
  if (!scheda) {
    scheda = std::make_unique<cTabs>();
  }
  return *scheda;
}

const cTabs& xpVantelTab::Scheda(std::int32_t Index) const {
  static const cTabs kVuota;
  if (Index < 1 || static_cast<std::size_t>(Index) > tabs_.size()) {
    FuoriIntervallo();
  }
  const auto& scheda = tabs_[static_cast<std::size_t>(Index) - 1];
  return scheda ? *scheda : kVuota;
}

void xpVantelTab::SetTabHeight(std::int32_t valore) {
  tabHeight_ = valore;
  Segna("TabHeight");
  DrawTab();
}

void xpVantelTab::SetBackColor(OLE_COLOR valore) {
  backColor_ = valore;
  Segna("BackColor");
  DrawTab();
}

void xpVantelTab::SetForeColor(OLE_COLOR valore) {
  foreColor_ = valore;
  Segna("ForeColor");
  DrawTab();
}

void xpVantelTab::SetForeColorActive(OLE_COLOR valore) {
  foreColorActive_ = valore;
  Segna("ForeColorActive");
  DrawTab();
}

void xpVantelTab::SetForeColorHot(OLE_COLOR valore) {
  foreColorHot_ = valore;
  Segna("ForeColorHot");
}

void xpVantelTab::SetFrameColor(OLE_COLOR valore) {
  frameColor_ = valore;
  Segna("FrameColor");
  DrawTab();
}

void xpVantelTab::SetMaskColor(OLE_COLOR valore) {
  maskColor_ = valore;
  Segna("MaskColor");
  DrawTab();
}

void xpVantelTab::SetAlignment(eTabAlignment valore) {
  alignment_ = valore;
  Segna("Alignment");
  DrawTab();
}

void xpVantelTab::SetFont(const QFont& valore) {
  setFont(valore);
  Segna("Font");
  DrawTab();
}

void xpVantelTab::SetSelectedTab(std::int32_t valore) {
  selectedTab_ = valore;
  // A handler may delete the control (a host that rebuilds its window when
  // the tab changes): nothing of it is touched once it is gone.
  const QPointer<xpVantelTab> vivo(this);
  emit TabPressed(previousTab_);
  if (!vivo) return;
  previousTab_ = Integer(valore);
  Segna("SelectedTab");
  if (!vivo) return;
  DrawTab();
  if (QAccessible::isActive() && selectedTab_ >= 1 && selectedTab_ <= numberOfTabs_) {
    // A screen reader says which tab is now selected (the tabs are the
    // control's first accessible children).
    QAccessibleEvent scelta(this, QAccessible::Selection);
    scelta.setChild(selectedTab_ - 1);
    QAccessible::updateAccessibility(&scelta);
  }
}

std::int32_t xpVantelTab::TabWidth(std::int32_t Index) const {
  return Scheda(Index).TabWidth;
}

void xpVantelTab::SetTabWidth(std::int32_t Index, std::int32_t valore) {
  Scheda(Index).TabWidth = valore;
  DrawTab();
  Segna("TabWidth");
}

std::string xpVantelTab::TabCaption(std::int32_t Index) const {
  return Scheda(Index).TabCaption;
}

void xpVantelTab::SetTabCaption(std::int32_t Index, const std::string& valore) {
  Scheda(Index).TabCaption = valore;
  SetTabAccessKeys();
  DrawTab();
  Segna("TabCaption");
}

std::shared_ptr<Immagine> xpVantelTab::TabPicture(std::int32_t Index) const {
  return Scheda(Index).TabPicture;
}

void xpVantelTab::SetTabPicture(std::int32_t Index, std::shared_ptr<Immagine> valore) {
  Scheda(Index).TabPicture = std::move(valore);
  DrawTab();
  Segna("TabPicture");
}

std::int32_t xpVantelTab::AddTab(std::int32_t iTabWidth, std::string& sTabText,
                                 std::shared_ptr<Immagine> pTabPicture) {
  const std::int32_t conteggio = mXPVantel::Somma(numberOfTabs_, 1);
  numberOfTabs_ = conteggio;
  tabs_.resize(static_cast<std::size_t>(conteggio));
  cTabs& scheda = Scheda(conteggio);
  scheda.TabWidth = iTabWidth;
  if (!sTabText.empty()) {
    scheda.TabCaption = sTabText;
    SetTabAccessKeys();
  } else {
    scheda.TabCaption = "Tab" + std::to_string(conteggio);
    sTabText = scheda.TabCaption;
  }
  scheda.TabPicture = std::move(pTabPicture);
  Segna("NumberOfTabs");
  DrawTab();
  return conteggio;
}

std::int32_t xpVantelTab::AddTab(std::int32_t iTabWidth, const std::string& sTabText,
                                 std::shared_ptr<Immagine> pTabPicture) {
  std::string testo = sTabText;
  return AddTab(iTabWidth, testo, std::move(pTabPicture));
}

void xpVantelTab::RiportaSchedeNellIntervallo() {
  // A selected or hot tab outside the list would make every paint pass
  // fail: one beyond it passes to the last tab, a negative one to the first
  // (or to none without tabs).
  if (selectedTab_ > numberOfTabs_) {
    selectedTab_ = numberOfTabs_;
  } else if (selectedTab_ < 0) {
    selectedTab_ = numberOfTabs_ > 0 ? 1 : 0;
  }
  if (hotTab_ > numberOfTabs_) {
    hotTab_ = numberOfTabs_;
  }
}

void xpVantelTab::DeleteTab() {
  if (numberOfTabs_ > 1) {
    --numberOfTabs_;
    tabs_.resize(static_cast<std::size_t>(numberOfTabs_));
    RiportaSchedeNellIntervallo();
  }
  Segna("NumberOfTabs");
  DrawTab();
}

void xpVantelTab::GetPictureSize(const Immagine* pPicture, float& picX, float& picY) const {
  picX = 0;
  picY = 0;
  if (pPicture != nullptr) {
    picX = static_cast<float>(pPicture->Width() * 96.0 / 2540.0);
    picY = static_cast<float>(pPicture->Height() * 96.0 / 2540.0);
  }
}

void xpVantelTab::SetTabAccessKeys() {
  accessKeys_.clear();
  for (std::int32_t i = 1; i <= numberOfTabs_; ++i) {
    accessKeys_ += mXPVantel::GetAccessChar(QString::fromStdString(Scheda(i).TabCaption));
  }
  RegistraTastiDiAccesso();
}

std::int32_t xpVantelTab::GetTabAccessKey(std::int16_t iKey) const {
  for (std::int32_t i = 1; i <= numberOfTabs_; ++i) {
    const QString carattere =
        mXPVantel::GetAccessChar(QString::fromStdString(Scheda(i).TabCaption));
    if (!carattere.isEmpty() && carattere[0].unicode() == static_cast<std::uint16_t>(iKey)) {
      return i;
    }
  }
  return 0;
}

void xpVantelTab::ImpostaHotTab(std::int32_t valore) {
  if (valore < 0 || valore > numberOfTabs_) {
    FuoriIntervallo();
  }
  hotTab_ = valore;
  DrawTab();
}

void xpVantelTab::ImpostaFocusFlag(bool valore) {
  focusFlag_ = valore;
  DrawTab();
}

RECT xpVantelTab::TabRect(std::int32_t i) const {
  if (i < 1 || static_cast<std::size_t>(i) > tabRects_.size()) {
    FuoriIntervallo();
  }
  return tabRects_[static_cast<std::size_t>(i) - 1];
}

QImage xpVantelTab::ImmagineControllo() const {
  return immagine_->Pixel();
}

void xpVantelTab::paintEvent(QPaintEvent* evento) {
  QPainter pittore(this);
  pittore.fillRect(evento->rect(), palette().color(QPalette::Window));
  pittore.drawImage(0, 0, immagine_->Pixel());
}

void xpVantelTab::resizeEvent(QResizeEvent* evento) {
  QWidget::resizeEvent(evento);
  // A failed pass keeps the image it had; the event has no caller to tell.
  try {
    DrawTab();
  } catch (const std::exception&) {
  }
}

}  // namespace brisko
