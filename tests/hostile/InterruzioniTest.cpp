// Writers killed at any moment or starved. The registry store and the error
// log when their writer is killed or the disk is full; Tervan started at
// log-on and killed (SIGKILL) at random moments of its start and its download
// run, or ended (SIGTERM) while a server stalls. Every file is the old one or
// the whole new one, the registry files and the local store stay readable, a
// failure to write is reported, never half done, and the next run completes
// and clears what the killed ones left.

#include <gmock/gmock.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "DiscoPieno.h"
#include "ProvaOstile.h"
#include "platform/RegistroFormato.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/ServerDiProva.h"
#include "tests/support/ServizioFiglio.h"
#include "tests/support/TervanFiglio.h"

namespace orvane::test::ostile {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::AllOf;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

// The temporary files a killed writer may leave beside its files in `cartella`.
std::size_t Temporanei(const fs::path& cartella, const std::string& prefisso = ".") {
  const auto nomi = NomiInCartella(cartella);
  return static_cast<std::size_t>(
      std::ranges::count_if(nomi, [&](const std::string& n) { return n.starts_with(prefisso); }));
}

constexpr int kInterruzioni = 200;
const std::string kFileRadice = "HKEY_CURRENT_USER.reg";
const std::string kPrefissoTemporanei = "." + kFileRadice + ".";

// The value Contatore of the store's file ("" when it has none yet), when
// the file reads whole with the large value beside it intact.
std::optional<std::string> Contatore(const fs::path& cartella) {
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
long long UltimoScritto(const fs::path& uscita, long long altrimenti) {
  std::istringstream righe(LeggiFile(uscita));
  long long ultimo = altrimenti;
  for (std::string r; std::getline(righe, r);) {
    if (!righe.eof()) ultimo = std::stoll(r);
  }
  return ultimo;
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
    fs::create_directory(cartellaUscita);
    {
      Processo scrittore(SCRIVI_OSTILE, {"registro", std::to_string(ultimo + 1)}, ambiente,
                         cartellaUscita);
      std::this_thread::sleep_for(std::chrono::milliseconds(attesa(caso)));
      scrittore.Termina(SIGKILL);
    }
    const long long scritto = UltimoScritto(cartellaUscita / "stdout", ultimo);
    const auto valore = fs::exists(registro.Percorso() / kFileRadice)
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
  EXPECT_EQ(Temporanei(registro.Percorso(), kPrefissoTemporanei), 0U);
  // A write the disk does not confirm fails and keeps the file whole.
  auto guasto = ambiente;
  Precarica(guasto, FSYNC_EIO);
  EXPECT_EQ(Esegui(SCRIVI_OSTILE, {"uno", "nuovo"}, guasto).codice, 1);
  EXPECT_EQ(Contatore(registro.Percorso()), "fine");
  EXPECT_EQ(Temporanei(registro.Percorso(), kPrefissoTemporanei), 0U);
  // Where the random source can be foreseen, a link planted at the writer's
  // temporary name makes the write fail: it is never written through, and
  // the link's target keeps its bytes.
  const fs::path bersaglio = uscite.Percorso() / "bersaglio";
  ScriviFile(bersaglio, "altrui");
  fs::create_symlink(bersaglio, registro.Percorso() / (kPrefissoTemporanei + "AAAAAA"));
  auto prevedibile = ambiente;
  Precarica(prevedibile, CASO_ZERO);
  EXPECT_EQ(Esegui(SCRIVI_OSTILE, {"uno", "nuovo"}, prevedibile).codice, 1);
  EXPECT_EQ(LeggiFile(bersaglio), "altrui");
  EXPECT_EQ(Contatore(registro.Percorso()), "fine");
  // Nor is one whose rename the disk does not keep with the folder: the
  // next power cut may take it back.
  guasto["FSYNC_EIO_CARTELLA"] = registro.Percorso();
  EXPECT_EQ(Esegui(SCRIVI_OSTILE, {"uno", "incerto"}, guasto).codice, 1);
  EXPECT_THAT(Contatore(registro.Percorso()),
              ::testing::Optional(::testing::AnyOf("fine", "incerto")));
}

TEST(DiscoPienoTest, ARegistryOrLogWriteFailsWholeAndKeepsTheOldFile) {
  // A small file system of its own that the test fills up.
  const CartellaTemporanea cartella;
  const fs::path& radice = cartella.Percorso();
  const DiscoPieno disco(radice);
  if (!disco.Motivo().empty()) GTEST_SKIP() << disco.Motivo();
  const std::map<std::string, std::string> ambiente{{"ORVANE_REGISTRY", radice},
                                                    {"XDG_CONFIG_HOME", radice}};
  ASSERT_EQ(Esegui(SCRIVI_OSTILE, {"uno", "vecchio"}, ambiente).codice, 0);
  const std::string prima = LeggiFile(radice / kFileRadice);
  const auto programma = radice / "scrivi_ostile";
  fs::copy_file(SCRIVI_OSTILE, programma);
  // A folder of the program's own user alone, so the log is kept beside it
  // (a new tmpfs is open to everyone).
  fs::permissions(radice, fs::perms(0755));
  // An earlier log whose last page has room for less than one record.
  const std::string precedente(4096 - 100, 'p');
  { std::ofstream(radice / "Tarvik.Log", std::ios::binary) << precedente; }
  disco.Riempi();

  EXPECT_EQ(Esegui(SCRIVI_OSTILE, {"uno", std::string(64 * 1024, 'n')}, ambiente).codice, 1);
  EXPECT_EQ(LeggiFile(radice / kFileRadice), prima);
  EXPECT_EQ(Temporanei(radice, kPrefissoTemporanei), 0U);

  const Esito e = Esegui(programma, {"DEBUG"});
  EXPECT_EQ(e.codice, 0);
  EXPECT_THAT(e.err, AllOf(HasSubstr("impossibile scrivere"), HasSubstr(std::strerror(ENOSPC)),
                           HasSubstr(" Descrizione     : Disco pieno\r\n")));
  // Nothing of the record reached the log.
  EXPECT_EQ(LeggiFile(radice / "Tarvik.Log"), precedente);
}

constexpr int kPacchetti = 3;

// Whether the local store opens and reads whole; it is then set so that the
// next start checks for updates at once.
bool ArchivioIntegro(const fs::path& file) {
  if (RigheSql(file, "PRAGMA integrity_check") != std::vector<std::string>{"ok"} ||
      RigheSql(file, "SELECT count(*) FROM AGGIOR").empty())
    return false;
  (void)RigheSql(file, "UPDATE AGGIOR SET ultima = ''");
  return true;
}

class InterruzioniTervan : public ::testing::Test {
 protected:
  void SetUp() override {
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

  static std::map<std::string, std::string> Ambiente(const std::string& server) {
    return {{"ORVANE_UPDATE_SERVER", server},
            {"ORVANE_WEB_SITE", server},
            {"TERVAN_INTERVALLO_RICERCA_MS", "100"}};
  }
  std::unique_ptr<Processo> Avvia(const std::string& server) {
    return tervan_.Avvia({"VERIFICA"}, Ambiente(server));
  }

  // A run with `libreria` preloaded and `variabile` set to `valore` in its
  // environment, ended once it has logged a failure or recorded a package
  // (or ended by itself); the log's path.
  fs::path FinoAlPrimoEsito(const fs::path& libreria, const std::string& variabile,
                            const std::string& valore) {
    std::map<std::string, std::string> ambiente = Ambiente(servizio_.Server());
    ambiente[variabile] = valore;
    Precarica(ambiente, libreria);
    auto tervan = tervan_.Avvia({"VERIFICA"}, ambiente);
    const fs::path log = tervan_.Cartella() / "Tarvik.Log";
    const auto limite = std::chrono::steady_clock::now() + 60s;
    while (!fs::exists(log) && servizio_.Registrati().empty() && tervan->InEsecuzione() &&
           std::chrono::steady_clock::now() < limite)
      std::this_thread::sleep_for(10ms);
    tervan->Termina(SIGTERM);
    return log;
  }

  // A package's file, std::nullopt when there is none.
  [[nodiscard]] std::optional<std::string> Attuale(int codice) const {
    const fs::path file = aggiornamenti_ / Nome(codice);
    return fs::exists(file) ? std::optional(LeggiFile(file)) : std::nullopt;
  }
  // A run to its end: the time until every package was the new one and no
  // temporary file was left.
  std::optional<std::chrono::steady_clock::duration> Completa() {
    const auto inizio = std::chrono::steady_clock::now();
    auto tervan = Avvia(servizio_.Server());
    const auto completo = [&] {
      return Temporanei(aggiornamenti_) == 0 && std::ranges::all_of(nuovi_, [&](const auto& n) {
               return Attuale(n.first) == n.second;
             });
    };
    while (!completo()) {
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
      if (Attuale(codice) != nuovi_.at(codice) && Attuale(codice) != Precedente(codice))
        danni.push_back(Nome(codice));
    }
    for (const auto& voce : fs::directory_iterator(macchina_.Registro())) {
      if (voce.path().extension() != ".reg") continue;
      const auto f = platform::AnalizzaFileRegistro(LeggiFile(voce.path()));
      if (!f.riconosciuto || f.numeroProblemi != 0) danni.push_back(voce.path().filename());
    }
    if (!ArchivioIntegro(tervan_.Cartella() / "Tervan.mdb")) danni.emplace_back("Tervan.mdb");
    return danni;
  }

  // Packages of a megabyte, so that a kill often falls inside a transfer or
  // a write, offered again since every run fetches them all.
  ServizioFiglio servizio_{Catalogo(1000000, true)};
  MacchinaFinta macchina_;
  // The three programs installed, the management program with packages.
  TervanFiglio tervan_{macchina_.Percorso() / "programma"};
  CartelleDati dati_ = InstallaProgrammi("ROSSI");
  fs::path aggiornamenti_ = dati_.tarvik / "Aggiornamenti";
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
  // Ten rounds in the ordinary suite; the reliability figures ask for more.
  const char* richiesti = std::getenv("ORVANE_INTERRUZIONI_TERVAN");
  const int giri = richiesti != nullptr && std::atoi(richiesti) > 0 ? std::atoi(richiesti) : 10;
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
    dopoIlPrimo += Attuale(1) == nuovi_.at(1) ? 1 : 0;
    inScrittura += Temporanei(aggiornamenti_) > 0 ? 1 : 0;
  }
  std::cout << "[ interruzioni ] " << giri << " interruzioni di Tervan (" << dopoIlPrimo
            << " dopo il primo pacchetto, " << inScrittura << " durante una scrittura), "
            << danneggiati << " file danneggiati\n";
  EXPECT_EQ(danneggiati, 0);
  // The next run completes every package and removes the killed runs'
  // temporary files.
  Ripristina();
  EXPECT_TRUE(Completa());
}

// The "Aggiornamenti" folder a run makes is kept by the disk before a package
// placed in it is recorded: otherwise the next power cut may take the
// folder, and the package with it, from a machine the service counts as
// served. A data folder that cannot be flushed gets nothing placed or recorded.
TEST_F(InterruzioniTervan, AFolderMadeForThePackagesIsFlushedBeforeAnyPackageIsRecorded) {
  fs::remove_all(aggiornamenti_);
  const fs::path log = FinoAlPrimoEsito(FSYNC_EIO, "FSYNC_EIO_CARTELLA", dati_.tarvik.string());
  EXPECT_THAT(servizio_.Registrati(), IsEmpty());
  EXPECT_FALSE(fs::exists(aggiornamenti_));
  ASSERT_TRUE(fs::exists(log)) << tervan_.Errori(1);
  EXPECT_THAT(LeggiFile(log), HasSubstr("Aggiornamenti"));
}

// Someone who may write the "Aggiornamenti" folder exchanges a verified
// package's temporary file for one of theirs while it is renamed into
// place: their file stands under the package's name, but it is neither
// recorded nor counted as delivered.
TEST_F(InterruzioniTervan, AFileExchangedForAPackageAsItIsPlacedIsNotRecorded) {
  const fs::path altrui = aggiornamenti_ / "altrui.zip";
  ScriviFile(altrui, "non firmato");
  const fs::path log = FinoAlPrimoEsito(SCAMBIO_RINOMINA, "SCAMBIO_CON", altrui.string());
  EXPECT_THAT(servizio_.Registrati(), IsEmpty());
  ASSERT_TRUE(fs::exists(log)) << tervan_.Errori(1);
  // The exchange took place: the package is under their name.
  EXPECT_TRUE(
      std::ranges::any_of(nuovi_, [&](const auto& n) { return n.second == LeggiFile(altrui); }));
}

// The desktop session ends (or Ctrl+C is pressed) while the server stalls: the service never
// answers, or a package arrives a few bytes at a time (the rest of the
// service passing through). Tervan gives the exchange up and ends at once,
// leaving the earlier files as they were, nothing temporary, recorded or
// logged, and its store whole.
TEST_F(InterruzioniTervan, AnEndSignalWhileTheServerStallsEndsTervanAtOnceLeavingNothingHalfDone) {
  std::atomic<int> richieste = 0;
  ServerOstile muto;
  muto.Imposta([&](int s) {
    ++richieste;
    return ServerOstile::Muto()(s);
  });
  std::atomic<int> blocchi = 0;
  ServerHttp lento;
  lento.Server().Get(R"(/ServizioAggiornamenti/download/(.+))", [&](const auto& q, auto& r) {
    auto corpo =
        std::make_shared<std::string>(LeggiFile(servizio_.FilePacchetto(q.matches[1].str())));
    r.set_content_provider(corpo->size(), "application/zip", [&, corpo](auto da, auto, auto& sink) {
      std::this_thread::sleep_for(100ms);
      ++blocchi;
      return sink.write(corpo->data() + da, std::min<std::size_t>(8, corpo->size() - da));
    });
  });
  lento.Server().Post(R"(/.*)", [&](const httplib::Request& q, httplib::Response& r) {
    const auto risposta = httplib::Client(servizio_.Server())
                              .Post(q.path, {{"SOAPAction", q.get_header_value("SOAPAction")}},
                                    q.body, q.get_header_value("Content-Type"));
    r.status = risposta ? risposta->status : 502;
    if (risposta) r.set_content(risposta->body, risposta->get_header_value("Content-Type"));
  });
  lento.Avvia();
  // The server, when it stalls, whether Tervan names it as where it was
  // waiting (the exchange with the service does), and the signal: the
  // session's end, or Ctrl+C in the terminal Tervan was started from.
  const std::vector<std::tuple<std::string, std::function<bool()>, bool, int>> casi{
      {muto.Url(""), [&] { return richieste > 0; }, true, SIGTERM},
      {lento.Url(""), [&] { return blocchi >= 3; }, false, SIGINT}};
  int avvio = 0;
  for (const auto& [server, inStallo, detto, segnale] : casi) {
    SCOPED_TRACE(server);
    Ripristina();
    auto tervan = Avvia(server);
    ++avvio;
    const auto limite = std::chrono::steady_clock::now() + 60s;
    while (!inStallo() && tervan->InEsecuzione() && std::chrono::steady_clock::now() < limite)
      std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(inStallo()) << tervan_.Errori(avvio);

    const auto inizio = std::chrono::steady_clock::now();
    EXPECT_EQ(tervan->Termina(segnale), 0) << tervan_.Errori(avvio);
    EXPECT_LT(std::chrono::steady_clock::now() - inizio, 5s);
    if (detto) {
      EXPECT_THAT(tervan_.Errori(avvio), HasSubstr(server));
    }
    for (int codice = 1; codice <= kPacchetti; ++codice)
      EXPECT_EQ(Attuale(codice), Precedente(codice)) << codice;
    EXPECT_EQ(Temporanei(aggiornamenti_), 0U);
    EXPECT_THAT(servizio_.Registrati(), IsEmpty());
    EXPECT_FALSE(fs::exists(tervan_.Cartella() / "Tarvik.Log"));
    EXPECT_TRUE(ArchivioIntegro(tervan_.Cartella() / "Tervan.mdb"));
  }
}

}  // namespace
}  // namespace orvane::test::ostile
