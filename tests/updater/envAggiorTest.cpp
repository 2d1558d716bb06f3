// The local store of the programs to look after, and the discovery of the
// maker's installed programs that fills it.
#include "updater/envAggior.h"

#include <gmock/gmock.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "BancoFinestra.h"
#include "common/Errore.h"
#include "platform/Cartelle.h"
#include "platform/Collocazione.h"
#include "platform/Percorsi.h"
#include "platform/TestoSql.h"
#include "quomaro/Configurazione.h"
#include "tests/support/AltroUtente.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/TervanFiglio.h"
#include "updater/DataOraLocale.h"
#include "updater/frmTervan.h"

namespace tervan {
namespace {

using orvane::test::CartellaTemporanea;
using orvane::test::Impostazione;
using orvane::test::LeggiFile;
using orvane::test::ScriviFile;
using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::copy_file(ORVANE_TERVAN_MDB, programma_ / "Tervan.mdb");
    Riapri();
  }

  RecordsetLocale& rs() { return *store_->rsAGGIOR(); }
  void Riapri() { store_ = std::make_unique<envAggior>(programma_.Percorso()); }

  void ScriviRiga(const std::string& softxx, const std::string& userid,
                  const std::string& freque = "00:00:30") {
    rs().Filter("softxx=" + platform::LetteraleSql(softxx));
    if (rs().Eof()) rs().AddNew();
    rs().Campo("softxx", softxx);
    rs().Campo("userid", userid);
    rs().Campo("FreQue", freque);
    rs().Update();
  }

  std::vector<std::string> Codici() {
    rs().Filter("");
    std::vector<std::string> codici;
    for (rs().MoveFirst(); !rs().Eof(); rs().MoveNext())
      codici.push_back(rs().Campo("SOFTXX"));
    return codici;
  }

  CartellaTemporanea programma_;
  std::unique_ptr<envAggior> store_;
};

TEST_F(StoreTest, WrittenValuesSurviveReopeningExactlyAndCancelledChangesLeaveNoTrace) {
  const std::string lungo(100'000, 'x');
  ScriviRiga("SELVOR", "O'Brien \"&\" Società");
  rs().Campo("PercXx", lungo);
  rs().Campo("Server", "'; DROP TABLE AGGIOR; --");
  rs().Update();
  rs().AddNew();
  rs().Campo("softxx", "PANELAA");
  rs().CancelUpdate();
  rs().Filter("softxx='SELVOR'");
  rs().Campo("userid", "");
  rs().CancelUpdate();
  EXPECT_EQ(rs().Campo("userid"), "O'Brien \"&\" Società");
  EXPECT_EQ(Codici(), std::vector<std::string>{"SELVOR"});

  Riapri();
  EXPECT_EQ(Codici(), std::vector<std::string>{"SELVOR"});
  rs().Filter("userid='O''Brien \"&\" Società'");
  ASSERT_EQ(rs().RecordCount(), 1U);
  EXPECT_EQ(rs().Campo("percxx"), lungo);
  EXPECT_EQ(rs().Campo("Server"), "'; DROP TABLE AGGIOR; --");
  EXPECT_EQ(rs().Campo("downld"), "");
}

TEST_F(StoreTest, SavingWhatTheRowHoldsWritesNothingAChangeOrAVanishedRowCountsAHeldStoreFails) {
  // The file change counter in the database header moves with every write.
  const auto contatore = [&] { return LeggiFile(programma_ / "Tervan.mdb").substr(24, 4); };
  ScriviRiga("TARVIK", "CLIENTE1");
  const std::string prima = contatore();
  ScriviRiga("TARVIK", "CLIENTE1");
  EXPECT_EQ(contatore(), prima);

  ScriviRiga("TARVIK", "CLIENTE1", "00:01:00");
  EXPECT_NE(contatore(), prima);
  Riapri();
  rs().Filter("softxx='TARVIK'");
  EXPECT_EQ(rs().Campo("FreQue"), "00:01:00");

  // Removed behind the view: saving even the same values reports it.
  store_->conAggior().Execute("delete * from AGGIOR");
  rs().Campo("userid", "CLIENTE1");
  EXPECT_THROW(rs().Update(), orvane::Errore);

  // A store another session holds a moment is waited for; one held longer
  // fails after the wait instead of hanging, in the words of the program.
  ConnessioneArchivio altro;
  altro.Apri(programma_ / "Tervan.mdb");
  altro.Execute("BEGIN IMMEDIATE");
  std::thread rilascio([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    altro.Execute("ROLLBACK");
  });
  EXPECT_NO_THROW(store_->conAggior().Execute(istruzioni::kCancellaTarvik));
  rilascio.join();
  altro.Execute("BEGIN IMMEDIATE");
  store_->conAggior().AttesaBlocco(std::chrono::milliseconds(50));
  EXPECT_THAT([&] { store_->conAggior().Execute(istruzioni::kCancellaTarvik); },
              ::testing::ThrowsMessage<orvane::Errore>("Archivio in uso da un altro programma"));
}

TEST_F(StoreTest, StatementsRemoveExactlyTheirRowsAndTheIntervalQueryGivesTheSmallest) {
  for (const char* c :
       {"TARVIK", "PANELAA", "PANELAB", "PANELAC", "PANELAD", "PANELAE", "SELVOR", "O'K"})
    ScriviRiga(c, "U", c == std::string("SELVOR") ? "00:00:15" : "00:01:00");
  EXPECT_EQ(store_->FrequenzaAggiornamento()->Campo("FreQue"), "00:00:15");
  // A reopened view shows every row, whatever its filter was.
  rs().Filter("softxx='SELVOR'");
  rs().Close();
  rs().Open();
  EXPECT_EQ(rs().Filter(), "");
  EXPECT_EQ(rs().RecordCount(), 8U);

  store_->conAggior().Execute(istruzioni::kCancellaModuliMorlen);
  EXPECT_EQ(Codici(), (std::vector<std::string>{"TARVIK", "SELVOR", "O'K"}));
  store_->conAggior().Execute(istruzioni::kCancellaTarvik);
  // Values are bound, never spliced into the text: a quote is just a byte.
  store_->conAggior().Execute(istruzioni::kCancellaProgramma, {"O'K"});
  EXPECT_EQ(Codici(), (std::vector<std::string>{"SELVOR"}));
  for (const std::string_view altro : {"TARVIK", "PANELA", "panelaa", ""})
    EXPECT_FALSE(programmi::ModuloMorlen(altro)) << altro;
}

TEST(StoreIntervals, MinutesAndLastCheckTextsReadIndependentlyOfTheLocale) {
  // The usual intervals are the check cycle's table.
  EXPECT_EQ(IntervalloInMinuti("  "), 1);
  EXPECT_THROW((void)IntervalloInMinuti("ab:cd:ef"), orvane::Errore);

  const DataOraLocale d{2026, 12, 6, 9, 5, 7};
  EXPECT_EQ(TestoUltima(d), "06/12/2026 09:05:07");
  EXPECT_EQ(LeggiUltima("06/12/2026 09:05:07"), d);
  EXPECT_EQ(LeggiUltima("06/12/2026 09.05.07"), d);
  EXPECT_EQ(LeggiUltima(""), (DataOraLocale{1900, 1, 1, 0, 0, 0}));
  EXPECT_EQ(LeggiUltima("31/02/2026 10:00:00"), std::nullopt);
  EXPECT_EQ(LeggiUltima("06/12/2026 09:05.07"), std::nullopt);
  EXPECT_EQ(MinutiTrascorsi({2026, 12, 6, 9, 59, 59}, {2026, 12, 6, 10, 0, 0}), 1);
  EXPECT_EQ(MinutiTrascorsi({2026, 12, 31, 23, 30, 0}, {2027, 1, 1, 0, 0, 0}), 30);

  // The time of a check follows a time zone changed while the program runs.
  orvane::test::MacchinaFinta macchina;
  const platform::Istante istante =
      std::chrono::sys_days{std::chrono::January / 15 / 2027} + std::chrono::hours{8};
  macchina.Imposta("TZ", "UTC0");
  EXPECT_EQ(TestoUltima(OraLocale(istante)), "15/01/2027 08:00:00");
  macchina.Imposta("TZ", "CET-1");
  EXPECT_EQ(TestoUltima(OraLocale(istante)), "15/01/2027 09:00:00");
}

// A store that cannot be used fails the first operation; nothing is created
// or rewritten.
class BadStoreTest : public ::testing::Test {
 protected:
  // The failure of the first operations as logged, "" when none failed.
  std::string Fallimento() {
    envAggior store(programma_.Percorso());
    return Fallimento(store);
  }
  static std::string Fallimento(envAggior& store) {
    std::string descrizione;
    for (const auto& operazione : std::initializer_list<std::function<void()>>{
             [&] { store.rsAGGIOR()->Filter("softxx='TARVIK'"); },
             [&] { store.conAggior().Execute(istruzioni::kCancellaTarvik); }}) {
      try {
        operazione();
        return "";
      } catch (const orvane::Errore& e) {
        descrizione = e.what();
      }
    }
    return descrizione;
  }
  // The shipped store with its second page (the table's) wiped out.
  static std::string PaginaAZero() {
    std::string testo = LeggiFile(ORVANE_TERVAN_MDB);
    testo.replace(4096, 4096, std::string(4096, '\0'));
    return testo;
  }
  [[nodiscard]] std::string NonAperta(const std::string& motivo) const {
    return "Connessione all'archivio non aperta: Impossibile aprire " +
           (programma_ / "Tervan.mdb").string() + ": " + motivo;
  }
  CartellaTemporanea programma_;
};

TEST_F(BadStoreTest, MissingEmptyOrGarbageStoreFailsWithTheReasonAndIsNeitherCreatedNorRewritten) {
  EXPECT_EQ(Fallimento(), NonAperta("Impossibile trovare il file"));
  EXPECT_FALSE(std::filesystem::exists(programma_ / "Tervan.mdb"));
  for (const auto& [contenuto, motivo] :
       {std::pair{std::string{}, NonAperta("archivio vuoto, senza la tabella AGGIOR")},
        std::pair{std::string(5000, '\x7f'), NonAperta("Il file non è un archivio")},
        std::pair{PaginaAZero(),
                  NonAperta("archivio danneggiato (*** in database main *** Page 2")}}) {
    ScriviFile(programma_ / "Tervan.mdb", contenuto);
    EXPECT_THAT(Fallimento(), ::testing::StartsWith(motivo));
    EXPECT_EQ(LeggiFile(programma_ / "Tervan.mdb"), contenuto);
  }
  // Never through a link, even to a sound store.
  std::filesystem::remove(programma_ / "Tervan.mdb");
  std::filesystem::copy_file(ORVANE_TERVAN_MDB, programma_ / "altrove.mdb");
  std::filesystem::create_symlink("altrove.mdb", programma_ / "Tervan.mdb");
  EXPECT_THAT(Fallimento(), ::testing::StartsWith(NonAperta("")));
}

// A user's damaged copy of the shipped store is set aside and copied anew.
TEST_F(BadStoreTest, ADamagedCopyOfTheShippedStoreIsSetAsideAndCopiedAnew) {
  std::filesystem::copy_file(ORVANE_TERVAN_MDB, programma_ / "Tervan.mdb");
  ScriviFile(programma_ / platform::kSegnoInstallazioneSistema, "");
  orvane::test::MacchinaFinta macchina;
  macchina.Imposta("XDG_STATE_HOME", (macchina.Percorso() / "stato").string());
  const auto copia = platform::PostoFile(platform::FileSistema::Archivio, programma_.Percorso());
  ASSERT_NE(copia.parent_path(), programma_.Percorso());
  for (const std::string& danno : {std::string{}, std::string(5000, '\x7f'), PaginaAZero()}) {
    std::filesystem::create_directories(copia.parent_path());
    for (const auto& cartella : {copia.parent_path(), copia.parent_path().parent_path()})
      std::filesystem::permissions(cartella, std::filesystem::perms::owner_all);
    ScriviFile(copia, danno);
    envAggior store(programma_.Percorso());
    EXPECT_EQ(Fallimento(store), "");
    EXPECT_EQ(LeggiFile(copia.string() + ".danneggiato"), danno);
    EXPECT_EQ(LeggiFile(copia), LeggiFile(programma_ / "Tervan.mdb"));
  }
  // Without the shipped store to copy from, the failure says so, not only
  // that the copy was damaged.
  std::filesystem::remove(programma_ / "Tervan.mdb");
  ScriviFile(copia, std::string(5000, '\x7f'));
  envAggior store(programma_.Percorso());
  EXPECT_THAT(Fallimento(store), AllOf(HasSubstr("Il file non è un archivio; "),
                                       HasSubstr((programma_ / "Tervan.mdb").string() +
                                                 ": impossibile leggere il file da copiare")));
}

// A user who may not write the program folder works on a copy of its store
// (see the two-user end-to-end test); one they may not read is named.
TEST_F(BadStoreTest, AnEmptyStoreAnotherUserMayNotReadIsNamedAsTheReason) {
  if (geteuid() != 0) GTEST_SKIP() << "acting as another user needs root";
  std::filesystem::copy_file(ORVANE_TERVAN_MDB, programma_ / "Tervan.mdb");
  ASSERT_EQ(chmod(programma_.Percorso().c_str(), 0755), 0);
  ASSERT_EQ(chmod((programma_ / "Tervan.mdb").c_str(), 0600), 0);
  CartellaTemporanea stato;
  ASSERT_EQ(
      chown(stato.Percorso().c_str(), orvane::test::kUtenteNessuno, orvane::test::kUtenteNessuno),
      0);
  EXPECT_EQ(orvane::test::ComeAltroUtente([&] {
              ::setenv("XDG_STATE_HOME", stato.Percorso().c_str(), 1);
              envAggior store(programma_.Percorso());
              // The system's reason in Italian, whatever the locale.
              return Fallimento(store).ends_with("Archivio locale non disponibile: " +
                                                 (programma_ / "Tervan.mdb").string() +
                                                 ": impossibile leggere il file da copiare: "
                                                 "Autorizzazione negata")
                         ? 0
                         : 1;
            }),
            0);
}

TEST_F(BadStoreTest, AReadOnlyStoreReadsButRefusesWrites) {
  std::filesystem::copy_file(ORVANE_TERVAN_MDB, programma_ / "Tervan.mdb");
  {
    envAggior store(programma_.Percorso());
    store.rsAGGIOR()->AddNew();
    store.rsAGGIOR()->Campo("softxx", "TARVIK");
    store.rsAGGIOR()->Update();
  }
  ASSERT_EQ(chmod((programma_ / "Tervan.mdb").c_str(), 0444), 0);
  // 0 when the store reads its row and refuses to delete it.
  const auto prova = [&] {
    envAggior store(programma_.Percorso());
    store.rsAGGIOR()->Filter("softxx='TARVIK'");
    if (store.rsAGGIOR()->Eof()) return 1;
    try {
      store.conAggior().Execute(istruzioni::kCancellaTarvik);
    } catch (const orvane::Errore&) {
      return 0;
    }
    return 2;
  };
  if (geteuid() != 0) {
    EXPECT_EQ(prova(), 0);
    return;
  }
  // Root writes through permission bits: the store's owner is another user.
  for (const auto& posto : {programma_.Percorso(), programma_ / "Tervan.mdb"})
    ASSERT_EQ(chown(posto.c_str(), orvane::test::kUtenteNessuno, orvane::test::kUtenteNessuno), 0);
  EXPECT_EQ(orvane::test::ComeAltroUtente(prova), 0);
}

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

TEST_F(DiscoveryTest, ASecondPassChangesOnlyTheIntervalAndAProgramWithoutIdentifierKeepsItsRow) {
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

  // Without its customer identifier a program keeps its old row, a new one
  // is not saved at all, and the discovery is incomplete.
  Impostazione(R"(Vuldra\Vestrum)", "nomexx", "");
  Impostazione(R"(Vuldra\Vestrum)", "datixx", R"(C:\ALTROVE)");
  Installa(R"(C:\ORVANE\MORLEN)");
  Passo();
  EXPECT_EQ(Righe(), prima);
  EXPECT_FALSE(finestra_.Stato().VerificaCompleta);
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");

  // Hidden in the tray, the next tick still checks the programs that have
  // their identifier: one not yet activated holds back no other.
  const orvane::test::MessaggiRegistrati messaggi;
  macchina_.Imposta("ORVANE_UPDATE_SERVER", std::string("http://127.0.0.1:9"));
  finestra_.Stato().stato = StatoVassoio::Nascosto;
  finestra_.tmrRicerca_Timer();
  envAggior archivio(programma());
  archivio.rsAGGIOR()->Filter("softxx='TARVIK'");
  EXPECT_NE(archivio.rsAGGIOR()->Campo("ultima"), "06/12/2026 10:00:00");
  // That cycle closed the view: the next pass opens it again.
  Passo();
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");
}

TEST_F(DiscoveryTest, RemovedProgramsLoseTheirRowsAndAFailedPassIsOneRecordNotTheNext) {
  InstallaTutto();
  Passo();
  EXPECT_THAT(Righe(),
              ElementsAre(R"(TARVIK|C:\ORVANE\TARVIK\DATI|SRV\SQL|00:00:30|Farsel.exe|TRK0001)",
                          R"(SELVOR|C:\SELVOR\DATI|SRV2|00:00:30|Ploduk.exe|SLV0001)"));
  EXPECT_EQ(finestra_.Stato().DatiUtente.DesAzi, "Rossi && Figli");

  // A row holding what the pass writes is left alone: give it something to save.
  finestra_.Stato().Archivio->conAggior().Execute(
      "UPDATE AGGIOR SET FreQue = '00:01:00' WHERE softxx = 'SELVOR'");
  finestra_.Stato().Archivio->conAggior().Execute(
      "CREATE TRIGGER rifiuta BEFORE UPDATE ON AGGIOR WHEN NEW.softxx = 'SELVOR' "
      "BEGIN SELECT RAISE(ABORT, 'rifiutata'); END");
  Passo();
  EXPECT_FALSE(finestra_.Stato().VerificaCompleta);
  EXPECT_EQ(orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log()), 1U);

  // The refused change is not tried again: the next pass runs to its end.
  // Each program removed loses its row alone.
  Disinstalla(R"(C:\ORVANE\SELVOR)");
  Passo();
  EXPECT_TRUE(finestra_.Stato().VerificaCompleta);
  EXPECT_THAT(Righe(), ElementsAre(::testing::StartsWith("TARVIK|")));
  Disinstalla(R"(C:\ORVANE\TARVIK)");
  Passo();
  EXPECT_TRUE(Righe().empty());
  EXPECT_TRUE(finestra_.Stato().rsAGGIOR->Eof());
  EXPECT_EQ(finestra_.Stato().rsAGGIOR->Filter(), "");
  EXPECT_TRUE(finestra_.Stato().VerificaCompleta);

  // A store that is gone is logged, and not made anew.
  finestra_.Stato().Archivio.reset();
  std::filesystem::remove(programma() / "Tervan.mdb");
  Passo();
  EXPECT_FALSE(finestra_.Stato().VerificaCompleta);
  const std::string log = orvane::test::MacchinaFinta::Log();
  EXPECT_EQ(orvane::test::RecordNelLog(log), 2U);
  EXPECT_THAT(log, HasSubstr(" Modulo          : frmTervan\r\n"));
  EXPECT_THAT(log, HasSubstr(" Routine         : VerificaProgrammiInstallati\r\n"));
  EXPECT_FALSE(std::filesystem::exists(programma() / "Tervan.mdb"));
}

}  // namespace
}  // namespace tervan
