// The download run with and without the maker's public key beside Tervan,
// against the reference service and signatures made by minisign.
#include <gmock/gmock.h>

#include <filesystem>
#include <string>

#include "BancoFinestra.h"
#include "platform/Cartelle.h"
#include "platform/Percorsi.h"
#include "tests/support/MessaggiRegistrati.h"
#include "tests/support/Minisign.h"
#include "tests/support/ServizioFiglio.h"
#include "updater/ScaricamentoAggiornamenti.h"

namespace tervan {
namespace {

using test::Contenuto;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
namespace fs = std::filesystem;

constexpr const char* kNotaSenzaChiave = "Tervan: pacchetti non verificati";

std::size_t Occorrenze(const std::string& testo, const std::string& cercato) {
  std::size_t n = 0;
  for (auto p = testo.find(cercato); p != std::string::npos; p = testo.find(cercato, p + 1))
    ++n;
  return n;
}

class FirmaScaricamentoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    banco_.macchina.Imposta("ORVANE_UPDATE_SERVER", servizio_.Server());
    fs::create_directories(platform::PercorsoLocale(R"(C:\ORVANE\TARVIK\DATI)"));
    banco_.ciclo.ImpostaScaricamento([this] { scarica_.ConnessioneAggiornamenti(); });
    banco_.Programma("TARVIK", "ROSSI", "00:00:30", "", R"(C:\ORVANE\TARVIK\DATI)");
    banco_.ciclo.Command_F4_Click();  // lists 7 and 42, both marked
  }
  // A run over every marked package: what it said on standard error.
  std::string Scarica() {
    ::testing::internal::CaptureStderr();
    banco_.ciclo.ConnessioneAggiornamenti("", ModoConnessione::Scaricamento);
    return ::testing::internal::GetCapturedStderr();
  }

  orvane::test::ServizioFiglio servizio_;
  test::BancoFinestra banco_;
  orvane::test::MessaggiRegistrati messaggi_;
  fs::path aggiornamenti_ = platform::PercorsoLocale(R"(C:\ORVANE\TARVIK\DATI\Aggiornamenti)");
  ScaricamentoAggiornamenti scarica_{banco_.stato, banco_.controlli, banco_.elenco};
};

TEST_F(FirmaScaricamentoTest, WithoutAKeyEveryPackageIsPlacedAndTheRunSaysOnceThatNoneIsVerified) {
  const std::string detto = Scarica();
  EXPECT_THAT(Contenuto(aggiornamenti_), ElementsAre("ORVANE-2008-01-10-09-00-00-C-7.zip",
                                                     "TARVIK-2008-03-05-14-30-00-C-42.zip"));
  EXPECT_EQ(servizio_.Registrati().size(), 2U);
  EXPECT_EQ(Occorrenze(detto, kNotaSenzaChiave), 1U) << detto;
  EXPECT_EQ(orvane::test::MacchinaFinta::Log(), "");
}

TEST_F(FirmaScaricamentoTest, WithTheKeyAnUnsignedPackageStopsTheRunBeforeTheGoodOneAfterIt) {
  const orvane::test::ChiaviMinisign maker;
  fs::copy_file(maker.Pubblica(), platform::CartellaProgramma() / "aggiornamenti.pub");
  maker.Firma(servizio_.FilePacchetto("Aggiornamento00042.zip"));

  // 7 comes first and has no signature: nothing is placed or recorded, not
  // even the signed 42 after it.
  std::string detto = Scarica();
  EXPECT_THAT(Contenuto(aggiornamenti_), IsEmpty());
  EXPECT_THAT(servizio_.Registrati(), IsEmpty());
  EXPECT_FALSE(scarica_.CronologiaDaMostrare());
  const std::string log = orvane::test::MacchinaFinta::Log();
  EXPECT_EQ(orvane::test::RecordNelLog(log), 1U);
  EXPECT_THAT(log, HasSubstr("Aggiornamento00007.zip non accettato: firma mancante"));
  EXPECT_THAT(log, HasSubstr("CopiaAggiornamentiInServer"));
  EXPECT_EQ(Occorrenze(detto, kNotaSenzaChiave), 0U);

  maker.Firma(servizio_.FilePacchetto("Aggiornamento00007.zip"));
  banco_.ciclo.Command_F4_Click();
  detto = Scarica();
  EXPECT_THAT(Contenuto(aggiornamenti_), ElementsAre("ORVANE-2008-01-10-09-00-00-C-7.zip",
                                                     "TARVIK-2008-03-05-14-30-00-C-42.zip"));
  EXPECT_EQ(servizio_.Registrati().size(), 2U);
  EXPECT_EQ(orvane::test::RecordNelLog(orvane::test::MacchinaFinta::Log()), 1U);
  EXPECT_EQ(Occorrenze(detto, kNotaSenzaChiave), 0U);
}

}  // namespace
}  // namespace tervan
