// The control's model: tab list, setters, events, errors, the late-bound
// interface and the stored state.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QAccessible>
#include <QFontInfo>
#include <QSignalSpy>

#include "ProvaSchede.h"
#include "brisko/PropertyBagIni.h"
#include "tests/support/AltroUtente.h"
#include "tests/support/CartellaTemporanea.h"

namespace brisko {
namespace {

using orvane::test::CartellaTemporanea;
using test::NumeroErrore;

TEST(xpVantelTab, TakesTheAmbientColourAndFontOfANewContainerAndStoresColoursResolved) {
  QWidget modulo;
  modulo.setProperty("BackColor", 0x8000000F);
  modulo.setFont(QFont("DejaVu Sans", 9));
  auto* tab = new xpVantelTab(&modulo);
  tab->InitProperties();
  EXPECT_EQ(tab->BackColor(), 0x8000000FU);
  EXPECT_EQ(tab->Font().family(), "DejaVu Sans");
  // Frame and back colours set later are stored resolved.
  tab->SetFrameColor(0x80000010U);
  tab->SetBackColor(0x8000000FU);
  EXPECT_EQ(tab->FrameColor(), RGB(172, 168, 153));
  EXPECT_EQ(tab->BackColor(), RGB(236, 233, 216));
}

TEST(AddTab, NamesAnUnnamedTabAfterTheCountAndRebuildsAccessKeysOnlyForACaption) {
  auto tab = test::StrisciaTervan();
  tab->SetTabCaption(1, "&Principale");
  tab->AddTab(60, "Aggiorna&menti");
  ASSERT_EQ(tab->AccessKeys(), "pm");
  std::string testo;
  EXPECT_EQ(tab->AddTab(60, testo), 3);
  EXPECT_EQ(testo, "Tab3");
  EXPECT_EQ(tab->AccessKeys(), "pm");
  EXPECT_EQ(tab->GetTabAccessKey('m'), 2);
  EXPECT_EQ(tab->GetTabAccessKey('P'), 0);
}

TEST(DeleteTab, KeepsTheOnlyTabBringsSelectedAndHotTabsBackAndLeavesNoIndexBeyond) {
  auto tab = test::StrisciaTervan();
  QSignalSpy segnate(tab.get(), &xpVantelTab::PropertyChanged);
  tab->DeleteTab();
  EXPECT_EQ(tab->NumberOfTabs(), 1);
  ASSERT_EQ(segnate.count(), 1);
  EXPECT_EQ(segnate[0][0].toString(), "NumberOfTabs");

  tab->AddTab(60, "Due");
  tab->AddTab(60, "Tre");
  tab->SetSelectedTab(3);
  tab->ImpostaHotTab(3);
  tab->DeleteTab();
  EXPECT_EQ(tab->SelectedTab(), 2);
  EXPECT_EQ(tab->HotTab(), 2);
  EXPECT_EQ(tab->TabRect(2).top, 0);  // painted raised
  // Indices outside the list are error 9 and change nothing.
  for (const std::int32_t i : {0, -1, 3, 2147483647}) {
    EXPECT_EQ(NumeroErrore([&] { (void)tab->TabWidth(i); }), 9);
    EXPECT_EQ(NumeroErrore([&] { tab->SetTabCaption(i, "x"); }), 9);
  }
  EXPECT_EQ(tab->TabCaption(1), "Principale");
}

TEST(SelectedTab, RaisesTabPressedWithThePreviousTabBeforeRepainting) {
  auto tab = test::StrisciaTervan();
  tab->AddTab(60, "Due");
  std::vector<std::pair<int, int>> visti;  // previous tab, selection painted
  QObject::connect(tab.get(), &xpVantelTab::TabPressed, [&](std::int16_t precedente) {
    visti.emplace_back(precedente, tab->TabRect(2).top == 0 ? 2 : 1);
  });
  tab->SetSelectedTab(2);
  tab->SetSelectedTab(2);
  tab->SetSelectedTab(1);
  EXPECT_EQ(visti, (std::vector<std::pair<int, int>>{{0, 1}, {2, 2}, {2, 2}}));
  // Beyond the 16-bit range: the event is raised, then the overflow.
  EXPECT_EQ(NumeroErrore([&] { tab->SetSelectedTab(40000); }), 6);
  EXPECT_EQ(visti.size(), 4U);
  // Beyond the list: the paint pass reports it.
  EXPECT_EQ(NumeroErrore([&] { tab->SetSelectedTab(7); }), 9);
}

TEST(Accessibilita, TabsAreNamedPageTabsTheSelectedOneMarkedAheadOfTheWidgetsHeld) {
  auto tab = test::StrisciaTervan();
  tab->SetTabCaption(1, "&Principale");
  tab->AddTab(60, "Note && avvisi");
  const auto* pagina = new QWidget(tab.get());  // a host's page inside the body
  tab->SetSelectedTab(2);
  QAccessibleInterface* striscia = QAccessible::queryAccessibleInterface(tab.get());
  ASSERT_NE(striscia, nullptr);
  EXPECT_EQ(striscia->role(), QAccessible::PageTabList);
  ASSERT_EQ(striscia->childCount(), 3);
  const std::pair<const char*, bool> attese[] = {{"Principale", false}, {"Note & avvisi", true}};
  for (int i = 0; i < 2; ++i) {
    QAccessibleInterface* scheda = striscia->child(i);
    EXPECT_EQ(scheda->role(), QAccessible::PageTab);
    EXPECT_EQ(scheda->text(QAccessible::Name), attese[i].first);
    EXPECT_EQ(scheda->state().selected, attese[i].second);
    EXPECT_EQ(scheda->parent(), striscia);
    EXPECT_EQ(striscia->indexOfChild(scheda), i);
    const QPoint centro = scheda->rect().center();
    EXPECT_EQ(striscia->childAt(centro.x(), centro.y()), scheda);
  }
  EXPECT_EQ(striscia->child(2)->object(), pagina);
}

TEST(Invoke, ReachesPropertiesAndMethodsByTheirDispatchIdentifiers) {
  using enum TipoInvocazione;
  auto tab = test::StrisciaTervan();
  std::vector<Valore> nessuno;
  EXPECT_EQ(tab->Invoke(0x68030000, LeggiProprieta, nessuno), Valore(1));
  std::vector<Valore> aggiungi{Valore(), std::string()};
  EXPECT_EQ(tab->Invoke(0x6003001C, Metodo, aggiungi), Valore(2));
  EXPECT_EQ(aggiungi[1], Valore(std::string("Tab2")));
  std::vector<Valore> seleziona{2};
  tab->Invoke(0x68030000, ScriviProprieta, seleziona);
  EXPECT_EQ(tab->SelectedTab(), 2);
  // Numbers are rounded as the host converts them: halves to even.
  for (const auto& [dato, attesa] :
       {std::pair{Valore(60.7F), 61}, {Valore(2.5F), 2}, {Valore(3.5F), 4}, {Valore(-0.6F), -1}}) {
    std::vector<Valore> larghezza{2, dato};
    tab->Invoke(0x68030008, ScriviProprieta, larghezza);
    EXPECT_EQ(tab->TabWidth(2), attesa) << attesa;
  }
  // Overflow, a member that is not there or not writable, a missing
  // argument (a lone value for a tab's property has no index), a type
  // mismatch.
  for (const auto& [dispid, tipo, argomenti, numero] :
       {std::tuple{0x68030008, ScriviProprieta, std::vector<Valore>{2, 3e9F}, 6L},
        {0x68030003, ScriviProprieta, seleziona, 438L},
        {0x12345, Metodo, nessuno, 438L},
        {0x68030007, LeggiProprieta, nessuno, 449L},
        {0x68030008, ScriviProprieta, std::vector<Valore>{2}, 449L},
        {0x68030000, ScriviProprieta, std::vector<Valore>{std::string("due")}, 13L}}) {
    auto copia = argomenti;
    // Copied into the capture: clang 14 cannot capture structured bindings.
    EXPECT_EQ(NumeroErrore([&, id = dispid, t = tipo] { tab->Invoke(id, t, copia); }), numero)
        << dispid;
  }
}

TEST(WriteProperties, StoresEveryKeyInOrderReadsItBackAndReportsAFileItCannotReadOrWrite) {
  CartellaTemporanea cartella;
  const auto figura = test::Figura(4, 4, qRgb(1, 2, 3), qRgb(255, 0, 255));
  ASSERT_TRUE(figura->Pixel().save(QString::fromStdString((cartella / "a.bmp").string()), "BMP"));
  auto tab = test::StrisciaTervan();
  tab->SetTabPicture(1, Immagine::LoadPicture(cartella / "a.bmp"));
  tab->AddTab(50, " due \"righe\"\nfine\x1b\x7f");
  tab->AddTab(40, "", test::Figura(2, 2, 0, 0));  // made in memory
  tab->SetFont(QFont("Tahoma", 9));
  tab->SetForeColor(0x80000012U);

  PropertyBagIni bag(cartella / "stato.ini");
  tab->WriteProperties(bag);
  bag.Salva();
  EXPECT_EQ(orvane::test::LeggiFile(cartella / "stato.ini"),
            "[xpVantelTab]\nAlignment=0\nTabHeight=22\nBackColor=14215660\n"
            "ForeColor=-2147483630\nForeColorActive=9982008\nForeColorHot=16711680\n"
            "FrameColor=10526872\nMaskColor=16711935\nSelectedTab=1\nFont=Tahoma,9\n"
            "NumberOfTabs=3\nTabWidth1=75\nTabText1=Principale\nTabPicture1=a.bmp\n"
            "TabWidth2=50\nTabText2=\" due \\\"righe\\\"\\nfine\\x1b\\x7f\"\nTabWidth3=40\n"
            "TabText3=Tab3\n"
            "TabPicture3=stato.TabPicture3.bmp\n");
  // Saved again, the file keeps the permissions its owner gave it.
  std::filesystem::permissions(cartella / "stato.ini", std::filesystem::perms(0600));
  bag.Salva();
  EXPECT_EQ(std::filesystem::status(cartella / "stato.ini").permissions(),
            std::filesystem::perms(0600));
  // A missing state, and a state saved into a folder that is not there.
  EXPECT_EQ(NumeroErrore([&] { (void)PropertyBagIni::Carica(cartella / "manca.ini"); }), 53);
  PropertyBagIni altrove(cartella / "no" / "stato.ini");
  altrove.WriteProperty("TabHeight", 22);
  EXPECT_NE(NumeroErrore([&] { altrove.Salva(); }), 0);

  xpVantelTab letto;
  auto stato = PropertyBagIni::Carica(cartella / "stato.ini");
  letto.ReadProperties(stato);
  EXPECT_EQ(letto.TabCaption(2), " due \"righe\"\nfine\x1b\x7f");
  ASSERT_NE(letto.TabPicture(1), nullptr);
  EXPECT_EQ(letto.TabPicture(1)->Pixel().pixel(1, 1) & 0xFFFFFFU, 0x010203U);
  ASSERT_NE(letto.TabPicture(3), nullptr);
  EXPECT_EQ(letto.ForeColor(), 0x80000012U);
}

TEST(ReadProperties, TakesTheDefaultOfEveryMissingOrUnreadableKey) {
  auto sporco = PropertyBagIni::DaTesto(
      "; commento\n[Altro]\nTabHeight=99\n[xpvanteltab]\nTabHeight=&H1E&\nTabHeight=40\n"
      "BackColor=verde\nFrameColor=4294967295\nriga senza uguale\nFont=Nessuno,zero\n"
      "NumberOfTabs=3\nTabWidth1=12abc\nTabText1=&Uno\nTabText2=D&ue\nTabPicture2=manca.bmp\n"
      "TabWidth3=-7\nSelectedTab=9\n");
  xpVantelTab letto;
  QSignalSpy premuto(&letto, &xpVantelTab::TabPressed);
  letto.ReadProperties(sporco);
  ASSERT_EQ(premuto.count(), 1);
  EXPECT_EQ(premuto[0][0].value<std::int16_t>(), 0);
  EXPECT_EQ(letto.TabHeight(), 30);
  EXPECT_EQ(letto.BackColor(), RGB(240, 240, 224));
  EXPECT_EQ(letto.FrameColor(), 0U);  // a system colour outside the table paints black
  EXPECT_EQ(letto.NumberOfTabs(), 3);
  EXPECT_EQ(letto.TabWidth(1), 0);
  EXPECT_EQ(letto.TabWidth(3), -7);
  // A picture file that is missing stays named, and is reported.
  ASSERT_NE(letto.TabPicture(2), nullptr);
  EXPECT_EQ(letto.TabPicture(2)->Type(), TipoImmagine::Nessuna);
  ASSERT_EQ(sporco.Avvisi().size(), 1U);
  EXPECT_NE(sporco.Avvisi()[0].find("TabPicture2: manca.bmp"), std::string::npos);
  EXPECT_EQ(letto.AccessKeys(), "uu");
  EXPECT_EQ(letto.SelectedTab(), 3);  // a stored selection beyond the tabs
}

TEST(PropertyBagIni, SavesEveryCaptionAndFontSoThatTheFileReadsThemBack) {
  CartellaTemporanea cartella;
  const auto salvato = [&](std::string_view chiave, const Valore& valore) {
    PropertyBagIni bag(cartella / "stato.ini");
    bag.WriteProperty(chiave, valore);
    bag.Salva();
    return PropertyBagIni::Carica(cartella / "stato.ini");
  };
  // Bytes that are not UTF-8 (a caption from a Latin-1 source) would make
  // the whole file unreadable; UTF-8 is kept as it is. A blank at the end
  // is quoted, as the reading trims the line.
  for (const auto& [testo, riga] :
       {std::pair<std::string, std::string>{"Caff\xE8", "\"Caff\\xe8\""},
        {"Caff\xC3\xA8", "Caff\xC3\xA8"},
        {"Dati ", "\"Dati \""},
        {"\xC3\xA8\xF0\x9F\x98 \xC0\xAF", "\"\xC3\xA8\\xf0\\x9f\\x98 \\xc0\\xaf\""}}) {
    auto letto = salvato("TabText1", testo);
    EXPECT_EQ(letto.Testo(), "[xpVantelTab]\nTabText1=" + riga + "\n");
    EXPECT_EQ(letto.ReadProperty("TabText1", std::string()), Valore(testo)) << riga;
  }
  // A font set by pixels, and families the separator or a quote is part of.
  QFont pixel("DejaVu Sans");
  pixel.setPixelSize(12);
  QFont virgola("Foo", 10);
  virgola.setFamily("Foo, Bar");
  virgola.setItalic(true);
  for (const QFont& carattere : {QFont("Tahoma", 9), pixel, virgola, QFont("\"Strana\" Bar", 7)}) {
    auto letto = salvato("Font", carattere);
    const auto font = std::get<QFont>(letto.ReadProperty("Font", QFont()));
    EXPECT_EQ(font.family(), carattere.family());
    EXPECT_EQ(font.italic(), carattere.italic()) << carattere.family().toStdString();
    EXPECT_EQ(QFontInfo(font).pixelSize(), QFontInfo(carattere).pixelSize())
        << carattere.family().toStdString();
  }
}

TEST(PropertyBagIni, WritesThroughNoLinkAnotherUserPlanted) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give a link to another user";
  CartellaTemporanea cartella;
  orvane::test::ScriviFile(cartella / "altrove.txt", "di root");
  const auto condivisa = cartella / "condivisa";
  std::filesystem::create_directory(condivisa);
  std::filesystem::permissions(condivisa, std::filesystem::perms(0777));
  for (const char* nome : {"stato.ini", "stato.TabPicture1.bmp"}) {
    std::filesystem::create_symlink(cartella / "altrove.txt", condivisa / nome);
    ASSERT_EQ(::lchown((condivisa / nome).c_str(), orvane::test::kUtenteNessuno,
                       orvane::test::kUtenteNessuno),
              0);
  }
  PropertyBagIni bag(condivisa / "stato.ini");
  EXPECT_EQ(NumeroErrore([&] { bag.WriteProperty("TabPicture1", test::Figura(2, 2, 0, 0)); }), 75);
  bag.WriteProperty("TabHeight", 22);
  EXPECT_EQ(NumeroErrore([&] { bag.Salva(); }), 75);
  EXPECT_EQ(orvane::test::LeggiFile(cartella / "altrove.txt"), "di root");
  EXPECT_TRUE(std::filesystem::is_symlink(condivisa / "stato.ini"));
}

}  // namespace
}  // namespace brisko
