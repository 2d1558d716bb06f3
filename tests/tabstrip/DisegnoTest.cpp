// The drawing primitives, and the paint pass pixel by pixel.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QSignalSpy>
#include <cmath>
#include <limits>
#include <vector>

#include "Caratteri.h"
#include "ProvaSchede.h"
#include "brisko/PropertyBagIni.h"
#include "mXPVantel.h"

namespace brisko {
namespace {

using namespace mXPVantel;
using test::Colore;

constexpr COLORREF kCornice = RGB(152, 160, 160);
constexpr COLORREF kSfondo = RGB(236, 233, 216);
constexpr COLORREF kArancio = RGB(232, 144, 40);
constexpr COLORREF kGiallo = RGB(255, 208, 56);
constexpr COLORREF kGiallo2 = RGB(255, 200, 56);
constexpr COLORREF kScuro = RGB(221, 218, 201);   // kSfondo shifted by -15
constexpr COLORREF kChiaro = RGB(240, 237, 220);  // kSfondo shifted by 5

// A box [x0, x1] x [y0, y1] of the image, all of one colour.
struct Zona {
  int x0, y0, x1, y1;
  COLORREF colore;
};

template <std::size_t N>
void ControllaZone(const QImage& img, const Zona (&zone)[N]) {
  for (const auto& [x0, y0, x1, y1, colore] : zone) {
    int diversi = 0;
    for (int y = y0; y <= y1; ++y) {
      for (int x = x0; x <= x1; ++x)
        diversi += Colore(img, x, y) != colore ? 1 : 0;
    }
    EXPECT_EQ(diversi, 0) << "(" << x0 << "," << y0 << ")-(" << x1 << "," << y1 << ")";
  }
}

TEST(ShiftColor, ResolvesSystemColoursAndClampsEachChannelToTheByteRange) {
  for (const auto& [colore, quanto, atteso] :
       {std::tuple{RGB(252, 10, 128), 5, RGB(255, 15, 133)},
        {RGB(252, 10, 128), -15, RGB(237, 0, 113)},
        {0x8000001EU, 0, RGB(236, 233, 216)},  // the last system colour
        {0x8000001FU, 5, RGB(5, 5, 5)},        // past the table: black
        {0x12345678U, 0, 0x345678U},
        {RGB(1, 2, 3), std::numeric_limits<std::int32_t>::max(), RGB(255, 255, 255)}}) {
    EXPECT_EQ(ShiftColor(colore, quanto), atteso) << std::hex << colore << " " << quanto;
  }
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

// Whether some pixel of the box has the tint `c` (0 red, 1 green, 2 blue) at
// full strength: that channel above 150, the other two below 100.
bool HaTinta(const QImage& img, const RECT& r, int c) {
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) {
      const QColor p = img.pixelColor(x, y);
      const int v[] = {p.red(), p.green(), p.blue()};
      if (v[c] > 150 && v[(c + 1) % 3] < 100 && v[(c + 2) % 3] < 100) return true;
    }
  }
  return false;
}

TEST(DrawTabTop,
     RaisesTheSelectedTabStripedWhenFocusedAndDrawsTheHotStripeAndEachCaptionInItsColour) {
  auto tab = test::StrisciaTervan();
  tab->AddTab(60, "Due");
  tab->ImpostaFocusFlag(true);
  EXPECT_EQ(tab->TabRect(1), (RECT{0, 0, 79, 24}));
  EXPECT_EQ(tab->TabRect(2), (RECT{79, 2, 139, 22}));
  EXPECT_EQ(tab->BodyRect(), (RECT{0, 22, 300, 100}));
  // The selected tab's outline with its rounded corners, and the stripe:
  // rows 0 and 1 from x 2 to 77, row 2 from 1 to 78. It opens into the
  // body, which is framed on the right of it. The other tab's outline, its
  // left edge under the selected one's; right of its caption, from the
  // bottom up: two dark rows, then lighter.
  const Zona zone[] = {
      {0, 3, 0, 23, kCornice},    {79, 3, 79, 22, kCornice}, {1, 1, 1, 1, kCornice},
      {1, 0, 1, 0, kSfondo},      {2, 0, 77, 0, kArancio},   {2, 1, 77, 1, kGiallo},
      {1, 2, 78, 2, kGiallo2},    {1, 22, 78, 23, kSfondo},  {80, 22, 299, 22, kCornice},
      {80, 3, 80, 3, kCornice},   {81, 2, 137, 2, kCornice}, {139, 4, 139, 21, kCornice},
      {137, 20, 137, 21, kScuro}, {137, 4, 137, 4, kChiaro}, {137, 3, 137, 3, kSfondo}};
  ControllaZone(tab->ImmagineControllo(), zone);

  // No focus: no stripe on the selected tab; the hot one keeps its gradient.
  tab->ImpostaFocusFlag(false);
  tab->ImpostaHotTab(2);
  const Zona calda[] = {{40, 0, 40, 0, kCornice}, {81, 2, 137, 2, kArancio},
                        {81, 3, 137, 3, kGiallo}, {80, 4, 138, 4, kGiallo2},
                        {80, 3, 80, 3, kCornice}, {137, 21, 137, 21, kScuro}};
  ControllaZone(tab->ImmagineControllo(), calda);
  tab->ImpostaHotTab(1);
  ControllaZone(tab->ImmagineControllo(), {{40, 2, 40, 2, kSfondo}, {90, 2, 90, 2, kCornice}});

  tab->AddTab(60, "Tre");
  tab->SetForeColorActive(RGB(255, 0, 0));
  tab->SetForeColor(RGB(0, 0, 255));
  tab->ImpostaHotTab(2);
  // The hot colour is marked changed, but shows only at the next paint.
  const QImage prima = tab->ImmagineControllo();
  QSignalSpy segnate(tab.get(), &xpVantelTab::PropertyChanged);
  tab->SetForeColorHot(RGB(0, 160, 0));
  EXPECT_EQ(segnate.count(), 1);
  EXPECT_EQ(tab->ImmagineControllo(), prima);
  tab->DrawTab();
  const QImage img = tab->ImmagineControllo();
  for (const int scheda : {1, 2, 3}) {
    EXPECT_TRUE(HaTinta(img, tab->TabRect(scheda), scheda - 1)) << scheda;
  }
}

TEST(DrawTabTop, WithoutTabsOrLayoutPaintsOnlyBackgroundAndBodyFrame) {
  xpVantelTab tab;
  tab.SetBackColor(kSfondo);
  tab.SetFrameColor(kCornice);
  tab.SetTabHeight(22);
  tab.resize(50, 40);
  tab.DrawTab();
  const Zona zone[] = {{0, 0, 49, 21, kSfondo},   {1, 23, 48, 38, kSfondo},
                       {0, 22, 49, 22, kCornice}, {0, 39, 49, 39, kCornice},
                       {0, 22, 0, 39, kCornice},  {49, 22, 49, 39, kCornice}};
  ControllaZone(tab.ImmagineControllo(), zone);
  // The alignments without a layout show the background at full size.
  for (const auto allineamento : {tRight, tBottom}) {
    tab.SetAlignment(allineamento);
    SCOPED_TRACE(allineamento);
    ControllaZone(tab.ImmagineControllo(), {{0, 0, 49, 39, kSfondo}});
  }
}

TEST(DrawTabTop, PaintsPicturesAtTheirPlaceAndMovesTheCaptionAfterThem) {
  auto tab = test::StrisciaTervan();
  const auto figura = test::Figura(16, 16, qRgb(0, 128, 0), qRgb(255, 0, 255));
  tab->AddTab(80, "Dati", figura);
  // Only bitmaps are painted, not icons.
  tab->AddTab(80, "Icona", std::make_shared<Immagine>(figura->Pixel(), TipoImmagine::Icona));
  const QImage img = tab->ImmagineControllo();
  const QFontMetrics metriche(CarattereDaDisegno(tab->Font()));
  const int dy = static_cast<int>(std::nearbyint((22 - metriche.height()) / 2.0));
  // The picture at (L + 4, dy), its corners masked; the caption at L + 16 + 8.
  const int L = 79;
  EXPECT_EQ(Colore(img, L + 5, dy), RGB(0, 128, 0));
  EXPECT_EQ(Colore(img, L + 18, dy + 14), RGB(0, 128, 0));
  EXPECT_NE(Colore(img, L + 4, dy), RGB(255, 0, 255));
  EXPECT_NE(Colore(img, L + 20, dy + 8), RGB(0, 128, 0));
  EXPECT_NE(Colore(img, tab->TabRect(3).left + 8, dy + 8), RGB(0, 128, 0));
  // The caption's dark ink: from L + 24 (a pixel of bearing allowed), within
  // the text's height from dy.
  QRect testo;
  for (int y = 3; y < 22; ++y) {
    for (int x = L + 20; x < 138; ++x) {
      if (qGray(img.pixel(x, y)) < 128) testo |= QRect(x, y, 1, 1);
    }
  }
  EXPECT_GE(testo.left(), L + 24);
  EXPECT_LE(testo.left(), L + 25);
  EXPECT_GE(testo.top(), dy);
  EXPECT_LE(testo.bottom(), dy + metriche.height() - 1);
  // A picture cut by the control's edge is clipped.
  tab->resize(L + 12, 100);
  tab->DrawTab();
  EXPECT_EQ(Colore(tab->ImmagineControllo(), L + 5, dy), RGB(0, 128, 0));
}

TEST(DrawTabTop, DrawsACharacterOutsideTheBasicPlaneAfterAnAmpersandWhole) {
  // No access key is made of such a character: it is drawn as if the "&"
  // were not there, not as two halves of a character.
  const auto immagine = [](const char* didascalia) {
    auto tab = test::StrisciaTervan();
    tab->SetTabCaption(1, didascalia);
    return tab->ImmagineControllo();
  };
  EXPECT_EQ(immagine("&\xF0\x9F\x98\x80x"), immagine("\xF0\x9F\x98\x80x"));
  EXPECT_NE(immagine("&Ax"), immagine("Ax"));
}

// A stored state of `schede` tabs, each `larghezza` wide with `didascalia`,
// its captions in a system colour past the table.
std::string Stato(int altezza, std::int32_t schede, int larghezza, const std::string& didascalia) {
  std::string stato = "ForeColor=-2147483448\nTabHeight=" + std::to_string(altezza) +
                      "\nNumberOfTabs=" + std::to_string(schede);
  for (std::int32_t i = 1; i <= schede; ++i) {
    const auto n = std::to_string(i);
    stato +=
        "\nTabWidth" + n + "=" + std::to_string(larghezza) + "\nTabText" + n + "=" + didascalia;
  }
  return stato;
}

TEST(DrawTabTop, PaintsEveryStoredStateWithDefinedResults) {
  // Heights from none to beyond the control (5 leaves the gradient no step),
  // many tabs, widths from negative to one that reaches near the 32-bit end.
  // Selections outside the tabs are brought in, so the control paints.
  // Counts are 32-bit: a large strip is kept and stored whole; a negative or
  // absurd count gives none.
  std::vector<std::tuple<std::string, std::int32_t, std::int32_t>> casi{
      {"NumberOfTabs=2\nSelectedTab=0", 2, 0},
      {"NumberOfTabs=2\nSelectedTab=-4", 2, 1},
      {"NumberOfTabs=2\nSelectedTab=-2147483648", 2, 1},
      {"NumberOfTabs=2\nSelectedTab=32768", 2, 2},
      {"NumberOfTabs=-1", 0, 0},
      {"NumberOfTabs=&HFFFFFFFF", 0, 0},
      {"NumberOfTabs=2147483647", 0, 0},
      {"NumberOfTabs=40000\nTabText40000=Ultima", 40000, 1}};
  const std::string lunga(10000, 'W');
  const std::tuple<int, int, int, std::string> geometrie[] = {
      {0, 3, 60, "A"},          {-40, 3, 60, "A"},  {5, 3, 60, "A"},  {5000, 3, 60, "A"},
      {22, 1000, 60, "&Tab"},   {22, 0, 60, ""},    {22, 3, 0, "A"},  {22, 3, -500, "Lungo testo"},
      {22, 1, 2000000000, "A"}, {22, 2, 60, lunga}, {22, 2, 60, "&"}, {22, 2, 60, ""}};
  for (const auto& [altezza, schede, larghezza, didascalia] : geometrie) {
    casi.emplace_back(Stato(altezza, schede, larghezza, didascalia), schede, schede == 0 ? 0 : 1);
  }
  for (const auto& [stato, schede, selezione] : casi) {
    SCOPED_TRACE(stato.substr(0, 80));
    auto bag = PropertyBagIni::DaTesto("[xpVantelTab]\n" + stato);
    xpVantelTab tab;
    tab.ReadProperties(bag);
    EXPECT_EQ(tab.NumberOfTabs(), schede);
    EXPECT_EQ(tab.SelectedTab(), selezione);
    tab.resize(300, 100);
    EXPECT_NO_THROW(tab.DrawTab());
    EXPECT_NO_THROW(tab.ImpostaHotTab(schede));
    PropertyBagIni salvato(std::filesystem::path("stato.ini"));
    tab.WriteProperties(salvato);
    EXPECT_EQ(salvato.Testo().find("TabText40000=Ultima\n") != std::string::npos, schede == 40000);
  }
  // Geometry beyond the 32-bit range is an overflow reported to the caller.
  auto tab = test::StrisciaTervan();
  tab->AddTab(60);
  EXPECT_EQ(test::NumeroErrore([&] { tab->SetTabWidth(1, std::numeric_limits<int>::max()); }), 6);
}

}  // namespace
}  // namespace brisko
