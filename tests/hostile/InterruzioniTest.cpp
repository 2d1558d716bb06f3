// The registry store and the error log when their writer is killed at any
// moment or the disk is full: every file is the old one or the whole new
// one, and a failure to write is reported, never half done.

#include <gmock/gmock.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <random>
#include <sstream>
#include <string>
#include <thread>

#include "DiscoPieno.h"
#include "platform/RegistroFormato.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace orvane::test::ostile {
namespace {

using ::testing::HasSubstr;

constexpr int kInterruzioni = 200;
const std::string kFileRadice = "HKEY_CURRENT_USER.reg";

// The value Contatore of the store's file ("" when it has none yet), when
// the file reads whole with the large value beside it intact.
std::optional<std::string> Contatore(const std::filesystem::path& cartella) {
  const platform::FileRegistro f =
      platform::AnalizzaFileRegistro(LeggiFile(cartella / kFileRadice));
  if (!f.riconosciuto || f.numeroProblemi != 0) return std::nullopt;
  std::optional<std::string> contatore;
  std::optional<bool> riempitivo;
  for (const auto& sezione : f.sezioni) {
    if (sezione.chiave != "HKEY_CURRENT_USER\\Software\\Prova") continue;
    for (const auto& v : sezione.valori) {
      if (v.nome == "Contatore") contatore = v.dati.substr(0, v.dati.find('\0'));
      if (v.nome == "Riempitivo") riempitivo = v.dati == std::string(16 * 1024, 'r') + '\0';
    }
  }
  // The large value is written first, so a counter never stands without it;
  // a first writer killed before its first value leaves the key alone.
  if (riempitivo == false || (contatore && !riempitivo)) return std::nullopt;
  return contatore.value_or("");
}

// The last whole line a writer printed: the last value it knows written.
long long UltimoScritto(const std::filesystem::path& uscita, long long altrimenti) {
  std::istringstream righe(LeggiFile(uscita));
  long long ultimo = altrimenti;
  for (std::string r; std::getline(righe, r);) {
    if (!righe.eof()) ultimo = std::stoll(r);
  }
  return ultimo;
}

std::size_t Temporanei(const std::filesystem::path& cartella) {
  std::size_t n = 0;
  for (const auto& voce : std::filesystem::directory_iterator(cartella)) {
    if (voce.path().filename().string().starts_with("." + kFileRadice + ".")) ++n;
  }
  return n;
}

TEST(InterruzioniTest, ARegistryWriterKilledOrUnconfirmedLeavesTheOldOrTheNewValue) {
  const CartellaTemporanea registro;
  const CartellaTemporanea uscite;
  const std::map<std::string, std::string> ambiente{{"ORVANE_REGISTRY", registro.Percorso()},
                                                    {"XDG_CONFIG_HOME", uscite.Percorso()}};
  std::mt19937 caso(std::random_device{}());
  std::uniform_int_distribution<int> attesa(0, 100);
  long long ultimo = 0;
  int danneggiati = 0;
  for (int giro = 0; giro < kInterruzioni; ++giro) {
    SCOPED_TRACE(giro);
    const auto cartellaUscita = uscite.Percorso() / std::to_string(giro);
    std::filesystem::create_directory(cartellaUscita);
    {
      Processo scrittore(SCRIVI_OSTILE, {"registro", std::to_string(ultimo + 1)}, ambiente,
                         cartellaUscita);
      std::this_thread::sleep_for(std::chrono::milliseconds(attesa(caso)));
      scrittore.Termina(SIGKILL);
    }
    const long long scritto = UltimoScritto(cartellaUscita / "stdout", ultimo);
    const auto valore = std::filesystem::exists(registro.Percorso() / kFileRadice)
                            ? Contatore(registro.Percorso())
                            : std::optional<std::string>(ultimo == 0 ? "" : "assente");
    // The value the writer last reported, or the one it was writing.
    const bool integro =
        valore && ((valore->empty() && scritto == 0) || *valore == std::to_string(scritto) ||
                   *valore == std::to_string(scritto + 1));
    if (!integro) {
      ++danneggiati;
      ADD_FAILURE() << "scritto " << scritto << ", nel file " << valore.value_or("(illeggibile)");
      continue;
    }
    if (!valore->empty()) ultimo = std::stoll(*valore);
  }
  std::cout << "[ interruzioni ] " << kInterruzioni << " interruzioni, " << danneggiati
            << " file danneggiati\n";
  EXPECT_EQ(danneggiati, 0);
  // The next writer completes and clears what the killed ones left.
  const Esito dopo = Esegui(SCRIVI_OSTILE, {"uno", "fine"}, ambiente);
  EXPECT_EQ(dopo.codice, 0) << dopo.err;
  EXPECT_EQ(Contatore(registro.Percorso()), "fine");
  EXPECT_EQ(Temporanei(registro.Percorso()), 0U);
  // A write the disk does not confirm fails and keeps the file whole.
  auto guasto = ambiente;
  guasto["LD_PRELOAD"] = FSYNC_EIO;
  EXPECT_EQ(Esegui(SCRIVI_OSTILE, {"uno", "nuovo"}, guasto).codice, 1);
  EXPECT_EQ(Contatore(registro.Percorso()), "fine");
  EXPECT_EQ(Temporanei(registro.Percorso()), 0U);
}

// A small file system of its own that the test fills up.
class DiscoPienoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!disco_.Montato()) GTEST_SKIP() << disco_.Motivo();
  }
  CartellaTemporanea cartella_;
  const std::filesystem::path& radice_ = cartella_.Percorso();
  DiscoPieno disco_{radice_};
};

TEST_F(DiscoPienoTest, ARegistryWriteFailsAndKeepsTheOldFileWhole) {
  const std::map<std::string, std::string> ambiente{{"ORVANE_REGISTRY", radice_},
                                                    {"XDG_CONFIG_HOME", radice_}};
  ASSERT_EQ(Esegui(SCRIVI_OSTILE, {"uno", "vecchio"}, ambiente).codice, 0);
  const std::string prima = LeggiFile(radice_ / kFileRadice);
  disco_.Riempi();
  const Esito pieno = Esegui(SCRIVI_OSTILE, {"uno", std::string(64 * 1024, 'n')}, ambiente);
  EXPECT_EQ(pieno.codice, 1);
  EXPECT_EQ(LeggiFile(radice_ / kFileRadice), prima);
  EXPECT_EQ(Temporanei(radice_), 0U);
}

TEST_F(DiscoPienoTest, ALogWriteFailsWholeAndTheRecordGoesToStandardError) {
  const auto programma = radice_ / "scrivi_ostile";
  std::filesystem::copy_file(SCRIVI_OSTILE, programma);
  // A folder of the program's own user alone, so the log is kept beside it
  // (a new tmpfs is open to everyone).
  std::filesystem::permissions(radice_, std::filesystem::perms(0755));
  // An earlier log whose last page has room for less than one record.
  const std::string precedente(4096 - 100, 'p');
  { std::ofstream(radice_ / "Tarvik.Log", std::ios::binary) << precedente; }
  disco_.Riempi();
  const Esito e = Esegui(programma, {"DEBUG"});
  EXPECT_EQ(e.codice, 0);
  EXPECT_THAT(e.err, HasSubstr("impossibile scrivere"));
  EXPECT_THAT(e.err, HasSubstr(std::strerror(ENOSPC)));
  EXPECT_THAT(e.err, HasSubstr(" Descrizione     : Disco pieno\r\n"));
  // Nothing of the record reached the log.
  EXPECT_EQ(LeggiFile(radice_ / "Tarvik.Log"), precedente);
}

}  // namespace
}  // namespace orvane::test::ostile
