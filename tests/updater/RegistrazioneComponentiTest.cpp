// Quomaro and Brisko registering themselves into a temporary registry
// store, and Quomaro's classes made by name through it.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "common/ChiaveRegistro.h"
#include "common/CreaOggetto.h"
#include "common/FabbricaClassi.h"
#include "platform/Libreria.h"
#include "platform/Registro.h"
#include "quomaro/Registrazione.h"
#include "quomaro/clsCA.h"
#include "quomaro/clsDownload.h"
#include "quomaro/clsSOAP.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "updater/basRegSvr.h"

namespace tervan {
namespace {

namespace fs = std::filesystem;
using orvane::ChiaveRegistro;
using orvane::test::MacchinaFinta;

fs::path NelProgramma(const char* nome) {
  return fs::path(ORVANE_PROGRAM_DIR) / nome;
}

std::optional<std::string> Leggi(const std::string& chiave, std::string_view nome = "") {
  ChiaveRegistro aperta;
  if (ChiaveRegistro::Apri(platform::HKEY_CLASSES_ROOT, chiave, platform::KEY_READ, aperta) !=
      platform::ERROR_SUCCESS) {
    return std::nullopt;
  }
  return aperta.LeggiTesto(nome);
}

bool Esiste(const std::string& chiave) {
  ChiaveRegistro aperta;
  return ChiaveRegistro::Apri(platform::HKEY_CLASSES_ROOT, chiave, platform::KEY_READ, aperta) ==
         platform::ERROR_SUCCESS;
}

std::string Esporta() {
  std::string testo;
  EXPECT_EQ(platform::EsportaRegistro(platform::HKEY_CLASSES_ROOT, "", testo),
            platform::ERROR_SUCCESS);
  return testo;
}

// Something of another server that registration must leave alone.
void ScriviAltroServer() {
  ChiaveRegistro chiave;
  ASSERT_EQ(
      ChiaveRegistro::Crea(platform::HKEY_CLASSES_ROOT,
                           "CLSID\\{0C0C0C0C-0000-0000-0000-000000000001}\\InprocServer32", chiave),
      platform::ERROR_SUCCESS);
  ASSERT_EQ(chiave.ScriviTesto("", "/altrove/Altro.so"), platform::ERROR_SUCCESS);
}

// The number of the failure of `f`, 0 when it does not fail.
template <class F>
long NumeroErrore(F&& f) {
  try {
    f();
  } catch (const orvane::Errore& e) {
    return e.Numero();
  }
  return 0;
}

struct ClasseAttesa {
  std::string progId;
  std::string clsid;
  std::string iid;
  std::string interfaccia;
};

constexpr std::string_view kLibreriaQuomaro = "{23127B7B-8F16-4018-9700-8BFA4C2A5448}";
constexpr std::string_view kLibreriaBrisko = "{1659F14B-03E6-4545-9494-128C88EFBEF6}";

TEST(RegistrazioneQuomaro, RegistersItsThreeClassesFromItsOwnFileAndUnregistersWithoutTrace) {
  MacchinaFinta macchina;
  ScriviAltroServer();
  const std::string prima = Esporta();

  ASSERT_TRUE(RegServer(NelProgramma("Quomaro.dll").string(), true));
  const std::string file = fs::canonical(NelProgramma("Quomaro.so")).string();
  for (const ClasseAttesa& c : {
           ClasseAttesa{"Quomaro.clsCA", "{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}",
                        "{9A62869B-509A-4143-BAEC-3ACF42A10305}", "_clsCA"},
           ClasseAttesa{"Quomaro.clsSOAP", "{B2FD9FE5-969C-481D-BC2B-E66077729525}",
                        "{A401A6B8-E524-4EB1-A1AA-447214B1D7E5}", "_clsSOAP"},
           ClasseAttesa{"Quomaro.clsDownload", "{5526E976-64D9-442E-8529-73DA73842748}",
                        "{239508CB-E41E-4AF1-9248-98712BE9C876}", "_clsDownload"},
       }) {
    const std::string classe = "CLSID\\" + c.clsid;
    EXPECT_EQ(Leggi(c.progId + "\\CLSID"), c.clsid);
    EXPECT_EQ(Leggi(classe), c.progId);
    EXPECT_EQ(Leggi(classe + "\\InprocServer32"), file);
    EXPECT_EQ(Leggi(classe + "\\InprocServer32", "ThreadingModel"), "Apartment");
    EXPECT_EQ(Leggi(classe + "\\ProgID"), c.progId);
    EXPECT_EQ(Leggi(classe + "\\TypeLib"), kLibreriaQuomaro);
    EXPECT_EQ(Leggi("Interface\\" + c.iid), c.interfaccia);
    EXPECT_EQ(Leggi("Interface\\" + c.iid + "\\TypeLib"), kLibreriaQuomaro);
  }
  EXPECT_EQ(Leggi("Interface\\{C810A26C-CB5C-403D-8315-FE398DA78FA4}"), "__clsDownload");
  EXPECT_EQ(Leggi("TypeLib\\" + std::string(kLibreriaQuomaro) + "\\2.0"), "Quomaro");

  ASSERT_TRUE(RegServer(NelProgramma("Quomaro.dll").string(), false));
  EXPECT_EQ(Esporta(), prima);
}

TEST(RegistrazioneQuomaro, EntryPointsAnswerWithResultCodes) {
  MacchinaFinta macchina;
  EXPECT_EQ(DllRegisterServer(), orvane::S_OK);
  EXPECT_EQ(DllUnregisterServer(), orvane::S_OK);
  EXPECT_EQ(DllUnregisterServer(), orvane::S_OK);

  void* fabbrica = &fabbrica;
  EXPECT_EQ(DllGetClassObject("{B2FD9FE5-969C-481D-BC2B-E66077729525}", &fabbrica), orvane::S_OK);
  EXPECT_NE(fabbrica, nullptr);
  EXPECT_EQ(DllGetClassObject("{44F65BAF-3762-4A7F-8C03-DBA233935F9D}", &fabbrica),
            orvane::CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(fabbrica, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), orvane::S_OK);
}

TEST(RegistrazioneBrisko, RegistersTheTabStripControlAndItsPropertyPageAndUnregistersWithoutTrace) {
  MacchinaFinta macchina;
  ScriviAltroServer();
  const std::string prima = Esporta();

  ASSERT_TRUE(RegServer(NelProgramma("brisko.ocx").string(), true));
  const std::string file = fs::canonical(NelProgramma("brisko.so")).string();
  const std::string controllo = "CLSID\\{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}";
  EXPECT_EQ(Leggi("Brisko.xpVantelTab\\CLSID"), "{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}");
  EXPECT_EQ(Leggi(controllo), "Brisko.xpVantelTab");
  EXPECT_EQ(Leggi(controllo + "\\InprocServer32"), file);
  EXPECT_EQ(Leggi(controllo + "\\TypeLib"), kLibreriaBrisko);
  EXPECT_TRUE(Esiste(controllo + "\\Control"));
  EXPECT_EQ(Leggi(controllo + "\\MiscStatus\\1"), "131473");

  const std::string pagina = "CLSID\\{DC8137BC-F82D-4488-A952-5CAD7E2574EE}";
  EXPECT_EQ(Leggi(pagina), "Tabs");
  EXPECT_EQ(Leggi(pagina + "\\InprocServer32"), file);
  EXPECT_FALSE(Esiste(pagina + "\\Control"));

  EXPECT_EQ(Leggi("Interface\\{44F65BAF-3762-4A7F-8C03-DBA233935F9D}"), "_xpVantelTab");
  EXPECT_EQ(Leggi("Interface\\{3C318479-C788-4040-83C0-8BA8DD1C37D9}"), "__xpVantelTab");
  EXPECT_EQ(Leggi("Interface\\{B7BB340F-D8E1-4C73-9222-E26927F066E7}"), "_Tabs");
  EXPECT_EQ(Leggi("Interface\\{B7BB340F-D8E1-4C73-9222-E26927F066E7}\\TypeLib", "Version"), "1.0");
  EXPECT_EQ(Leggi("TypeLib\\" + std::string(kLibreriaBrisko) + "\\1.0"), "Brisko");

  // The control is registered, but not made through the store yet.
  EXPECT_EQ(NumeroErrore([] { (void)orvane::CreaOggetto("Brisko.xpVantelTab"); }), 429);

  ASSERT_TRUE(RegServer(NelProgramma("brisko.ocx").string(), false));
  EXPECT_EQ(Esporta(), prima);
}

TEST(RegistrazioneBrisko, EntryPointsAnswerWithResultCodesNeverWithExceptions) {
  MacchinaFinta macchina;
  const platform::Libreria brisko = platform::Libreria::Carica(NelProgramma("brisko.so"));
  const auto funzione = [&](const char* nome) {
    return reinterpret_cast<orvane::FunzioneServer>(brisko.Simbolo(nome));
  };
  const auto fabbrica =
      reinterpret_cast<orvane::FunzioneFabbrica>(brisko.Simbolo(orvane::kDllGetClassObject));
  ASSERT_NE(fabbrica, nullptr);
  void* risposta = &risposta;
  EXPECT_EQ(fabbrica("{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}", &risposta),
            orvane::CLASS_E_CLASSNOTAVAILABLE);
  EXPECT_EQ(risposta, nullptr);
  EXPECT_EQ(funzione(orvane::kDllCanUnloadNow)(), orvane::S_OK);

  // A registry file that cannot be rewritten: a failure code, and the file
  // untouched.
  const fs::path file = macchina.FileRadice("HKEY_CLASSES_ROOT");
  orvane::test::ScriviFile(file, "[non un registro");
  EXPECT_EQ(funzione(orvane::kDllRegisterServer)(), orvane::SELFREG_E_CLASS);
  EXPECT_EQ(funzione(orvane::kDllUnregisterServer)(), orvane::SELFREG_E_CLASS);
  EXPECT_EQ(orvane::test::LeggiFile(file), "[non un registro");
}

// A package on a loopback HTTP server.
class ServerPacchetti {
 public:
  ServerPacchetti() {
    server_.Get("/pacchetto.zip", [](const httplib::Request&, httplib::Response& r) {
      r.set_content(std::string(5000, 'Z'), "application/zip");
    });
    porta_ = server_.bind_to_any_port("127.0.0.1");
    filo_ = std::thread([this] {
      server_.listen_after_bind();
      finito_ = true;
    });
    while (!server_.is_running() && !finito_)
      std::this_thread::yield();
  }
  ~ServerPacchetti() {
    server_.stop();
    filo_.join();
  }
  ServerPacchetti(const ServerPacchetti&) = delete;
  ServerPacchetti& operator=(const ServerPacchetti&) = delete;

  [[nodiscard]] std::string Url() const {
    return "http://127.0.0.1:" + std::to_string(porta_) + "/pacchetto.zip";
  }

 private:
  httplib::Server server_;
  int porta_ = 0;
  std::atomic<bool> finito_{false};
  std::thread filo_;
};

TEST(CreateObject, MakesQuomaroObjectsByNameForTheTypeTheyAre) {
  MacchinaFinta macchina;
  ServerPacchetti server;
  ASSERT_TRUE(RegServer(NelProgramma("Quomaro.dll").string(), true));

  auto download = orvane::CreateObject<quomaro::clsDownload>("Quomaro.clsDownload");
  ASSERT_NE(download, nullptr);
  EXPECT_EQ(download->OpenURL(server.Url()), std::string(5000, 'Z'));
  auto ca = orvane::CreateObject<quomaro::clsCA>("{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}");
  ASSERT_NE(ca, nullptr);
  EXPECT_EQ(ca->xmlStream(), "");
  EXPECT_EQ(DllCanUnloadNow(), orvane::S_FALSE);
  download.reset();
  ca.reset();
  EXPECT_EQ(DllCanUnloadNow(), orvane::S_OK);

  EXPECT_EQ(
      NumeroErrore([] { (void)orvane::CreateObject<quomaro::clsSOAP>("Quomaro.clsDownload"); }),
      13);
  EXPECT_EQ(DllCanUnloadNow(), orvane::S_OK);
}

}  // namespace
}  // namespace tervan
