#include <gmock/gmock.h>

#include <filesystem>
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

using ::testing::ElementsAre;
using ::testing::HasSubstr;

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

  // The store's rows, "softxx|PercXx|Server|FreQue|Filexx|userid" each.
  std::vector<std::string> Righe() {
    envAggior archivio(programma());
    RecordsetLocale& rs = *archivio.rsAGGIOR();
    std::vector<std::string> righe;
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      std::string riga = rs.Campo("softxx");
      for (const char* c : {"PercXx", "Server", "FreQue", "Filexx", "userid"})
        riga += "|" + rs.Campo(c);
      righe.push_back(riga);
    }
    return righe;
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
  std::vector<std::string> attese;
  for (const char* modulo : {"PANELAA", "PANELAB", "PANELAD", "PANELAC", "PANELAE"})
    attese.push_back(std::string(modulo) + R"(|D:\ARCHIVI\morlen||00:00:30|Farsel.exe|MRL0001)");
  EXPECT_EQ(Righe(), attese);
  envAggior archivio(programma());
  RecordsetLocale& rs = *archivio.rsAGGIOR();
  for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext())
    EXPECT_EQ(rs.Campo("indiri"), quomaro::EndpointServizio());
  EXPECT_TRUE(finestra_.Stato().VerificaCompleta);
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");
}

TEST_F(DiscoveryTest, RemovedProgramsLoseTheirRowsWhileTheOthersAreRefreshed) {
  InstallaTutto();
  Passo();
  EXPECT_THAT(Righe(),
              ElementsAre(R"(TARVIK|C:\ORVANE\TARVIK\DATI|SRV\SQL|00:00:30|Farsel.exe|TRK0001)",
                          R"(SELVOR|C:\SELVOR\DATI|SRV2|00:00:30|Ploduk.exe|SLV0001)"));
  EXPECT_EQ(finestra_.Stato().DatiUtente.DesAzi, "Rossi && Figli");

  Disinstalla(R"(C:\ORVANE\TARVIK)");
  Passo();
  EXPECT_THAT(Righe(), ElementsAre(::testing::StartsWith("SELVOR|")));
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
  const auto prima = Righe();
  Impostazione(R"(Vuldra\Vestrum)", "nomexx", "");
  Impostazione(R"(Vuldra\Vestrum)", "datixx", R"(C:\ALTROVE)");
  Passo();
  EXPECT_EQ(Righe(), prima);
  EXPECT_FALSE(finestra_.Stato().VerificaCompleta);
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");

  // A new program without an identifier is not saved at all.
  Installa(R"(C:\ORVANE\MORLEN)");
  Passo();
  EXPECT_EQ(Righe(), prima);
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
    r.replace(r.find("|00:00:15|"), 10, "|00:00:30|");
  EXPECT_EQ(Righe(), prima);
  finestra_.Stato().rsAGGIOR->Filter("softxx='TARVIK'");
  EXPECT_EQ(finestra_.Stato().rsAGGIOR->Campo("ultima"), "06/12/2026 10:00:00");
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
  EXPECT_THAT(Righe(), ElementsAre(::testing::StartsWith("TARVIK|")));
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
