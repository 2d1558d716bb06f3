// Tervan started at log-on and killed (SIGKILL) at random moments of its
// start and its download run: every package file is the earlier one or the
// whole new one, the registry files and the local store stay readable, and
// the next run completes every package and clears what the killed ones left.

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ServerOstile.h"
#include "platform/RegistroFormato.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"

namespace orvane::test::ostile {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Rounds of the ordinary suite; the reliability figures ask for more
// through ORVANE_INTERRUZIONI_TERVAN.
constexpr int kGiriPredefiniti = 10;
constexpr int kPacchetti = 3;

int Giri() {
  const char* valore = std::getenv("ORVANE_INTERRUZIONI_TERVAN");
  return valore != nullptr && std::atoi(valore) > 0 ? std::atoi(valore) : kGiriPredefiniti;
}

// Packages of a megabyte that does not compress, so that a kill often falls
// inside a transfer or a write; offered again after they were recorded,
// since every run fetches them all.
std::string Catalogo() {
  std::string pacchetti;
  for (int codice = 1; codice <= kPacchetti; ++codice) {
    const std::string n = std::to_string(codice);
    pacchetti += std::string(codice > 1 ? ", " : "") + R"({ "codice": )" + n +
                 R"(, "dataxx": "2008-0)" + n + R"(-01T10:00:00", "progra": "TARVIK", )" +
                 R"("TipoXx": "TARVIK", "Filexx": "Pacchetto )" + n + R"(", "contenuto": { ")" + n +
                 R"(.bin": { "casuali": 1000000 } }, "clienti": ["ROSSI"], "ripeti": true })";
  }
  return R"({ "clienti": [ { "userid": "ROSSI", "abilitato": "S" } ], "pacchetti": [ )" +
         pacchetti + " ] }";
}

std::string Nome(int codice) {
  return "TARVIK-2008-0" + std::to_string(codice) + "-01-10-00-00-C-" + std::to_string(codice) +
         ".zip";
}

// Whether the local store opens and reads whole; it is then set so that the
// next start checks for updates at once.
bool ArchivioIntegro(const fs::path& file) {
  sqlite3* db = nullptr;
  bool integro = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
  sqlite3_stmt* st = nullptr;
  integro = integro &&
            sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr) == SQLITE_OK &&
            sqlite3_step(st) == SQLITE_ROW &&
            std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0))) == "ok";
  sqlite3_finalize(st);
  integro = integro && sqlite3_exec(db, "UPDATE AGGIOR SET ultima = ''", nullptr, nullptr,
                                    nullptr) == SQLITE_OK;
  sqlite3_close(db);
  return integro;
}

class InterruzioniTervan : public ::testing::Test {
 protected:
  void SetUp() override {
    aggiornamenti_ = dati_.tarvik / "Aggiornamenti";
    fs::create_directories(aggiornamenti_);
    for (int codice = 1; codice <= kPacchetti; ++codice) {
      nuovi_.emplace(codice, LeggiFile(servizio_.FilePacchetto("Aggiornamento0000" +
                                                               std::to_string(codice) + ".zip")));
    }
  }

  // Packages 1 and 3 have an earlier file; 2 has none.
  [[nodiscard]] static std::optional<std::string> Precedente(int codice) {
    if (codice == 2) return std::nullopt;
    return "versione precedente di " + std::to_string(codice);
  }
  void Ripristina() const {
    for (int codice = 1; codice <= kPacchetti; ++codice) {
      fs::remove(aggiornamenti_ / Nome(codice));
      if (Precedente(codice)) ScriviFile(aggiornamenti_ / Nome(codice), *Precedente(codice));
    }
  }

  std::unique_ptr<Processo> Avvia(const std::string& server) {
    return tervan_.Avvia({"VERIFICA"}, {{"ORVANE_UPDATE_SERVER", server},
                                        {"ORVANE_WEB_SITE", server},
                                        {"TERVAN_INTERVALLO_RICERCA_MS", "100"}});
  }

  // Whether every package is the new one and no temporary file is left.
  [[nodiscard]] bool Completo() const {
    for (int codice = 1; codice <= kPacchetti; ++codice) {
      if (LeggiFile(aggiornamenti_ / Nome(codice)) != nuovi_.at(codice)) return false;
    }
    return Temporanei() == 0;
  }
  [[nodiscard]] std::size_t Temporanei() const {
    std::size_t n = 0;
    for (const auto& voce : fs::directory_iterator(aggiornamenti_))
      n += voce.path().filename().string().starts_with(".") ? 1U : 0U;
    return n;
  }

  // A run to its end: the time until every package was in place.
  std::optional<std::chrono::steady_clock::duration> Completa() {
    const auto inizio = std::chrono::steady_clock::now();
    auto tervan = Avvia(servizio_.Server());
    while (!Completo()) {
      if (std::chrono::steady_clock::now() - inizio > 60s || !tervan->InEsecuzione())
        return std::nullopt;
      std::this_thread::sleep_for(10ms);
    }
    const auto durata = std::chrono::steady_clock::now() - inizio;
    tervan->Termina(SIGTERM);
    return durata;
  }

  // What is damaged after a kill: package files that are neither the
  // earlier nor the new one, registry files that do not read whole, a
  // store that does not open.
  [[nodiscard]] std::vector<std::string> Danneggiati() const {
    std::vector<std::string> danni;
    for (int codice = 1; codice <= kPacchetti; ++codice) {
      const fs::path file = aggiornamenti_ / Nome(codice);
      const bool presente = fs::exists(file);
      const std::string byte = LeggiFile(file);
      if (presente ? byte != nuovi_.at(codice) && byte != Precedente(codice)
                   : Precedente(codice).has_value())
        danni.push_back(file.filename().string());
    }
    for (const auto& voce : fs::directory_iterator(macchina_.Registro())) {
      if (voce.path().extension() != ".reg") continue;
      const auto f = platform::AnalizzaFileRegistro(LeggiFile(voce.path()));
      if (!f.riconosciuto || f.numeroProblemi != 0) danni.push_back(voce.path().filename());
    }
    if (!ArchivioIntegro(tervan_.Cartella() / "Tervan.mdb")) danni.emplace_back("Tervan.mdb");
    return danni;
  }

  ServizioFiglio servizio_{Catalogo()};
  MacchinaFinta macchina_;
  // The three programs installed, the management program with packages.
  TervanFiglio tervan_{macchina_.Percorso() / "programma"};
  CartelleDati dati_ = InstallaProgrammi("ROSSI");
  fs::path aggiornamenti_;
  std::map<int, std::string> nuovi_;
};

TEST_F(InterruzioniTervan, ATervanKilledDuringItsDownloadsLeavesEveryFileOldOrWholeAndNew) {
  // Kills fall anywhere from the start to a little past the time a whole
  // run takes (the longer of two: the first start also registers the
  // components).
  std::chrono::steady_clock::duration misura{};
  for (int prova = 1; prova <= 2; ++prova) {
    Ripristina();
    const auto durata = Completa();
    ASSERT_TRUE(durata) << tervan_.Errori(prova);
    misura = std::max(misura, *durata);
    ASSERT_TRUE(ArchivioIntegro(tervan_.Cartella() / "Tervan.mdb"));
  }
  const auto finestra = std::chrono::duration_cast<std::chrono::milliseconds>(misura * 5 / 4);
  const unsigned seme = std::random_device{}();
  std::mt19937 caso(seme);
  std::uniform_int_distribution<long long> attesa(0, finestra.count());
  const int giri = Giri();
  int danneggiati = 0;
  int dopoIlPrimo = 0;
  int inScrittura = 0;
  for (int giro = 0; giro < giri; ++giro) {
    SCOPED_TRACE("giro " + std::to_string(giro) + ", seme " + std::to_string(seme));
    Ripristina();
    {
      auto tervan = Avvia(servizio_.Server());
      std::this_thread::sleep_for(std::chrono::milliseconds(attesa(caso)));
      tervan->Termina(SIGKILL);
    }
    for (const std::string& danno : Danneggiati()) {
      ++danneggiati;
      ADD_FAILURE() << "danneggiato: " << danno;
    }
    // How many kills fell after the first package had arrived, and how
    // many inside a write.
    dopoIlPrimo += LeggiFile(aggiornamenti_ / Nome(1)) == nuovi_.at(1) ? 1 : 0;
    inScrittura += Temporanei() > 0 ? 1 : 0;
  }
  std::cout << "[ interruzioni ] " << giri << " interruzioni di Tervan (" << dopoIlPrimo
            << " dopo il primo pacchetto, " << inScrittura << " durante una scrittura), "
            << danneggiati << " file danneggiati\n";
  EXPECT_EQ(danneggiati, 0);
  // The next run completes every package and removes the killed runs'
  // temporary files.
  Ripristina();
  EXPECT_TRUE(Completa());
  EXPECT_EQ(Temporanei(), 0U);
}

// The desktop session ends while the service never answers: Tervan gives
// the exchange up and ends at once, and says on standard error where it was
// waiting and why it stopped.
TEST_F(InterruzioniTervan, SigtermWhileTheServiceNeverAnswersEndsTervanAtOnce) {
  std::atomic<int> richieste = 0;
  ServerOstile muto;
  muto.Imposta([&](int s) {
    ++richieste;
    return ServerOstile::Muto()(s);
  });
  const std::string server = muto.Url("");
  auto tervan = Avvia(server);
  const auto limite = std::chrono::steady_clock::now() + 60s;
  while (richieste == 0 && tervan->InEsecuzione() && std::chrono::steady_clock::now() < limite)
    std::this_thread::sleep_for(10ms);
  ASSERT_GT(richieste, 0) << tervan_.Errori(1);

  const auto inizio = std::chrono::steady_clock::now();
  EXPECT_EQ(tervan->Termina(SIGTERM), 0) << tervan_.Errori(1);
  EXPECT_LT(std::chrono::steady_clock::now() - inizio, 5s);
  EXPECT_NE(tervan_.Errori(1).find(server), std::string::npos) << tervan_.Errori(1);
}

}  // namespace
}  // namespace orvane::test::ostile
