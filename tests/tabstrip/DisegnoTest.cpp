// The paint pass, pixel by pixel.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

#include "Caratteri.h"
#include "ProvaSchede.h"
#include "brisko/ErroreControllo.h"
#include "brisko/PropertyBagIni.h"

namespace brisko {
namespace {

using test::Colore;

constexpr COLORREF kCornice = RGB(152, 160, 160);
constexpr COLORREF kSfondo = RGB(236, 233, 216);
constexpr COLORREF kArancio = RGB(232, 144, 40);
constexpr COLORREF kGiallo = RGB(255, 208, 56);
constexpr COLORREF kGiallo2 = RGB(255, 200, 56);

// The box of the pixels in [x0, x1) x [y0, y1) that differ from `sfondo`.
QRect Inchiostro(const QImage& img, int x0, int y0, int x1, int y1, COLORREF sfondo) {
  QRect box;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      if (Colore(img, x, y) != sfondo) box |= QRect(x, y, 1, 1);
    }
  }
  return box;
}

TEST(DrawTabTop, PaintsTheUpdatersSelectedFocusedTabWithItsExactGeometry) {
  auto tab = test::StrisciaTervan();
  tab->ImpostaFocusFlag(true);
  const QImage img = tab->ImmagineControllo();
  EXPECT_EQ(tab->TabRect(1), (RECT{0, 0, 79, 24}));
  EXPECT_EQ(tab->BodyRect(), (RECT{0, 22, 300, 100}));
  // Side edges on columns 0 and 79 for rows 2 to 22, (0, 23) restored.
  for (int y = 3; y <= 22; ++y) {
    EXPECT_EQ(Colore(img, 0, y), kCornice) << y;
    EXPECT_EQ(Colore(img, 79, y), kCornice) << y;
  }
  EXPECT_EQ(Colore(img, 0, 23), kCornice);
  EXPECT_EQ(Colore(img, 1, 1), kCornice);
  EXPECT_EQ(Colore(img, 78, 1), kCornice);
  // The stripe: rows 0 and 1 from x 2 to 77, row 2 from 1 to 78.
  for (int x = 2; x <= 77; ++x) {
    EXPECT_EQ(Colore(img, x, 0), kArancio) << x;
    EXPECT_EQ(Colore(img, x, 1), kGiallo) << x;
  }
  EXPECT_EQ(Colore(img, 1, 2), kGiallo2);
  EXPECT_EQ(Colore(img, 78, 2), kGiallo2);
  EXPECT_EQ(Colore(img, 79, 2), kCornice);
  EXPECT_EQ(Colore(img, 1, 0), kSfondo);
  EXPECT_EQ(Colore(img, 78, 0), kSfondo);
  // The fill opens the tab into the body: rows 22 and 23 inside it are
  // background; the body frame goes on to the right of it.
  EXPECT_EQ(Colore(img, 40, 22), kSfondo);
  EXPECT_EQ(Colore(img, 78, 23), kSfondo);
  EXPECT_EQ(Colore(img, 80, 22), kCornice);
  EXPECT_EQ(Colore(img, 299, 50), kCornice);
  EXPECT_EQ(Colore(img, 150, 99), kCornice);
  // The caption starts at (8, dy), dy from the measured text height.
  const int altezza = QFontMetrics(CarattereDaDisegno(tab->Font())).height();
  const int dy = static_cast<int>(std::nearbyint((22 - altezza) / 2.0));
  const QRect testo = Inchiostro(img, 3, 3, 78, 22, kSfondo);
  ASSERT_FALSE(testo.isEmpty());
  EXPECT_GE(testo.left(), 8);
  EXPECT_LE(testo.left(), 9);
  EXPECT_GE(testo.top(), dy);
  EXPECT_LE(testo.bottom(), dy + altezza - 1);
}

TEST(DrawTabTop, FillsUnselectedTabsWithTheGradientOfTheBackColour) {
  auto tab = test::StrisciaTervan();
  tab->AddTab(60, "Due");
  const QImage img = tab->ImmagineControllo();
  // Two columns right of the first tab's right edge, which the raised
  // selected tab covers with its own edge.
  const RECT r = tab->TabRect(2);
  EXPECT_EQ(r, (RECT{79, 2, 139, 22}));
  EXPECT_EQ(Colore(img, r.left + 1, 3), kCornice);
  EXPECT_EQ(Colore(img, r.left, 4), kCornice);
  EXPECT_EQ(Colore(img, r.left + 2, 2), kCornice);
  EXPECT_EQ(Colore(img, r.left + 1, 2), kSfondo);
  EXPECT_EQ(Colore(img, r.right, 21), kCornice);

  // The column right of the caption, from the bottom up: two dark rows, then
  // lighter to the top. A light colour is clamped near white; TabHeight 5
  // leaves one dark row, 4 none.
  struct Caso {
    COLORREF sfondo;
    std::int32_t altezza;
    std::vector<std::pair<int, COLORREF>> righe;
  };
  for (const Caso& c :
       {Caso{kSfondo,
             22,
             {{21, RGB(221, 218, 201)},
              {20, RGB(221, 218, 201)},
              {19, RGB(222, 219, 202)},
              {4, RGB(240, 237, 220)},
              {3, kSfondo}}},
        Caso{RGB(252, 252, 252), 7, {{6, RGB(237, 237, 237)}, {4, RGB(246, 246, 246)}}},
        Caso{kSfondo, 5, {{4, RGB(221, 218, 201)}, {3, kSfondo}}},
        Caso{kSfondo, 4, {{4, kCornice}, {3, kSfondo}}}}) {
    tab->SetBackColor(c.sfondo);
    tab->SetTabHeight(c.altezza);
    const QImage colonna = tab->ImmagineControllo();
    for (const auto& [y, atteso] : c.righe)
      EXPECT_EQ(Colore(colonna, r.right - 2, y), atteso) << c.altezza << " row " << y;
  }
}

TEST(DrawTabTop, WithoutTabsPaintsOnlyBackgroundAndBodyFrame) {
  xpVantelTab tab;
  tab.SetBackColor(kSfondo);
  tab.SetFrameColor(kCornice);
  tab.SetTabHeight(22);
  tab.resize(50, 40);
  tab.DrawTab();
  EXPECT_EQ(tab.SelectedTab(), 0);
  const QImage img = tab.ImmagineControllo();
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 50; ++x) {
      const bool cornice = y >= 22 && (y == 22 || y == 39 || x == 0 || x == 49);
      ASSERT_EQ(Colore(img, x, y), cornice ? kCornice : kSfondo) << x << "," << y;
    }
  }
}

// Which of red (0), green (1) or blue (2) leads in the pixel of the box that
// differs most from the background: the colour of a caption's ink.
int Tinta(const QImage& img, const RECT& r) {
  const QColor sfondo(236, 233, 216);  // kSfondo
  int distanza = -1;
  QColor inchiostro;
  for (int y = r.top + 4; y < r.bottom - 2; ++y) {
    for (int x = r.left + 4; x < r.right - 4; ++x) {
      const QColor c = img.pixelColor(x, y);
      const int d = std::abs(c.red() - sfondo.red()) + std::abs(c.green() - sfondo.green()) +
                    std::abs(c.blue() - sfondo.blue());
      if (d > distanza) {
        distanza = d;
        inchiostro = c;
      }
    }
  }
  const int canali[] = {inchiostro.red(), inchiostro.green(), inchiostro.blue()};
  return static_cast<int>(std::max_element(std::begin(canali), std::end(canali)) - canali);
}

TEST(DrawTabTop, DrawsTheHotStripeWithOrWithoutFocusButNotOnTheSelectedTab) {
  auto tab = test::StrisciaTervan();
  tab->AddTab(60, "Due");
  tab->ImpostaHotTab(2);
  QImage img = tab->ImmagineControllo();
  EXPECT_EQ(Colore(img, 40, 0), kCornice);  // no focus: no stripe on the selected tab
  EXPECT_EQ(Colore(img, 40, 1), kSfondo);
  for (int x = 81; x <= 137; ++x) {
    EXPECT_EQ(Colore(img, x, 2), kArancio) << x;
    EXPECT_EQ(Colore(img, x, 3), kGiallo) << x;
  }
  EXPECT_EQ(Colore(img, 80, 4), kGiallo2);
  EXPECT_EQ(Colore(img, 138, 4), kGiallo2);
  EXPECT_EQ(Colore(img, 80, 3), kCornice);
  EXPECT_EQ(Colore(img, 139, 4), kCornice);
  EXPECT_EQ(Colore(img, 137, 21), RGB(221, 218, 201));  // the hot tab keeps its gradient

  tab->ImpostaHotTab(1);
  img = tab->ImmagineControllo();
  EXPECT_EQ(Colore(img, 40, 2), kSfondo);
  EXPECT_EQ(Colore(img, 90, 2), kCornice);

  // The selected, the hot and any other tab's caption each in its colour.
  tab->AddTab(60, "Tre");
  tab->SetForeColorActive(RGB(255, 0, 0));
  tab->SetForeColorHot(RGB(0, 160, 0));
  tab->SetForeColor(RGB(0, 0, 255));
  tab->ImpostaHotTab(2);
  img = tab->ImmagineControllo();
  for (const int scheda : {1, 2, 3})
    EXPECT_EQ(Tinta(img, tab->TabRect(scheda)), scheda - 1) << scheda;
}

TEST(DrawTabTop, PaintsPicturesAtTheirPlaceAndMovesTheCaptionAfterThem) {
  auto tab = test::StrisciaTervan();
  tab->AddTab(80, "Dati", test::Figura(16, 16, qRgb(0, 128, 0), qRgb(255, 0, 255)));
  const QImage img = tab->ImmagineControllo();
  const QFontMetrics metriche(CarattereDaDisegno(tab->Font()));
  const int dy = static_cast<int>(std::nearbyint((22 - metriche.height()) / 2.0));
  // The picture at (L + 4, dy), its corners masked; the caption at L + 16 + 8.
  const int L = 79;
  EXPECT_EQ(Colore(img, L + 5, dy), RGB(0, 128, 0));
  EXPECT_EQ(Colore(img, L + 18, dy + 14), RGB(0, 128, 0));
  EXPECT_NE(Colore(img, L + 4, dy), RGB(255, 0, 255));
  EXPECT_NE(Colore(img, L + 19, dy + 15), RGB(255, 0, 255));
  EXPECT_NE(Colore(img, L + 20, dy + 8), RGB(0, 128, 0));
  // Dark caption ink begins at L + 24 (a pixel of bearing allowed).
  int primaColonna = -1;
  for (int x = L + 20; x < 138 && primaColonna < 0; ++x) {
    for (int y = 4; y < 22; ++y) {
      if (qGray(img.pixel(x, y)) < 128) primaColonna = x;
    }
  }
  EXPECT_GE(primaColonna, L + 24);
  EXPECT_LE(primaColonna, L + 25);
}

TEST(DrawTabTop, SurvivesBadInputWithDefinedResults) {
  struct Caso {
    const char* nome;
    std::int32_t altezza;
    std::int32_t schede;
    std::int32_t larghezza;
    std::string didascalia;
  };
  for (const Caso& c :
       {Caso{"height 0", 0, 3, 60, "A"}, Caso{"negative height", -40, 3, 60, "A"},
        Caso{"height above the control", 5000, 3, 60, "A"}, Caso{"1000 tabs", 22, 1000, 60, "&Tab"},
        Caso{"no tabs", 22, 0, 60, ""}, Caso{"width 0", 22, 3, 0, "A"},
        Caso{"negative width", 22, 3, -500, "Lungo testo"},
        Caso{"long caption", 22, 2, 60, std::string(10000, 'W')}, Caso{"only &", 22, 2, 60, "&"},
        Caso{"empty", 22, 2, 60, ""}}) {
    std::string stato =
        "[xpVantelTab]\nForeColor=-2147483448\nTabHeight=" + std::to_string(c.altezza) +
        "\nNumberOfTabs=" + std::to_string(c.schede);
    for (std::int32_t i = 1; i <= c.schede; ++i) {
      stato += "\nTabWidth" + std::to_string(i) + "=" + std::to_string(c.larghezza) + "\nTabText" +
               std::to_string(i) + "=" + c.didascalia;
    }
    auto bag = PropertyBagIni::DaTesto(stato);
    xpVantelTab tab;
    tab.ReadProperties(bag);
    tab.resize(300, 100);
    tab.DrawTab();
    tab.ImpostaHotTab(c.schede);
    EXPECT_EQ(tab.NumberOfTabs(), c.schede) << c.nome;
    EXPECT_EQ(tab.SelectedTab(), c.schede == 0 ? 0 : 1) << c.nome;
  }
  // Geometry beyond the 32-bit range is an overflow reported to the caller.
  auto tab = test::StrisciaTervan();
  tab->AddTab(60);
  try {
    tab->SetTabWidth(1, std::numeric_limits<std::int32_t>::max());
    FAIL() << "no overflow";
  } catch (const ErroreControllo& e) {
    EXPECT_EQ(e.Numero(), 6);
  }
}

}  // namespace
}  // namespace brisko
