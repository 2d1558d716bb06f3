// The download run on loose controls against the reference service: what
// lands in the program's "Aggiornamenti" folder, what is recorded on the
// service, and that nothing damaged is ever placed or recorded.
#include <gmock/gmock.h>

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <limits>
#include <mutex>
#include <string>
#include <vector>

#include "BancoFinestra.h"
#include "platform/Cartelle.h"
#include "platform/Percorsi.h"
#include "platform/RigaDiComando.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/Minisign.h"
#include "tests/support/ServerDiProva.h"
#include "tests/support/ServizioFiglio.h"
#include "updater/ScaricamentoAggiornamenti.h"

namespace tervan {
namespace {

using ::testing::ElementsAre;
using ::testing::FieldsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Colonna = ElencoAggiornamenti::Colonna;
using orvane::test::LeggiFile;
using test::Contenuto;
namespace fs = std::filesystem;

// A data folder named in bytes that are not UTF-8 (Latin-1), as an older
// system may have left it: its packages go there all the same.
constexpr const char* kDatiTarvik = "C:\\ORVANE\\TARVIK\\DATI SOCIET\xC0";
constexpr const char* kNotaSenzaChiave = "Tervan: pacchetti non verificati";

class ScaricamentoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    banco_.macchina.Imposta("ORVANE_UPDATE_SERVER", servizio_.Server());
    fs::create_directories(dati_);
    banco_.ciclo.ImpostaScaricamento([this] { scarica_.ConnessioneAggiornamenti(); });
    banco_.Programma("TARVIK", "ROSSI", "00:00:30", "", kDatiTarvik);
    banco_.finestra.show();
    banco_.ciclo.Command_F4_Click();  // lists 7 and 42, both marked
  }
  // A cell's text, kept byte for byte as the list keeps one that is not UTF-8.
  void Cella(int riga, int colonna, const std::string& testo) {
    QTableWidgetItem* cella = banco_.grdAggior.item(riga - 1, colonna - 1);
    cella->setText(QString::fromStdString(testo));
    cella->setData(ElencoAggiornamenti::kRuoloByte, QByteArray::fromStdString(testo));
  }

  orvane::test::ServizioFiglio servizio_;
  test::BancoFinestra banco_;
  fs::path dati_ = platform::PercorsoLocale(kDatiTarvik);
  fs::path aggiornamenti_ = dati_ / "Aggiornamenti";
  ScaricamentoAggiornamenti scarica_{banco_.stato, banco_.controlli, banco_.elenco};
};

TEST_F(ScaricamentoTest, OneMarkedPackageLandsWithItsNameAndBytesAndOneRecordOfTheSession) {
  ASSERT_THAT(banco_.Elencati(), ElementsAre("7/TARVIK", "42/TARVIK"));
  orvane::test::MessaggiRegistrati messaggi;
  banco_.elenco.SegnaTutti("");
  Cella(3, Colonna::kEsegui, "Ok");
  // A data folder may be named by its local path as well as by its drive.
  Cella(3, Colonna::kCartellaDati, dati_.string());
  banco_.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
  EXPECT_THAT(Contenuto(dati_), ElementsAre("Aggiornamenti"));
  EXPECT_THAT(Contenuto(aggiornamenti_), ElementsAre("TARVIK-2008-03-05-14-30-00-C-42.zip"));
  EXPECT_EQ(LeggiFile(aggiornamenti_ / "TARVIK-2008-03-05-14-30-00-C-42.zip"),
            LeggiFile(servizio_.FilePacchetto("Aggiornamento00042.zip")));
  EXPECT_THAT(servizio_.Registrati(),
              ElementsAre("ROSSI|42|Stampe & <fatture>|" + banco_.stato.IdSessione));
  EXPECT_TRUE(scarica_.CronologiaDaMostrare());
  EXPECT_EQ(banco_.Label1.text().toStdString(),
            "Download aggiornamento 1 di 1 - Stampe & <fatture> in corso...");
  EXPECT_EQ(banco_.tray.UltimiFumetti().back(),
            (Fumetto{"L'aggiornamento verrà installato al prossimo riavvio del programma",
                     "Aggiornamenti Orvane Software - Download aggiornamento eseguito", 14500}));
  EXPECT_THAT(messaggi.Messaggi(), IsEmpty());
  EXPECT_FALSE(banco_.vbalProg.isVisible());
  EXPECT_EQ(banco_.vbalProg.value(), banco_.vbalProg.maximum());
  EXPECT_TRUE(banco_.Command_Esc.isEnabled());
  EXPECT_TRUE(banco_.Text1.isEnabled());
}

TEST_F(ScaricamentoTest, NothingMarkedSaysSoAndStartedAtLogOnEveryPackageIsTakenUnverified) {
  orvane::test::MessaggiRegistrati messaggi;
  banco_.elenco.SegnaTutti("");
  banco_.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
  EXPECT_THAT(messaggi.Messaggi(), ElementsAre(FieldsAre("Nessun aggiornamento scaricato",
                                                         platform::vbInformation, "Avviso")));
  EXPECT_TRUE(banco_.Text1.isEnabled());
  EXPECT_THAT(servizio_.Registrati(), IsEmpty());

  // Without the maker's key every package is placed, and the run says once
  // that none was verified.
  platform::SostituisciRigaDiComando(" VERIFICA ");
  banco_.stato.IdSessione.clear();
  ::testing::internal::CaptureStderr();
  banco_.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
  const std::string detto = ::testing::internal::GetCapturedStderr();
  platform::SostituisciRigaDiComando("DEBUG");
  EXPECT_THAT(Contenuto(aggiornamenti_), ElementsAre("ORVANE-2008-01-10-09-00-00-C-7.zip",
                                                     "TARVIK-2008-03-05-14-30-00-C-42.zip"));
  EXPECT_THAT(servizio_.Registrati(),
              ElementsAre("ROSSI|7|Motore comune|", "ROSSI|42|Stampe & <fatture>|"));
  EXPECT_EQ(messaggi.Messaggi().size(), 1U);
  EXPECT_THAT(detto, HasSubstr(kNotaSenzaChiave));
  EXPECT_EQ(detto.find(kNotaSenzaChiave), detto.rfind(kNotaSenzaChiave)) << detto;
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");
}

TEST_F(ScaricamentoTest, WithTheKeyAnUnsignedPackageStopsTheRunAndNoneGoesUnverifiedWhenItGoes) {
  orvane::test::MessaggiRegistrati messaggi;
  const orvane::test::ChiaviMinisign maker;
  const fs::path chiave = platform::CartellaProgramma() / "aggiornamenti.pub";
  fs::copy_file(maker.Pubblica(), chiave);
  maker.Firma(servizio_.FilePacchetto("Aggiornamento00042.zip"));
  // Started from a signed install, with nothing fetched yet.
  ScaricamentoAggiornamenti avviato{banco_.stato, banco_.controlli, banco_.elenco};

  // 7 comes first and has no signature: nothing is placed or recorded, not
  // even the signed 42 after it. (A run whose packages are all signed is the
  // connection test's.)
  ::testing::internal::CaptureStderr();
  banco_.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
  const std::string detto = ::testing::internal::GetCapturedStderr();
  EXPECT_THAT(Contenuto(aggiornamenti_), IsEmpty());
  EXPECT_THAT(servizio_.Registrati(), IsEmpty());
  EXPECT_FALSE(scarica_.CronologiaDaMostrare());
  const std::string log = orvane::test::MacchinaFinta::Log();
  EXPECT_EQ(orvane::test::RecordNelLog(log), 1U);
  EXPECT_THAT(log, HasSubstr("Aggiornamento00007.zip non accettato: firma mancante"));
  EXPECT_THAT(log, HasSubstr("CopiaAggiornamentiInServer"));
  EXPECT_THAT(detto, ::testing::Not(HasSubstr(kNotaSenzaChiave)));

  // The key file gone while the program runs (the program being removed):
  // the key it had still judges, whether read for a package or only at the
  // start, and nothing passes unverified, is placed or recorded.
  fs::remove(chiave);
  for (ScaricamentoAggiornamenti* s : {&scarica_, &avviato}) {
    banco_.ciclo.ImpostaScaricamento([s] { s->ConnessioneAggiornamenti(); });
    banco_.elenco.SegnaTutti("Ok");
    ::testing::internal::CaptureStderr();
    banco_.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
    EXPECT_THAT(::testing::internal::GetCapturedStderr(),
                ::testing::Not(HasSubstr(kNotaSenzaChiave)));
    EXPECT_THAT(Contenuto(aggiornamenti_), IsEmpty());
    EXPECT_THAT(servizio_.Registrati(), IsEmpty());
  }
  EXPECT_EQ(orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log()), 3U);

  // A key file others may write judges nothing: a run that never had a key
  // places nothing either.
  fs::copy_file(maker.Pubblica(), chiave);
  fs::permissions(chiave, fs::perms(0664));
  ScaricamentoAggiornamenti senzaChiave{banco_.stato, banco_.controlli, banco_.elenco};
  banco_.ciclo.ImpostaScaricamento([&] { senzaChiave.ConnessioneAggiornamenti(); });
  banco_.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
  EXPECT_THAT(Contenuto(aggiornamenti_), IsEmpty());
  EXPECT_THAT(orvane::test::MacchinaFinta::Log(), HasSubstr("è scrivibile da altri utenti"));
}

// Every entry below `cartella`, with the content of each file.
std::vector<std::string> Albero(const fs::path& cartella) {
  std::vector<std::string> voci;
  for (const auto& v : fs::recursive_directory_iterator(cartella)) {
    const bool file = v.is_regular_file() && !v.is_symlink();
    voci.push_back(fs::relative(v.path(), cartella).string() +
                   (file ? "=" + LeggiFile(v.path()) : ""));
  }
  std::sort(voci.begin(), voci.end());
  return voci;
}

// What the server or the service does wrong is the hostile suite's table; here the list's
// own cells go wrong: a code that is no number, a data folder missing, a file or read-only.
TEST_F(ScaricamentoTest, ABadCellFailsItsPackageStopsTheRunAndWritesNothingAnywhere) {
  const fs::path disco = platform::PercorsoLocale("C:\\");
  orvane::test::ScriviFile(aggiornamenti_ / "TARVIK-2008-03-05-14-30-00-C-42.zip", "precedente");
  orvane::test::ScriviFile(disco / "FILE", "un file, non una cartella");
  // A folder the user may not write in; root may write anywhere but in /sys.
  fs::create_directories(disco / "SOLA");
  if (::geteuid() == 0) {
    fs::create_directory_symlink("/sys", disco / "SOLA" / "LETTURA");
  } else {
    fs::create_directories(disco / "SOLA" / "LETTURA");
    fs::permissions(disco / "SOLA" / "LETTURA", fs::perms::owner_read | fs::perms::owner_exec);
  }
  const auto prima = Albero(disco);
  orvane::test::MessaggiRegistrati messaggi;
  const std::vector<std::pair<int, std::string>> casi{
      {Colonna::kCodice, "4x2"},
      {Colonna::kCartellaDati, R"(C:\ORVANE\TARVIK\MANCA)"},
      {Colonna::kCartellaDati, R"(C:\FILE)"},
      {Colonna::kCartellaDati, R"(C:\SOLA\LETTURA)"},
      // Taken from the working folder, this would be the data folder itself.
      {Colonna::kCartellaDati, fs::relative(dati_, fs::current_path()).string()}};
  for (const auto& [colonna, testo] : casi) {
    SCOPED_TRACE(testo);
    const std::size_t log = orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log());
    // The first of the two packages goes wrong; the second is never fetched.
    banco_.elenco.SegnaTutti("Ok");
    const std::string buona = banco_.elenco.Testo(1, colonna);
    Cella(1, colonna, testo);
    banco_.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
    Cella(1, colonna, buona);
    EXPECT_EQ(Albero(disco), prima);
    EXPECT_THAT(servizio_.Registrati(), IsEmpty());
    EXPECT_FALSE(scarica_.CronologiaDaMostrare());
    EXPECT_EQ(orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log()), log + 1);
    EXPECT_THAT(orvane::test::MacchinaFinta::Log(), HasSubstr("CopiaAggiornamentiInServer"));
    EXPECT_EQ(banco_.Label1.text().toStdString(),
              "Download aggiornamento 1 di 2 - Motore comune in corso...");
    EXPECT_FALSE(banco_.vbalProg.isVisible());
  }
  EXPECT_EQ(messaggi.Messaggi().size(), 5U);  // "Nessun aggiornamento scaricato" each time
}

// Three TARVIK packages for ROSSI, the second of 24 MB that do not compress.
std::string CatalogoConGrande() {
  const auto pacchetto = [](int codice, const std::string& contenuto) {
    const std::string n = std::to_string(codice);
    return R"({ "codice": )" + n + R"(, "dataxx": "2008-0)" + n + R"(-01T10:00:00", )" +
           R"("progra": "TARVIK", "TipoXx": "TARVIK", "Filexx": "Pacchetto )" + n +
           R"(", "contenuto": { )" + contenuto + R"( }, "clienti": ["ROSSI"] })";
  };
  return R"({ "clienti": [ { "userid": "ROSSI", "abilitato": "S" } ], "pacchetti": [ )" +
         pacchetto(1, R"("LEGGIMI.txt": "primo")") + ", " +
         pacchetto(2, R"("dati.bin": { "casuali": 25165824 })") + ", " +
         pacchetto(3, R"("LEGGIMI.txt": "terzo")") + " ] }";
}

TEST(ScaricamentoConnessione, ARunFetchesEveryPackageAndSignatureOverOneConnectionLargeOnesWhole) {
  orvane::test::ServizioFiglio servizio(CatalogoConGrande());
  test::BancoFinestra banco;
  ScaricamentoAggiornamenti scarica{banco.stato, banco.controlli, banco.elenco};
  banco.macchina.Imposta("ORVANE_UPDATE_SERVER", servizio.Server());
  const fs::path aggiornamenti = platform::PercorsoLocale(kDatiTarvik) / "Aggiornamenti";
  fs::create_directories(aggiornamenti.parent_path());
  const orvane::test::ChiaviMinisign maker;
  fs::copy_file(maker.Pubblica(), platform::CartellaProgramma() / "aggiornamenti.pub");
  for (int codice = 1; codice <= 3; ++codice)
    maker.Firma(servizio.FilePacchetto(ScaricamentoAggiornamenti::NomeDownload(codice)));

  // The service's packages and signatures, over connections kept open for
  // as long as the client keeps them.
  std::atomic<int> connessioni = 0;
  std::mutex mutex;
  std::vector<std::string> richiesti;
  orvane::test::ServerGrezzo server([&](int s) {
    ++connessioni;
    for (std::string r; !(r = orvane::test::ServerGrezzo::LeggiRichiesta(s)).empty();) {
      const auto inizio = r.find("Aggiornamento");
      const std::string nome =
          inizio == std::string::npos ? "" : r.substr(inizio, r.find(' ', inizio) - inizio);
      const fs::path file = servizio.FilePacchetto(nome.empty() ? "-" : nome);
      const std::string corpo = fs::is_regular_file(file) ? LeggiFile(file) : std::string();
      orvane::test::ServerGrezzo::Scrivi(
          s, std::string(corpo.empty() ? "HTTP/1.1 404 Not Found" : "HTTP/1.1 200 OK") +
                 "\r\nContent-Length: " + std::to_string(corpo.size()) + "\r\n\r\n" + corpo);
      const std::lock_guard blocco(mutex);
      richiesti.push_back(nome);
    }
    return true;
  });
  banco.Programma("TARVIK", "ROSSI", "00:00:30", "", kDatiTarvik);
  banco.finestra.show();
  banco.ciclo.Command_F4_Click();
  banco.ciclo.ImpostaScaricamento([&] {
    banco.macchina.Imposta("ORVANE_UPDATE_SERVER", server.Url(""));
    scarica.ConnessioneAggiornamenti();
  });
  std::vector<int> barra;
  QObject::connect(&banco.vbalProg, &QProgressBar::valueChanged,
                   [&barra](int valore) { barra.push_back(valore); });
  banco.elenco.SegnaTutti("Ok");
  banco.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);

  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");
  // The bar fills once per package, the large one in steps: it goes back to
  // its start, and only there, when each later package begins.
  int ritorni = 0;
  for (std::size_t i = 1; i < barra.size(); ++i) {
    if (barra[i] >= barra[i - 1]) continue;
    EXPECT_EQ(barra[i], banco.vbalProg.minimum());
    ++ritorni;
  }
  EXPECT_EQ(ritorni, 2);
  std::vector<std::string> posati;
  for (int codice = 1; codice <= 3; ++codice) {
    const std::string nome = "TARVIK-2008-0" + std::to_string(codice) + "-01-10-00-00-C-" +
                             std::to_string(codice) + ".zip";
    posati.push_back(nome);
    const std::string atteso =
        LeggiFile(servizio.FilePacchetto(ScaricamentoAggiornamenti::NomeDownload(codice)));
    // Compared whole, without printing megabytes on a failure.
    EXPECT_TRUE(LeggiFile(aggiornamenti / nome) == atteso) << nome;
  }
  EXPECT_EQ(test::Contenuto(aggiornamenti), posati);
  EXPECT_EQ(servizio.Registrati().size(), 3U);
  EXPECT_EQ(connessioni, 1);
  const std::lock_guard blocco(mutex);
  EXPECT_THAT(richiesti, ElementsAre("Aggiornamento00001.zip", "Aggiornamento00001.zip.minisig",
                                     "Aggiornamento00002.zip", "Aggiornamento00002.zip.minisig",
                                     "Aggiornamento00003.zip", "Aggiornamento00003.zip.minisig"));
}

TEST(ScaricamentoNomi, LongCodesBadLocalNamesAndTheRecordStatement) {
  // Short codes are the runs' (the service serves 7 and 42 by these names).
  EXPECT_EQ(ScaricamentoAggiornamenti::NomeDownload(123456), "Aggiornamento123456.zip");
  // The sign stands before the five digits, not in place of one.
  EXPECT_EQ(ScaricamentoAggiornamenti::NomeDownload(-5), "Aggiornamento-00005.zip");
  EXPECT_EQ(ScaricamentoAggiornamenti::NomeDownload(std::numeric_limits<std::int32_t>::min()),
            "Aggiornamento-2147483648.zip");
  EXPECT_THROW((void)ScaricamentoAggiornamenti::NomeLocale("T", "", 7), std::exception);
  // The customer the list was asked for (up to the first ";"), and text an
  // XML request can carry, with no ";" to end the record early.
  EXPECT_EQ(ScaricamentoAggiornamenti::ComandoRegistrazione("2026/12/06 10.00.00", "D'ANGELO;SRL",
                                                            42, "a;b\001c\td", ""),
            "insert into download(dataxx, utente, codzip, descri, session) "
            "values('2026/12/06 10.00.00', 'D''ANGELO', '42', 'a,b c\td', '')");
}

}  // namespace
}  // namespace tervan
