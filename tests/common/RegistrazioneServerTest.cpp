#include "common/RegistrazioneServer.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <regex>
#include <set>
#include <stdexcept>
#include <string>

#include "common/CreaOggetto.h"
#include "common/FabbricaDi.h"
#include "common/clsGUID.h"
#include "platform/Libreria.h"
#include "platform/TestoUtf8.h"
#include "tests/support/MacchinaFinta.h"

namespace orvane {
namespace {

using test::MacchinaFinta;

struct Campione {};
struct CampioneCheFallisce {
  CampioneCheFallisce() { throw std::runtime_error("costruzione fallita"); }
};
FabbricaDi<Campione> g_fabbricaCampione;
FabbricaDi<CampioneCheFallisce> g_fabbricaCheFallisce;

constexpr std::string_view kLibId = "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1B001}";
constexpr const char* kClsidCampione = "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1C001}";
constexpr std::array<InterfacciaServer, 1> kInterfacce{{
    {"_Campione", "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1D001}"},
}};
const std::array<ClasseServer, 3> kClassi{{
    {"Campione", "Prova.Campione", kClsidCampione, false, &g_fabbricaCampione},
    {"Pannello", "Prova.Pannello", "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1C002}", true, nullptr},
    {"Pagina", "", "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1C003}", false, &g_fabbricaCheFallisce},
}};
const ServerComponenti kServer{"Prova", kLibId, "3.1", kClassi, kInterfacce};

void Scrivi(const std::string& chiave, std::string_view valore) {
  test::ScriviTesto(platform::HKEY_CLASSES_ROOT, chiave, "", valore);
}

std::string Esporta() {
  return test::EsportaReg(platform::HKEY_CLASSES_ROOT);
}

TEST(RegistrazioneServer,
     UnregisteringTakesBackOnlyWhatItWroteAndAFailedRegistrationLeavesNothing) {
  MacchinaFinta macchina;
  // Other servers' entries under the same roots, another version of the
  // same type library, and a value of someone else inside a class key.
  Scrivi("CLSID\\{00000000-0000-0000-0000-0000000000AA}\\InprocServer32", "/altro.so");
  Scrivi("TypeLib\\" + std::string(kLibId) + "\\3.0", "Prova");
  Scrivi("CLSID\\" + std::string(kClsidCampione) + "\\AppID", "{0000}");
  const std::string prima = Esporta();

  ASSERT_EQ(RegistraServer(kServer, "/vecchia/Prova.so"), S_OK);
  ASSERT_EQ(RegistraServer(kServer, "/nuova/Prova.so"), S_OK);
  const std::string nuova = Esporta();
  ASSERT_NE(nuova, prima);
  // The copy registered last keeps its entries when the older one goes.
  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/vecchia/Prova.so"), S_OK);
  EXPECT_EQ(Esporta(), nuova);

  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/nuova/Prova.so"), S_OK);
  EXPECT_EQ(Esporta(), prima);
  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/nuova/Prova.so"), S_OK);
  EXPECT_EQ(Esporta(), prima);

  // A class's program identifier longer than a key name may be, or a store
  // that cannot be written: the registration fails and leaves nothing behind.
  const std::string lungo(300, 'P');
  const std::array<ClasseServer, 2> classi{{
      kClassi[0],
      {"Lungo", lungo, "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1C009}", false, nullptr},
  }};
  EXPECT_EQ(RegistraServer({"Prova", kLibId, "3.1", classi, kInterfacce}, "/opt/Prova.so"),
            SELFREG_E_CLASS);
  EXPECT_EQ(Esporta(), prima);

  test::ScriviFile(macchina.FileRadice("HKEY_CLASSES_ROOT"), "non è un registro");
  EXPECT_EQ(RegistraServer(kServer, "/opt/Prova.so"), SELFREG_E_CLASS);
  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/opt/Prova.so"), SELFREG_E_CLASS);
  EXPECT_EQ(test::LeggiFile(macchina.FileRadice("HKEY_CLASSES_ROOT")), "non è un registro");
}

TEST(FabbricaServer, HandsOutFactoriesOfServedClassesOnly) {
  void* fabbrica = nullptr;
  EXPECT_EQ(FabbricaServer(kServer, "{6c0d4b1e-7a55-4f0e-9d3b-2e1f00a1c001}", &fabbrica), S_OK);
  EXPECT_EQ(fabbrica, static_cast<void*>(static_cast<FabbricaClassi*>(&g_fabbricaCampione)));
  // A class without a factory, a program identifier, nothing.
  for (const char* clsid : {"{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1C002}", "Prova.Campione", ""}) {
    EXPECT_EQ(FabbricaServer(kServer, clsid, &fabbrica), CLASS_E_CLASSNOTAVAILABLE) << clsid;
    EXPECT_EQ(fabbrica, nullptr);
  }
  EXPECT_EQ(FabbricaServer(kServer, nullptr, &fabbrica), E_INVALIDARG);
  EXPECT_EQ(FabbricaServer(kServer, kClsidCampione, nullptr), E_POINTER);

  // A constructor that fails makes no object and leaves no count behind
  // (the count of live objects is pinned through Quomaro's).
  std::shared_ptr<void> fallito = std::make_shared<int>(1);
  EXPECT_EQ(g_fabbricaCheFallisce.CreaIstanza(fallito), E_FAIL);
  EXPECT_EQ(fallito, nullptr);
  EXPECT_EQ(ServerScaricabile(), S_OK);
}

bool Caricata(const char* file) {
  void* h = dlopen(file, RTLD_NOW | RTLD_NOLOAD);
  if (h != nullptr) dlclose(h);
  return h != nullptr;
}

TEST(CreaOggetto, KeepsTheLibraryLoadedExactlyWhileItsObjectsLiveAndEveryMissingLinkGivesError429) {
  MacchinaFinta macchina;
  Scrivi("Prova.Oggetto\\CLSID", COMPONENTE_OGGETTI_CLSID);
  Scrivi("CLSID\\" COMPONENTE_OGGETTI_CLSID "\\InprocServer32", COMPONENTE_OGGETTI);
  ASSERT_FALSE(Caricata(COMPONENTE_OGGETTI));

  OggettoCreato primo = CreaOggetto("Prova.Oggetto");
  ASSERT_NE(primo.oggetto, nullptr);
  EXPECT_EQ(*static_cast<int*>(primo.oggetto.get()), 7);
  const std::string minuscolo = platform::MinuscoloAscii(COMPONENTE_OGGETTI_CLSID);
  OggettoCreato secondo = CreaOggetto(minuscolo);
  EXPECT_EQ(secondo.tipo, primo.tipo);

  std::shared_ptr<void> copia = primo.oggetto;
  primo.oggetto.reset();
  secondo.oggetto.reset();
  EXPECT_TRUE(Caricata(COMPONENTE_OGGETTI));
  // The last object goes first, its library after it.
  copia.reset();
  EXPECT_FALSE(Caricata(COMPONENTE_OGGETTI));

  // Every missing link gives error 429.
  const std::string mancante = (macchina.Percorso() / "Mancante.dll").string();
  Scrivi("Prova.Mancante\\CLSID", "{00000000-0000-0000-0000-0000000000D1}");
  Scrivi("CLSID\\{00000000-0000-0000-0000-0000000000D1}\\InprocServer32", mancante);
  Scrivi("Prova.SenzaFabbrica\\CLSID", "{00000000-0000-0000-0000-0000000000D2}");
  Scrivi("CLSID\\{00000000-0000-0000-0000-0000000000D2}\\InprocServer32", ORVANE_SONDA_LOG);
  Scrivi("Prova.NonServita\\CLSID", "{00000000-0000-0000-0000-0000000000D3}");
  Scrivi("CLSID\\{00000000-0000-0000-0000-0000000000D3}\\InprocServer32", COMPONENTE_OGGETTI);
  Scrivi("Prova.SenzaServer\\CLSID", "{00000000-0000-0000-0000-0000000000D4}");

  for (const char* nome :
       {"Prova.Sconosciuta", "", "{00000000-0000-0000-0000-0000000000D9}", "Prova.Mancante",
        "Prova.SenzaFabbrica", "Prova.NonServita", "Prova.SenzaServer", "Prova.Mancante\\CLSID"}) {
    try {
      (void)CreaOggetto(nome);
      ADD_FAILURE() << nome;
    } catch (const Errore& e) {
      EXPECT_EQ(e.Numero(), 429) << nome;
      EXPECT_STREQ(e.what(), "Il componente ActiveX non può creare l'oggetto");
    }
  }
}

TEST(clsGUID, UpperCaseRegistryFormOfAVersion4IdentifierWithExactRemovalAndNoRepeats) {
  const std::string id = clsGUID().CreateGUID("");
  static const std::regex kForma(
      R"(\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}\})");
  EXPECT_TRUE(std::regex_match(id, kForma)) << id;
  // Absent characters, lower-case letters and repeats change nothing more.
  EXPECT_EQ(clsGUID().CreateGUID("xyzabcdef").size(), 38U);
  EXPECT_EQ(clsGUID().CreateGUID("--").size(), 34U);
  // With braces and hyphens gone: 32 hex digits, unique over many calls.
  std::set<std::string> visti;
  for (int i = 0; i < 20000; ++i) {
    const std::string cifre = clsGUID().CreateGUID("{}-");
    ASSERT_EQ(cifre.size(), 32U);
    ASSERT_EQ(cifre.find_first_not_of("0123456789ABCDEF"), std::string::npos) << cifre;
    visti.insert(cifre);
  }
  EXPECT_EQ(visti.size(), 20000U);
}

}  // namespace
}  // namespace orvane
