// Components registering themselves: test components that fail in the ways
// a real one may, Quomaro and Brisko into a temporary registry store, and
// Quomaro's classes made by name through it.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "common/CreaOggetto.h"
#include "common/FabbricaClassi.h"
#include "platform/Cartelle.h"
#include "platform/RigaDiComando.h"
#include "quomaro/Registrazione.h"
#include "quomaro/clsCA.h"
#include "quomaro/clsDownload.h"
#include "quomaro/clsSOAP.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/ServerDiProva.h"
#include "updater/basRegSvr.h"
#include "updater/basTervan.h"

namespace tervan {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using orvane::test::CartellaTemporanea;
using orvane::test::MacchinaFinta;
using orvane::test::ScriviFile;

std::string NelProgramma(const char* nome) {
  return (fs::path(ORVANE_PROGRAM_DIR) / nome).string();
}

std::optional<std::string> Leggi(const std::string& chiave, std::string_view nome = "") {
  return orvane::test::LeggiTesto(platform::HKEY_CLASSES_ROOT, chiave, nome);
}

std::string Esporta() {
  return orvane::test::EsportaReg(platform::HKEY_CLASSES_ROOT);
}

// A class as a library must register it: program identifier, identity,
// default interface and its identity.
struct Classe {
  std::string progId, clsid, iid, interfaccia;
};

void ControllaClasse(const Classe& c, const std::string& file, const std::string& libreria) {
  const std::string chiave = "CLSID\\" + c.clsid;
  if (!c.progId.empty()) {
    EXPECT_EQ(Leggi(c.progId + "\\CLSID"), c.clsid);
  }
  EXPECT_EQ(Leggi(chiave), c.progId.empty() ? "Tabs" : c.progId);
  EXPECT_EQ(Leggi(chiave + "\\InprocServer32"), file);
  EXPECT_EQ(Leggi(chiave + "\\InprocServer32", "ThreadingModel"), "Apartment");
  EXPECT_EQ(Leggi(chiave + "\\TypeLib"), libreria);
  EXPECT_EQ(Leggi("Interface\\" + c.iid), c.interfaccia);
  EXPECT_EQ(Leggi("Interface\\" + c.iid + "\\TypeLib"), libreria);
}

TEST(RegistrazioneQuomaro, RegistersItsThreeClassesFromItsOwnFileAndUnregistersWithoutTrace) {
  MacchinaFinta macchina;
  const std::string prima = Esporta();
  ASSERT_TRUE(RegServer(NelProgramma("Quomaro.dll"), true));

  const std::string file = fs::canonical(NelProgramma("Quomaro.so")).string();
  const std::string libreria = "{23127B7B-8F16-4018-9700-8BFA4C2A5448}";
  for (const Classe& c : {Classe{"Quomaro.clsCA", "{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}",
                                 "{9A62869B-509A-4143-BAEC-3ACF42A10305}", "_clsCA"},
                          Classe{"Quomaro.clsSOAP", "{B2FD9FE5-969C-481D-BC2B-E66077729525}",
                                 "{A401A6B8-E524-4EB1-A1AA-447214B1D7E5}", "_clsSOAP"},
                          Classe{"Quomaro.clsDownload", "{5526E976-64D9-442E-8529-73DA73842748}",
                                 "{239508CB-E41E-4AF1-9248-98712BE9C876}", "_clsDownload"}}) {
    ControllaClasse(c, file, libreria);
  }
  EXPECT_EQ(Leggi("Interface\\{C810A26C-CB5C-403D-8315-FE398DA78FA4}"), "__clsDownload");
  EXPECT_EQ(Leggi("TypeLib\\" + libreria + "\\2.0"), "Quomaro");

  ASSERT_TRUE(RegServer(NelProgramma("Quomaro.dll"), false));
  EXPECT_EQ(Esporta(), prima);
}

TEST(RegistrazioneBrisko, RegistersTheTabStripControlAndItsPropertyPageAndUnregistersWithoutTrace) {
  MacchinaFinta macchina;
  const std::string prima = Esporta();
  ASSERT_TRUE(RegServer(NelProgramma("brisko.ocx"), true));

  const std::string file = fs::canonical(NelProgramma("brisko.so")).string();
  const std::string libreria = "{1659F14B-03E6-4545-9494-128C88EFBEF6}";
  ControllaClasse({"Brisko.xpVantelTab", "{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}",
                   "{44F65BAF-3762-4A7F-8C03-DBA233935F9D}", "_xpVantelTab"},
                  file, libreria);
  ControllaClasse({"", "{DC8137BC-F82D-4488-A952-5CAD7E2574EE}",
                   "{B7BB340F-D8E1-4C73-9222-E26927F066E7}", "_Tabs"},
                  file, libreria);
  EXPECT_EQ(Leggi("CLSID\\{B271AF6D-7732-4DA4-9C87-64EB2AF58B94}\\MiscStatus\\1"), "131473");
  EXPECT_EQ(Leggi("Interface\\{3C318479-C788-4040-83C0-8BA8DD1C37D9}"), "__xpVantelTab");
  EXPECT_EQ(Leggi("TypeLib\\" + libreria + "\\1.0"), "Brisko");
  // Made through the store on the GUI thread: a widget of the control's type.
  {
    const orvane::OggettoCreato controllo = orvane::CreaOggetto("Brisko.xpVantelTab");
    EXPECT_NE(controllo.oggetto, nullptr);
    EXPECT_NE(controllo.tipo.find("xpVantelTab"), std::string::npos);
  }

  ASSERT_TRUE(RegServer(NelProgramma("brisko.ocx"), false));
  EXPECT_EQ(Esporta(), prima);
}

TEST(CreateObject, MakesQuomaroObjectsByNameForTheTypeTheyAre) {
  MacchinaFinta macchina;
  orvane::test::ServerHttp server;
  server.Server().Get("/pacchetto.zip", [](const httplib::Request&, httplib::Response& r) {
    r.set_content(std::string(5000, 'Z'), "application/zip");
  });
  server.Avvia();
  ASSERT_TRUE(RegServer(NelProgramma("Quomaro.dll"), true));

  auto download = orvane::CreateObject<quomaro::clsDownload>("Quomaro.clsDownload");
  ASSERT_NE(download, nullptr);
  EXPECT_EQ(download->OpenURL(server.Url("/pacchetto.zip")), std::string(5000, 'Z'));
  auto ca = orvane::CreateObject<quomaro::clsCA>("{4DFC3EDC-A156-4701-BC2B-E5951A2B3C39}");
  ASSERT_NE(ca, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), orvane::S_FALSE);
  download.reset();
  ca.reset();
  EXPECT_EQ(DllCanUnloadNow(), orvane::S_OK);
  try {
    (void)orvane::CreateObject<quomaro::clsSOAP>("Quomaro.clsDownload");
    ADD_FAILURE() << "a clsDownload taken for a clsSOAP";
  } catch (const orvane::Errore& e) {
    EXPECT_EQ(e.Numero(), 13);
  }
}

template <class F>
std::chrono::milliseconds Durata(F&& f) {
  const auto inizio = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() -
                                                               inizio);
}

TEST(RegServer, AnErrorCodeCountsAsRegisteredAThrowAsAFailureAndWindowsNamesFindTheLibrary) {
  EXPECT_TRUE(RegServer(COMPONENTE_ERRORE, true));
  EXPECT_TRUE(RegServer(COMPONENTE_ERRORE, false));
  EXPECT_FALSE(RegServer(COMPONENTE_CHE_LANCIA, true));
  // A Windows component name finds the library in any case.
  CartellaTemporanea cartella;
  fs::copy_file(COMPONENTE_ERRORE, cartella / "Brisko.so");
  EXPECT_TRUE(RegServer((cartella / "brisko.ocx").string(), true));
  EXPECT_TRUE(RegServer((cartella / "BRISKO.DLL").string(), true));
}

TEST(RegServer, SlowEntryPointFailsWhenTheLimitStrikesWithoutBlockingTheCaller) {
  bool esito = true;
  const auto durata = Durata([&] { esito = RegServer(COMPONENTE_LENTO, true, 300ms); });
  EXPECT_FALSE(esito);
  EXPECT_GE(durata, 300ms);
  EXPECT_LT(durata, 2500ms);
  // The abandoned registration finishes later inside a library that stayed loaded.
}

TEST(RegServer, WhatIsNoRegistrableLibraryFailsAtOnce) {
  CartellaTemporanea cartella;
  ScriviFile(cartella / "testo.so", "solo testo, non una libreria");
  ScriviFile(cartella / "vuoto.so", "");
  fs::create_directory(cartella / "cartella.so");
  const auto durata = Durata([&] {
    EXPECT_FALSE(RegServer((cartella / "manca.dll").string(), true));
    EXPECT_FALSE(RegServer((cartella / "testo.so").string(), true));
    EXPECT_FALSE(RegServer((cartella / "vuoto.so").string(), true));
    EXPECT_FALSE(RegServer((cartella / "cartella.so").string(), true));
    EXPECT_FALSE(RegServer(SENZA_INGRESSO, true));
  });
  EXPECT_LT(durata, 1000ms);
}

TEST(ModalitaLive, MarkerFileOrExactlyLiveOnTheCommandLine) {
  CartellaTemporanea programma;
  platform::ImpostaCartellaProgramma(programma.Percorso());
  for (const auto& [riga, live] :
       std::initializer_list<std::pair<const char*, bool>>{{"LIVE", true},
                                                           {" LIVE", false},
                                                           {"live", false},
                                                           {"LIVE ", false},
                                                           {"", false},
                                                           {"VERIFICA", false}}) {
    platform::SostituisciRigaDiComando(riga);
    EXPECT_EQ(ModalitaLive(), live) << "'" << riga << "'";
  }
  platform::SostituisciRigaDiComando("VERIFICA");
  // The marker is found as Windows finds a file: in any case.
  for (const char* nome : {"Live.txt", "LIVE.TXT", "live.txt"}) {
    ScriviFile(programma / nome, "");
    EXPECT_TRUE(ModalitaLive()) << nome;
    fs::remove(programma / nome);
    EXPECT_FALSE(ModalitaLive()) << nome;
  }
  fs::create_directory(programma / "LIVE.txt");
  EXPECT_FALSE(ModalitaLive());
  platform::SostituisciRigaDiComando(std::nullopt);
  platform::ImpostaCartellaProgramma(std::nullopt);
}

}  // namespace
}  // namespace tervan
