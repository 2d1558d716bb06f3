// The paint pass of the tab strip.
#include <array>

#include "Bitmap.h"
#include "Caratteri.h"
#include "ContestoGrafico.h"
#include "OleColore.h"
#include "brisko/ErroreControllo.h"
#include "brisko/xpVantelTab.h"
#include "cImageManipulation.h"
#include "mXPVantel.h"

namespace brisko {
namespace {

using namespace mXPVantel;

// The focus and hot-tab stripe, from its top row down.
constexpr std::array<COLORREF, 3> kStriscia{RGB(232, 144, 40), RGB(255, 208, 56),
                                            RGB(255, 200, 56)};

// What the captions are drawn with: one line, centred both ways.
constexpr std::uint32_t kFormatoDidascalia = DT_SINGLELINE | DT_VCENTER | DT_CENTER;

}  // namespace

void xpVantelTab::DrawTab() {
  if (alignment_ == tTop || alignment_ == tLeft) {
    DrawTabTop();
    return;
  }
  // The other alignments have no layout: the control shows its background.
  auto nuova = std::make_shared<Bitmap>(width(), height(), false);
  if (nuova->Valida()) {
    nuova->Pixel().fill(PixelDi(ColoreRisolto(backColor_)) | 0xFF000000U);
  }
  immagine_ = std::move(nuova);
  update();
}

void xpVantelTab::DrawTabTop() {
  ++passiDisegno_;
  cImageManipulation pittore;
  const std::int32_t W = width();
  const std::int32_t H = height();
  const std::int32_t TH = tabHeight_;
  const std::int32_t N = numberOfTabs_;

  if (immagine_->Larghezza() != W || immagine_->Altezza() != H || !immagine_->Valida()) {
    immagine_ = std::make_shared<Bitmap>(W, H, false);
  }
  ContestoGrafico dc;
  dc.SelectObject(immagine_);
  dc.SelectFont(CarattereDaDisegno(font()));

  const RECT C{0, 0, W, H};
  RECT R = C;
  R.top = TH;
  dc.FillRect(C, ColoreRisolto(backColor_));
  PaintRect(dc, R, frameColor_, false);

  // Layout and outlines.
  float x = 2;
  const float y = 2;
  const std::int32_t h = TH;
  tabRects_.assign(static_cast<std::size_t>(std::max(N, 0)), RECT{});
  for (std::int32_t i = 1; i <= N; ++i) {
    cTabs& scheda = Scheda(i);
    const std::int32_t w = scheda.TabWidth;
    scheda.TabLeft = CLng(static_cast<double>(x));
    scheda.TabTop = CLng(static_cast<double>(y));
    scheda.TabHeight = h;
    const std::int32_t L = scheda.TabLeft;
    const std::int32_t T = scheda.TabTop;
    const RECT r{L, T, Somma(L, w), h};
    tabRects_[static_cast<std::size_t>(i) - 1] = r;
    DrawLine(dc, L, T + 2, L, r.bottom, frameColor_, 1);
    DrawLine(dc, Somma(L, 2), T, Somma(r.right, -1), T, frameColor_, 1);
    DrawLine(dc, r.right, T + 2, r.right, r.bottom, frameColor_, 1);
    PutPixel(dc, Somma(L, 1), T + 1, frameColor_);
    PutPixel(dc, Somma(r.right, -1), T + 1, frameColor_);
    x = static_cast<float>(static_cast<double>(x) + 2.0 + w);
  }

  // Gradients of the tabs that are not selected.
  for (std::int32_t i = 1; i <= N; ++i) {
    if (i == selectedTab_) {
      continue;
    }
    const COLORREF chiaro = ShiftColor(backColor_, 5);
    const COLORREF scuro = ShiftColor(backColor_, -15);
    const RECT& r = tabRects_[static_cast<std::size_t>(i) - 1];
    RECT area{Somma(r.left, 1), 2, r.right, TH};
    FillGradient(dc, chiaro, scuro, area, Somma(TH, -5), 0);
  }

  if (N >= 1) {
    if (selectedTab_ == 0) {
      selectedTab_ = 1;
    }
    // The selected tab, raised into the body.
    const RECT S = InflateRect(TabRect(selectedTab_), 2, 2);
    tabRects_[static_cast<std::size_t>(selectedTab_) - 1] = S;
    PaintRect(dc, S, backColor_, true);
    DrawLine(dc, S.left, 2, S.left, Somma(S.bottom, -1), frameColor_, 1);
    DrawLine(dc, S.right, 2, S.right, Somma(S.bottom, -1), frameColor_, 1);
    DrawLine(dc, Somma(S.left, 2), 0, Somma(S.right, -1), 0, frameColor_, 1);
    PutPixel(dc, 0, Somma(TH, 1), frameColor_);
    PutPixel(dc, Somma(S.left, 1), 1, frameColor_);
    PutPixel(dc, Somma(S.right, -1), 1, frameColor_);
    if (focusFlag_) {
      DrawLine(dc, S.left + 2, 0, S.right - 1, 0, kStriscia[0], 1);
      DrawLine(dc, S.left + 2, 1, S.right - 1, 1, kStriscia[1], 1);
      DrawLine(dc, S.left + 1, 2, S.right, 2, kStriscia[2], 1);
    }

    // The tab under the pointer.
    if (hotTab_ != 0 && hotTab_ != selectedTab_) {
      const RECT& r = TabRect(hotTab_);
      DrawLine(dc, Somma(r.left, 2), 2, Somma(r.right, -1), 2, kStriscia[0], 1);
      DrawLine(dc, Somma(r.left, 2), 3, Somma(r.right, -1), 3, kStriscia[1], 1);
      DrawLine(dc, Somma(r.left, 1), 4, r.right, 4, kStriscia[2], 1);
    }
  }

  bodyRect_ = C;
  bodyRect_.top = TH;

  // Captions and pictures.
  for (std::int32_t i = 1; i <= N; ++i) {
    const cTabs& scheda = Scheda(i);
    const RECT& rettangolo = tabRects_[static_cast<std::size_t>(i) - 1];
    const QString didascalia = QString::fromStdString(scheda.TabCaption);
    RECT Tc = rettangolo;
    CalcTextRect(dc, didascalia, Tc);
    float pw = 0;
    float ph = 0;
    GetPictureSize(scheda.TabPicture.get(), pw, ph);
    const std::int32_t dy =
        CLng((static_cast<double>(TH) - (static_cast<double>(Tc.bottom) - Tc.top)) / 2.0);
    const std::int32_t dx = CLng(static_cast<double>(pw) + 8.0);
    OffsetRect(Tc, dx, dy);
    if (scheda.TabPicture) {
      pittore.PaintTransparentPicture(dc, scheda.TabPicture.get(), Somma(rettangolo.left, 4), dy,
                                      CLng(static_cast<double>(pw)), CLng(static_cast<double>(ph)),
                                      0, 0, maskColor_);
    }
    const OLE_COLOR colore = i == selectedTab_ ? foreColorActive_
                             : i == hotTab_    ? foreColorHot_
                                               : foreColor_;
    SetTextColor(dc, colore);
    DrawCaption(dc, didascalia, Tc, kFormatoDidascalia);
  }

  update();
}

}  // namespace brisko
