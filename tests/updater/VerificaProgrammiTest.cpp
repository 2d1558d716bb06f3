#include <gmock/gmock.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/Cartelle.h"
#include "platform/Percorsi.h"
#include "platform/Registro.h"
#include "platform/RigaDiComando.h"
#include "quomaro/Configurazione.h"
#include "tests/support/MacchinaFinta.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

using ::testing::HasSubstr;

using Riga = std::map<std::string, std::string>;
constexpr const char* kColonne[] = {"softxx", "indiri", "PercXx", "Server", "FreQue",
                                    "Filexx", "userid", "ultima", "downld"};
constexpr const char* kImpostazioni = R"(Software\VB and VBA Program Settings\)";

// A user's machine with the updater's program folder and the maker's
// programs installed as each test wishes.
class DiscoveryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(programma());
    std::filesystem::copy_file(ORVANE_TERVAN_MDB, programma() / "Tervan.mdb");
    platform::ImpostaCartellaProgramma(programma());
  }
  void TearDown() override { platform::ImpostaCartellaProgramma(std::nullopt); }

  [[nodiscard]] std::filesystem::path programma() const {
    return macchina_.Percorso() / "programma";
  }

  static void Installa(const std::string& cartella) {
    std::filesystem::create_directories(platform::PercorsoLocale(cartella));
  }
  static void Disinstalla(const std::string& cartella) {
    std::filesystem::remove_all(platform::PercorsoLocale(cartella));
  }

  static void Impostazione(const std::string& chiave, const std::string& nome,
                           const std::string& valore) {
    orvane::test::ScriviTesto(platform::HKEY_CURRENT_USER, kImpostazioni + chiave, nome, valore);
  }

  void Passo() {
    if (!finestra_.Stato().Archivio) {
      finestra_.Stato().Archivio = std::make_unique<envAggior>(programma());
      finestra_.Stato().rsAGGIOR = finestra_.Stato().Archivio->rsAGGIOR();
    }
    finestra_.VerificaProgrammiInstallati();
  }

  std::vector<Riga> Righe() {
    envAggior archivio(programma());
    RecordsetLocale& rs = *archivio.rsAGGIOR();
    std::vector<Riga> righe;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      Riga riga;
      for (const char* c : kColonne)
        riga[c] = rs.Campo(c);
      righe.push_back(riga);
    }
    return righe;
  }

  static std::vector<std::string> Codici(const std::vector<Riga>& righe) {
    std::vector<std::string> codici;
    for (const auto& r : righe)
      codici.push_back(r.at("softxx"));
    return codici;
  }

  void InstallaTutto() {
    Installa(R"(C:\ORVANE\TARVIK)");
    Impostazione(R"(TARVIKX\Utente)", "PercXx", R"(C:\ORVANE\TARVIK\DATI)");
    Impostazione(R"(TARVIKX\Utente)", "Server", "SRV\\SQL");
    Impostazione(R"(TARVIKX\Utente)", "DesAzi", "Rossi & Figli");
    Impostazione(R"(TARVIKX\Licenza)", "codcli", "TRK0001");
    Installa(R"(C:\ORVANE\SELVOR)");
    Impostazione(R"(Vuldra\Vestrum)", "nomexx", "SLV0001");
    Impostazione(R"(Vuldra\Vestrum)", "datixx", R"(C:\SELVOR\DATI)");
    Impostazione(R"(Vuldra\Vestrum)", "Server", "SRV2");
  }

  orvane::test::MacchinaFinta macchina_;
  frmTervan finestra_;
};

TEST_F(DiscoveryTest, MorlenUnderProgrammiAloneWritesItsFiveModuleRowsInOrder) {
  Installa(R"(C:\programmi\Morlen)");
  Impostazione(R"(Orvane\Kovra)", "DRIVE_ARCH", R"(D:\ARCHIVI)");
  Impostazione(R"(Orvane\Kovra)", "codcli", "MRL0001");
  Passo();

  const auto righe = Righe();
  EXPECT_EQ(Codici(righe),
            (std::vector<std::string>{"PANELAA", "PANELAB", "PANELAD", "PANELAC", "PANELAE"}));
  for (const Riga& r : righe) {
    EXPECT_EQ(r.at("indiri"), quomaro::EndpointServizio());
    EXPECT_EQ(r.at("PercXx"), R"(D:\ARCHIVI\morlen)");
    EXPECT_EQ(r.at("Server"), "");
    EXPECT_EQ(r.at("FreQue"), "00:00:30");
    EXPECT_EQ(r.at("Filexx"), "Farsel.exe");
    EXPECT_EQ(r.at("userid"), "MRL0001");
  }
  EXPECT_TRUE(finestra_.Stato().VerificaCompleta);
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");
}

TEST_F(DiscoveryTest, RemovedProgramsLoseTheirRowsWhileTheOthersAreRefreshed) {
  InstallaTutto();
  Passo();
  ASSERT_EQ(Codici(Righe()), (std::vector<std::string>{"TARVIK", "SELVOR"}));
  EXPECT_EQ(finestra_.Stato().DatiUtente.DesAzi, "Rossi && Figli");
  const Riga tarvik = Righe()[0];
  EXPECT_EQ(tarvik.at("PercXx"), R"(C:\ORVANE\TARVIK\DATI)");
  EXPECT_EQ(tarvik.at("Server"), "SRV\\SQL");
  EXPECT_EQ(tarvik.at("userid"), "TRK0001");

  Disinstalla(R"(C:\ORVANE\TARVIK)");
  Passo();
  const auto righe = Righe();
  ASSERT_EQ(Codici(righe), std::vector<std::string>{"SELVOR"});
  EXPECT_EQ(righe[0].at("PercXx"), R"(C:\SELVOR\DATI)");
  EXPECT_EQ(righe[0].at("Server"), "SRV2");
  EXPECT_EQ(righe[0].at("Filexx"), "Ploduk.exe");
  EXPECT_TRUE(finestra_.Stato().VerificaCompleta);

  // With nothing installed the store and the window's view are empty.
  Disinstalla(R"(C:\ORVANE\SELVOR)");
  Passo();
  EXPECT_TRUE(Righe().empty());
  EXPECT_TRUE(finestra_.Stato().rsAGGIOR->Eof());
  EXPECT_EQ(finestra_.Stato().rsAGGIOR->Filter(), "");
  EXPECT_TRUE(finestra_.Stato().VerificaCompleta);
}

TEST_F(DiscoveryTest, ProgramWithoutCustomerIdentifierKeepsItsOldRowAndLeavesDiscoveryIncomplete) {
  InstallaTutto();
  Passo();
  Impostazione(R"(Vuldra\Vestrum)", "nomexx", "");
  Impostazione(R"(Vuldra\Vestrum)", "datixx", R"(C:\ALTROVE)");
  Passo();
  const auto righe = Righe();
  ASSERT_EQ(Codici(righe), (std::vector<std::string>{"TARVIK", "SELVOR"}));
  EXPECT_EQ(righe[1].at("userid"), "SLV0001");
  EXPECT_EQ(righe[1].at("PercXx"), R"(C:\SELVOR\DATI)");
  EXPECT_FALSE(finestra_.Stato().VerificaCompleta);
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");

  // A new program without an identifier is not saved at all.
  Installa(R"(C:\ORVANE\MORLEN)");
  Passo();
  EXPECT_EQ(Codici(Righe()), (std::vector<std::string>{"TARVIK", "SELVOR"}));
}

TEST_F(DiscoveryTest, ASecondPassChangesNothingButTheInterval) {
  InstallaTutto();
  Passo();
  finestra_.Stato().Archivio->conAggior().Execute(istruzioni::kAggiornaFrequenza, {"00:00:15"});
  finestra_.Stato().rsAGGIOR->Filter("softxx='TARVIK'");
  finestra_.Stato().rsAGGIOR->Campo("ultima", "06/12/2026 10:00:00");
  finestra_.Stato().rsAGGIOR->Update();
  auto prima = Righe();
  Passo();
  for (auto& r : prima)
    r["FreQue"] = "00:00:30";
  EXPECT_EQ(Righe(), prima);
}

TEST_F(DiscoveryTest, UnusableStoreIsLoggedAndLeavesDiscoveryIncomplete) {
  InstallaTutto();
  std::filesystem::remove(programma() / "Tervan.mdb");
  Passo();
  EXPECT_FALSE(finestra_.Stato().VerificaCompleta);
  const std::string log = orvane::test::MacchinaFinta::Log();
  EXPECT_EQ(orvane::test::RecordNelLog(log), 1U);
  EXPECT_THAT(log, HasSubstr(" Modulo          : frmTervan\r\n"));
  EXPECT_THAT(log, HasSubstr(" Routine         : VerificaProgrammiInstallati\r\n"));
  EXPECT_FALSE(std::filesystem::exists(programma() / "Tervan.mdb"));
}

TEST_F(DiscoveryTest, ARowTheStoreRefusesFailsItsPassButLeavesTheNextOneClean) {
  InstallaTutto();
  Passo();
  // The pass has something to save: a row holding what it writes is left alone.
  finestra_.Stato().Archivio->conAggior().Execute(
      "UPDATE AGGIOR SET FreQue = '00:01:00' WHERE softxx = 'SELVOR'");
  finestra_.Stato().Archivio->conAggior().Execute(
      "CREATE TRIGGER rifiuta BEFORE UPDATE ON AGGIOR WHEN NEW.softxx = 'SELVOR' "
      "BEGIN SELECT RAISE(ABORT, 'rifiutata'); END");
  Passo();
  EXPECT_FALSE(finestra_.Stato().VerificaCompleta);
  EXPECT_EQ(orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log()), 1U);

  // The refused change is not tried again: the next pass runs to its end.
  Disinstalla(R"(C:\ORVANE\SELVOR)");
  Passo();
  EXPECT_TRUE(finestra_.Stato().VerificaCompleta);
  EXPECT_EQ(Codici(Righe()), std::vector<std::string>{"TARVIK"});
}

TEST_F(DiscoveryTest, LoadKeepsTheWindowHiddenOnlyForVerificaWithBlanksAroundIt) {
  InstallaTutto();
  for (const auto& [riga, visibile] :
       std::vector<std::pair<std::string, bool>>{{"VERIFICA", false},
                                                 {"  VERIFICA  ", false},
                                                 {"verifica", true},
                                                 {"VERIFICA LIVE", true},
                                                 {"", true}}) {
    platform::SostituisciRigaDiComando(riga);
    frmTervan finestra;
    finestra.Form_Load();
    EXPECT_EQ(finestra.isVisible(), visibile) << "'" << riga << "'";
    EXPECT_TRUE(finestra.Stato().VerificaCompleta);
  }
  platform::SostituisciRigaDiComando("DEBUG");
}

}  // namespace
}  // namespace tervan
