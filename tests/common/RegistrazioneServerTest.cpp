#include "common/RegistrazioneServer.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <optional>
#include <stdexcept>
#include <string>

#include "common/ChiaveRegistro.h"
#include "common/CreaOggetto.h"
#include "common/FabbricaDi.h"
#include "platform/Libreria.h"
#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"

namespace orvane {
namespace {

using platform::HKEY_CLASSES_ROOT;
using test::MacchinaFinta;

struct Campione {
  int valore = 42;
};

struct CampioneCheFallisce {
  CampioneCheFallisce() { throw std::runtime_error("costruzione fallita"); }
};

FabbricaDi<Campione> g_fabbricaCampione;
FabbricaDi<CampioneCheFallisce> g_fabbricaCheFallisce;

constexpr std::string_view kLibId = "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1B001}";
constexpr std::string_view kClsidCampione = "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1C001}";
constexpr std::string_view kClsidPannello = "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1C002}";
constexpr std::string_view kClsidPagina = "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1C003}";
constexpr std::string_view kIidCampione = "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1D001}";

constexpr std::array<InterfacciaServer, 2> kInterfacce{{
    {"_Campione", kIidCampione},
    {"__Pannello", "{6C0D4B1E-7A55-4F0E-9D3B-2E1F00A1D002}"},
}};

const std::array<ClasseServer, 3> kClassi{{
    {"Campione", "Prova.Campione", kClsidCampione, false, &g_fabbricaCampione},
    {"Pannello", "Prova.Pannello", kClsidPannello, true, nullptr},
    {"Pagina", "", kClsidPagina, false, &g_fabbricaCheFallisce},
}};

const ServerComponenti kServer{"Prova", kLibId, "3.1", kClassi, kInterfacce};

std::string C(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
  std::string r(a);
  for (std::string_view parte : {b, c}) {
    if (!parte.empty()) r += "\\" + std::string(parte);
  }
  return r;
}

std::optional<std::string> Leggi(const std::string& chiave, std::string_view nome = "") {
  ChiaveRegistro aperta;
  if (ChiaveRegistro::Apri(HKEY_CLASSES_ROOT, chiave, platform::KEY_READ, aperta) !=
      platform::ERROR_SUCCESS) {
    return std::nullopt;
  }
  return aperta.LeggiTesto(nome);
}

bool Esiste(const std::string& chiave) {
  ChiaveRegistro aperta;
  return ChiaveRegistro::Apri(HKEY_CLASSES_ROOT, chiave, platform::KEY_READ, aperta) ==
         platform::ERROR_SUCCESS;
}

void Scrivi(const std::string& chiave, std::string_view nome, std::string_view valore) {
  ChiaveRegistro aperta;
  ASSERT_EQ(ChiaveRegistro::Crea(HKEY_CLASSES_ROOT, chiave, aperta), platform::ERROR_SUCCESS);
  ASSERT_EQ(aperta.ScriviTesto(nome, valore), platform::ERROR_SUCCESS);
}

std::string Esporta() {
  std::string testo;
  EXPECT_EQ(platform::EsportaRegistro(HKEY_CLASSES_ROOT, "", testo), platform::ERROR_SUCCESS);
  return testo;
}

TEST(RegistrazioneServer, WritesClassesInterfacesAndTypeLibraryUnderClassesRoot) {
  MacchinaFinta macchina;
  ASSERT_EQ(RegistraServer(kServer, "/opt/prova/Prova.so"), S_OK);

  const std::string campione = C("CLSID", kClsidCampione);
  EXPECT_EQ(Leggi(C("Prova.Campione", "CLSID")), kClsidCampione);
  EXPECT_EQ(Leggi("Prova.Campione"), "Prova.Campione");
  EXPECT_EQ(Leggi(campione), "Prova.Campione");
  EXPECT_EQ(Leggi(C(campione, "InprocServer32")), "/opt/prova/Prova.so");
  EXPECT_EQ(Leggi(C(campione, "InprocServer32"), "ThreadingModel"), "Apartment");
  EXPECT_EQ(Leggi(C(campione, "ProgID")), "Prova.Campione");
  EXPECT_EQ(Leggi(C(campione, "TypeLib")), kLibId);
  EXPECT_FALSE(Esiste(C(campione, "Control")));

  // A control carries the keys that forms look for.
  const std::string pannello = C("CLSID", kClsidPannello);
  EXPECT_TRUE(Esiste(C(pannello, "Control")));
  EXPECT_EQ(Leggi(C(pannello, "MiscStatus", "1")), "131473");
  EXPECT_TRUE(
      Esiste(C(pannello, "Implemented Categories", "{40FC6ED4-2438-11CF-A3DB-080036F12502}")));

  // A class without program identifier goes by its name and its identity.
  const std::string pagina = C("CLSID", kClsidPagina);
  EXPECT_EQ(Leggi(pagina), "Pagina");
  EXPECT_FALSE(Esiste(C(pagina, "ProgID")));
  EXPECT_EQ(Leggi(C(pagina, "InprocServer32")), "/opt/prova/Prova.so");

  EXPECT_EQ(Leggi(C("Interface", kIidCampione)), "_Campione");
  EXPECT_EQ(Leggi(C("Interface", kIidCampione, "TypeLib")), kLibId);
  EXPECT_EQ(Leggi(C("Interface", kIidCampione, "TypeLib"), "Version"), "3.1");
  EXPECT_EQ(Leggi(C("TypeLib", kLibId, "3.1")), "Prova");
  EXPECT_EQ(Leggi(C("TypeLib", kLibId, "3.1\\0\\win32")), "/opt/prova/Prova.so");

  // Registering again changes nothing.
  const std::string prima = Esporta();
  ASSERT_EQ(RegistraServer(kServer, "/opt/prova/Prova.so"), S_OK);
  EXPECT_EQ(Esporta(), prima);
}

TEST(RegistrazioneServer, UnregisteringRemovesExactlyWhatWasWrittenAndKeepsSharedKeys) {
  MacchinaFinta macchina;
  // Other servers' entries under the same roots, another version of the
  // type library, and a value of someone else inside a class key.
  Scrivi(C("CLSID", "{00000000-0000-0000-0000-0000000000AA}", "InprocServer32"), "", "/altro.so");
  Scrivi(C("Interface", "{00000000-0000-0000-0000-0000000000BB}"), "", "_Altro");
  Scrivi(C("TypeLib", kLibId, "3.0"), "", "Prova");
  Scrivi(C("CLSID", kClsidCampione), "AppID", "{00000000-0000-0000-0000-0000000000CC}");
  Scrivi(".txt", "", "txtfile");
  const std::string prima = Esporta();

  ASSERT_EQ(RegistraServer(kServer, "/opt/prova/Prova.so"), S_OK);
  ASSERT_NE(Esporta(), prima);
  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/opt/prova/Prova.so"), S_OK);
  EXPECT_EQ(Esporta(), prima);
  // Nothing left to remove is no failure.
  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/opt/prova/Prova.so"), S_OK);
  EXPECT_EQ(Esporta(), prima);
}

TEST(RegistrazioneServer, AServerRegisteredSinceFromAnotherFileKeepsItsEntries) {
  MacchinaFinta macchina;
  const std::string vuoto = Esporta();
  ASSERT_EQ(RegistraServer(kServer, "/vecchia/Prova.so"), S_OK);
  ASSERT_EQ(RegistraServer(kServer, "/nuova/Prova.so"), S_OK);
  const std::string nuova = Esporta();

  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/vecchia/Prova.so"), S_OK);
  EXPECT_EQ(Esporta(), nuova);
  EXPECT_EQ(Leggi(C("CLSID", kClsidCampione, "InprocServer32")), "/nuova/Prova.so");

  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/nuova/Prova.so"), S_OK);
  EXPECT_EQ(Esporta(), vuoto);
}

TEST(RegistrazioneServer, AStoreThatCannotBeWrittenGivesTheSelfRegistrationFailure) {
  MacchinaFinta macchina;
  test::ScriviFile(macchina.FileRadice("HKEY_CLASSES_ROOT"), "questo non è un registro\r\n");
  EXPECT_EQ(RegistraServer(kServer, "/opt/prova/Prova.so"), SELFREG_E_CLASS);
  EXPECT_EQ(CancellaRegistrazioneServer(kServer, "/opt/prova/Prova.so"), SELFREG_E_CLASS);
  EXPECT_EQ(test::LeggiFile(macchina.FileRadice("HKEY_CLASSES_ROOT")),
            "questo non è un registro\r\n");
  EXPECT_LT(SELFREG_E_CLASS, 0);
}

TEST(FabbricaServer, HandsOutTheFactoryOfAServedClassOnly) {
  void* fabbrica = &fabbrica;
  EXPECT_EQ(FabbricaServer(kServer, "{6c0d4b1e-7a55-4f0e-9d3b-2e1f00a1c001}", &fabbrica), S_OK);
  EXPECT_EQ(fabbrica, static_cast<void*>(static_cast<FabbricaClassi*>(&g_fabbricaCampione)));

  EXPECT_EQ(FabbricaServer(kServer, kClsidPannello.data(), &fabbrica), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(fabbrica, nullptr);
  fabbrica = &fabbrica;
  EXPECT_EQ(FabbricaServer(kServer, "{00000000-0000-0000-0000-000000000000}", &fabbrica),
            CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(fabbrica, nullptr);
  EXPECT_EQ(FabbricaServer(kServer, "Prova.Campione", &fabbrica), CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(FabbricaServer(kServer, nullptr, &fabbrica), E_INVALIDARG);
  EXPECT_EQ(FabbricaServer(kServer, kClsidCampione.data(), nullptr), E_POINTER);
}

TEST(FabbricaServer, LiveObjectsKeepTheServerFromUnloadingUntilReleased) {
  ASSERT_EQ(ServerScaricabile(), S_OK);
  std::shared_ptr<void> primo;
  std::shared_ptr<void> secondo;
  ASSERT_EQ(g_fabbricaCampione.CreaIstanza(primo), S_OK);
  ASSERT_EQ(g_fabbricaCampione.CreaIstanza(secondo), S_OK);
  EXPECT_EQ(static_cast<Campione*>(primo.get())->valore, 42);
  EXPECT_NE(primo, secondo);
  EXPECT_STREQ(g_fabbricaCampione.TipoIstanze(), typeid(Campione).name());
  EXPECT_EQ(ServerScaricabile(), S_FALSE);
  primo.reset();
  EXPECT_EQ(ServerScaricabile(), S_FALSE);
  secondo.reset();
  EXPECT_EQ(ServerScaricabile(), S_OK);

  // A constructor that fails makes no object and leaves no count behind.
  std::shared_ptr<void> fallito = std::make_shared<int>(1);
  EXPECT_EQ(g_fabbricaCheFallisce.CreaIstanza(fallito), E_FAIL);
  EXPECT_EQ(fallito, nullptr);
  EXPECT_EQ(ServerScaricabile(), S_OK);
}

// ---------------------------------------------- creation through the store

bool Caricata(const char* file) {
  void* h = dlopen(file, RTLD_NOW | RTLD_NOLOAD);
  if (h != nullptr) dlclose(h);
  return h != nullptr;
}

long Chiama(const char* file, const char* nome) {
  const platform::Libreria libreria = platform::Libreria::Carica(file);
  const auto funzione = reinterpret_cast<FunzioneServer>(libreria.Simbolo(nome));
  if (funzione == nullptr) throw std::runtime_error(std::string("manca ") + nome);
  return funzione();
}

// The number and text of the failure of `f`.
template <class F>
std::string ErroreDi(F&& f) {
  try {
    f();
  } catch (const Errore& e) {
    return std::to_string(e.Numero()) + " " + e.what();
  }
  return "nessun errore";
}

constexpr std::string_view k429 = "429 Il componente ActiveX non può creare l'oggetto";

TEST(CreaOggetto, KeepsTheLibraryLoadedExactlyWhileItsObjectsLive) {
  MacchinaFinta macchina;
  Scrivi(C("Prova.Oggetto", "CLSID"), "", COMPONENTE_OGGETTI_CLSID);
  Scrivi(C("CLSID", COMPONENTE_OGGETTI_CLSID, "InprocServer32"), "", COMPONENTE_OGGETTI);
  ASSERT_FALSE(Caricata(COMPONENTE_OGGETTI));

  OggettoCreato primo = CreaOggetto("Prova.Oggetto");
  ASSERT_NE(primo.oggetto, nullptr);
  EXPECT_EQ(static_cast<int*>(primo.oggetto.get())[0], 7);
  EXPECT_TRUE(Caricata(COMPONENTE_OGGETTI));
  // By class identity too, in any case.
  std::string minuscolo = COMPONENTE_OGGETTI_CLSID;
  for (char& c : minuscolo)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  OggettoCreato secondo = CreaOggetto(minuscolo);
  EXPECT_EQ(secondo.tipo, primo.tipo);
  EXPECT_EQ(Chiama(COMPONENTE_OGGETTI, kDllCanUnloadNow), S_FALSE);

  std::shared_ptr<void> copia = primo.oggetto;
  primo.oggetto.reset();
  secondo.oggetto.reset();
  EXPECT_TRUE(Caricata(COMPONENTE_OGGETTI));
  EXPECT_EQ(Chiama(COMPONENTE_OGGETTI, kDllCanUnloadNow), S_FALSE);
  // The last object goes first, its library after it.
  copia.reset();
  EXPECT_FALSE(Caricata(COMPONENTE_OGGETTI));
}

TEST(CreaOggetto, MakesQuomaroClassesOnceQuomaroRegisteredItself) {
  MacchinaFinta macchina;
  EXPECT_EQ(ErroreDi([] { (void)CreaOggetto("Quomaro.clsSOAP"); }), k429);
  ASSERT_EQ(Chiama(ORVANE_QUOMARO, kDllRegisterServer), S_OK);
  for (const char* nome : {"Quomaro.clsSOAP", "Quomaro.clsDownload", "Quomaro.clsCA"}) {
    const OggettoCreato creato = CreaOggetto(nome);
    EXPECT_NE(creato.oggetto, nullptr) << nome;
    EXPECT_NE(creato.tipo.find(std::string_view(nome).substr(8)), std::string::npos) << creato.tipo;
  }
  ASSERT_EQ(Chiama(ORVANE_QUOMARO, kDllUnregisterServer), S_OK);
  EXPECT_EQ(ErroreDi([] { (void)CreaOggetto("Quomaro.clsSOAP"); }), k429);
}

TEST(CreaOggetto, EveryMissingLinkGivesError429) {
  MacchinaFinta macchina;
  ASSERT_EQ(Chiama(ORVANE_QUOMARO, kDllRegisterServer), S_OK);
  const std::string mancante = (macchina.Percorso() / "Mancante.dll").string();
  Scrivi(C("Prova.Mancante", "CLSID"), "", "{00000000-0000-0000-0000-0000000000D1}");
  Scrivi(C("CLSID", "{00000000-0000-0000-0000-0000000000D1}", "InprocServer32"), "", mancante);
  Scrivi(C("Prova.SenzaFabbrica", "CLSID"), "", "{00000000-0000-0000-0000-0000000000D2}");
  Scrivi(C("CLSID", "{00000000-0000-0000-0000-0000000000D2}", "InprocServer32"), "",
         ORVANE_SONDA_LOG);
  Scrivi(C("Prova.NonServita", "CLSID"), "", "{00000000-0000-0000-0000-0000000000D3}");
  Scrivi(C("CLSID", "{00000000-0000-0000-0000-0000000000D3}", "InprocServer32"), "",
         ORVANE_QUOMARO);
  Scrivi(C("Prova.SenzaServer", "CLSID"), "", "{00000000-0000-0000-0000-0000000000D4}");

  for (const char* nome :
       {"Prova.Sconosciuta", "", "{00000000-0000-0000-0000-0000000000D9}", "Prova.Mancante",
        "Prova.SenzaFabbrica", "Prova.NonServita", "Prova.SenzaServer", "Quomaro.clsSOAP\\ProgID",
        "CLSID\\{B2FD9FE5-969C-481D-BC2B-E66077729525}"}) {
    EXPECT_EQ(ErroreDi([&] { (void)CreaOggetto(nome); }), k429) << nome;
  }
}

}  // namespace
}  // namespace orvane
