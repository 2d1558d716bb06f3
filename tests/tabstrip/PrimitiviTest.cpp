// The drawing primitives: colours, gradients, lines, raster operations and
// the transparent picture painter.
#include <gtest/gtest.h>

#include "ContestoGrafico.h"
#include "OleColore.h"
#include "ProvaSchede.h"
#include "cImageManipulation.h"
#include "mXPVantel.h"

namespace brisko {
namespace {

using namespace mXPVantel;
using test::Colore;

struct Superficie {
  explicit Superficie(int w, int h, bool mono = false)
      : bitmap(std::make_shared<Bitmap>(w, h, mono)) {
    dc.SelectObject(bitmap);
  }
  [[nodiscard]] COLORREF operator()(int x, int y) const { return ColoreDi(bitmap->Leggi(x, y)); }
  std::shared_ptr<Bitmap> bitmap;
  ContestoGrafico dc;
};

TEST(ShiftColor, AddsToEachChannelAndClampsToTheByteRange) {
  struct Caso {
    OLE_COLOR colore;
    std::int32_t quanto;
    COLORREF atteso;
  };
  for (const Caso& c :
       {Caso{RGB(252, 10, 128), 5, RGB(255, 15, 133)},
        Caso{RGB(252, 10, 128), -15, RGB(237, 0, 113)},
        Caso{RGB(236, 233, 216), 5, RGB(241, 238, 221)},
        Caso{RGB(236, 233, 216), -15, RGB(221, 218, 201)}, Caso{0x8000000FU, 0, RGB(236, 233, 216)},
        Caso{0x80000012U, 0, RGB(0, 0, 0)}, Caso{0x80000063U, 5, RGB(5, 5, 5)},
        Caso{RGB(1, 2, 3), 2147483647, RGB(255, 255, 255)}}) {
    EXPECT_EQ(ShiftColor(c.colore, c.quanto), c.atteso) << std::hex << c.colore << " " << c.quanto;
  }
  std::int32_t r = 0, g = 0, b = 0;
  ShiftColor(RGB(252, 10, 128), -15, r, g, b);
  EXPECT_EQ(std::tuple(r, g, b), std::tuple(237, 0, 113));
}

TEST(OleTranslateColor, ResolvesTheSystemTableAndRefusesIndicesOutsideIt) {
  COLORREF c = 7;
  EXPECT_TRUE(OleTranslateColor(0x8000001EU, c));
  EXPECT_EQ(c, RGB(236, 233, 216));
  EXPECT_FALSE(OleTranslateColor(0x8000001FU, c));
  EXPECT_EQ(c, RGB(236, 233, 216));
  EXPECT_EQ(ColoreRisolto(0x800000FFU), 0U);
  EXPECT_EQ(ColoreRisolto(0x12345678U), 0x345678U);
}

TEST(FillGradient, PaintsOneBandPerStepFromTheFarEndAndConsumesTheRectangle) {
  Superficie s(1, 18);
  RECT r{0, 0, 1, 18};
  FillGradient(s.dc, RGB(255, 255, 255), RGB(0, 0, 0), r, 17, 0);
  EXPECT_EQ(r.top, 0);
  EXPECT_EQ(r.bottom, 0);
  // Rows 17 and 16 have the start colour; row y has (16 - y) / 17 of the way.
  for (int y = 0; y < 18; ++y) {
    const auto v = static_cast<std::uint8_t>(std::nearbyint(std::max(0, 16 - y) * 255.0 / 17.0));
    EXPECT_EQ(s(0, y), RGB(v, v, v)) << "row " << y;
  }
  // Horizontal: right to left.
  Superficie h(4, 1);
  RECT o{0, 0, 4, 1};
  FillGradient(h.dc, RGB(30, 0, 0), RGB(0, 0, 0), o, 3, 1);
  EXPECT_EQ(o.left, 0);
  for (const auto& [x, atteso] : {std::pair{3, RGB(0, 0, 0)}, std::pair{2, RGB(0, 0, 0)},
                                  std::pair{1, RGB(10, 0, 0)}, std::pair{0, RGB(20, 0, 0)}})
    EXPECT_EQ(h(x, 0), atteso) << x;
  // No steps: one band at the far end; negative steps: nothing.
  Superficie z(2, 6);
  z.dc.FillRect({0, 0, 2, 6}, RGB(9, 9, 9));
  RECT uno{0, 2, 1, 5};
  FillGradient(z.dc, RGB(255, 255, 255), RGB(100, 0, 0), uno, 0, 0);
  EXPECT_EQ(z(0, 4), RGB(100, 0, 0));
  EXPECT_EQ(z(0, 3), RGB(9, 9, 9));
  RECT n{1, 0, 2, 6};
  FillGradient(z.dc, RGB(255, 255, 255), RGB(100, 0, 0), n, -2147483647 - 1, 0);
  for (int y = 0; y < 6; ++y)
    EXPECT_EQ(z(1, y), RGB(9, 9, 9));
}

TEST(DrawLine, PaintsEveryPixelButTheEndPoint) {
  Superficie s(12, 5);
  DrawLine(s.dc, 5, 2, 9, 2, RGB(1, 2, 3), 1);
  DrawLine(s.dc, 11, 4, 11, 0, RGB(4, 5, 6), 1);
  for (int x = 0; x < 11; ++x)
    EXPECT_EQ(s(x, 2), x >= 5 && x <= 8 ? RGB(1, 2, 3) : 0U) << x;
  for (int y = 0; y < 5; ++y)
    EXPECT_EQ(s(11, y), y >= 1 ? RGB(4, 5, 6) : 0U) << y;
  // Far outside the surface in both directions: clipped, no time spent.
  DrawLine(s.dc, -2147483647, 1, 2147483647, 1, RGB(7, 7, 7), 1);
  EXPECT_EQ(s(0, 1), RGB(7, 7, 7));
  EXPECT_EQ(s(11, 1), RGB(7, 7, 7));
}

TEST(PaintRect, WritesTheResolvedColourBackAndFramesInsideTheRectangle) {
  Superficie s(5, 5);
  OLE_COLOR colore = 0x80000010U;
  PaintRect(s.dc, {1, 1, 4, 4}, colore, false);
  EXPECT_EQ(colore, RGB(172, 168, 153));
  EXPECT_EQ(s(1, 1), colore);
  EXPECT_EQ(s(3, 3), colore);
  EXPECT_EQ(s(2, 2), 0U);
  EXPECT_EQ(s(4, 4), 0U);
}

TEST(BitBlt, ConvertsBetweenColourAndMonochromeByTheContextsColours) {
  Superficie colore(2, 1);
  colore.dc.SetPixelV(0, 0, RGB(255, 0, 255));
  colore.dc.SetPixelV(1, 0, RGB(10, 20, 30));
  colore.dc.SetBkColor(RGB(255, 0, 255));
  Superficie mono(2, 1, true);
  mono.dc.BitBlt(0, 0, 2, 1, colore.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(mono(0, 0), 0xFFFFFFU);
  EXPECT_EQ(mono(1, 0), 0U);

  Superficie dest(2, 1);
  dest.dc.SetTextColor(RGB(1, 2, 3));
  dest.dc.SetBkColor(RGB(4, 5, 6));
  dest.dc.BitBlt(0, 0, 2, 1, mono.dc, 0, 0, SRCCOPY);
  EXPECT_EQ(dest(0, 0), RGB(4, 5, 6));
  EXPECT_EQ(dest(1, 0), RGB(1, 2, 3));

  dest.dc.FillRect({0, 0, 2, 1}, RGB(0xF0, 0x0F, 0xFF));
  Superficie sorgente(2, 1);
  sorgente.dc.FillRect({0, 0, 2, 1}, RGB(0x30, 0x03, 0x0F));
  dest.dc.BitBlt(0, 0, 1, 1, sorgente.dc, 0, 0, SRCERASE_INVERSO);
  dest.dc.BitBlt(1, 0, 1, 1, sorgente.dc, 0, 0, SRCPAINT);
  EXPECT_EQ(dest(0, 0), RGB(0xC0, 0x0C, 0xF0));
  EXPECT_EQ(dest(1, 0), RGB(0xF0, 0x0F, 0xFF));
  // Blocks reaching outside either surface are clipped.
  dest.dc.BitBlt(-5, -5, 100, 100, sorgente.dc, -3, 0, SRCCOPY);
}

TEST(PaintTransparentPicture, ShowsTheBackgroundThroughMaskedPixelsAndPaintsOnlyBitmaps) {
  Superficie s(8, 8);
  s.dc.FillRect({0, 0, 8, 8}, RGB(10, 20, 30));
  cImageManipulation pittore;
  const auto figura = test::Figura(4, 4, qRgb(200, 0, 0), qRgb(255, 0, 255));
  pittore.PaintTransparentPicture(s.dc, figura.get(), 2, 2, 4, 4, 0, 0, RGB(255, 0, 255));
  EXPECT_EQ(s(2, 2), RGB(10, 20, 30));
  EXPECT_EQ(s(5, 5), RGB(10, 20, 30));
  EXPECT_EQ(s(3, 2), RGB(200, 0, 0));
  EXPECT_EQ(s(4, 4), RGB(200, 0, 0));
  EXPECT_EQ(s(6, 6), RGB(10, 20, 30));

  Superficie vuota(8, 8);
  const Immagine icona(figura->Pixel(), TipoImmagine::Icona);
  pittore.PaintTransparentPicture(vuota.dc, &icona, 0, 0, 4, 4, 0, 0, RGB(255, 0, 255));
  pittore.PaintTransparentPicture(vuota.dc, nullptr, 0, 0, 4, 4, 0, 0, RGB(255, 0, 255));
  pittore.PaintTransparentPicture(vuota.dc, figura.get(), 0, 0, -4, 2147483647, 0, 0, 0);
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(vuota(i, i), 0U);
}

TEST(GetAccessChar, TakesTheCharacterAfterTheFirstSingleAmpersand) {
  const std::vector<std::pair<const char*, const char*>> casi{
      {"&Principale", "p"}, {"Aggiorna&menti", "m"}, {"Senza", ""},   {"", ""},     {"&", ""},
      {"&&Dati", ""},       {"A&&B&C", "c"},         {"A&&B&&C", ""}, {"A&&B", ""}, {"&Èlite", "è"},
      {"x&&&Y", "y"}};
  for (const auto& [testo, atteso] : casi) {
    EXPECT_EQ(GetAccessChar(QString::fromUtf8(testo)).toStdString(), atteso) << testo;
  }
}

}  // namespace
}  // namespace brisko
