// Tervan's download run against a download server that misbehaves and a
// service that lists dangerous names: a package that is not whole, or whose
// name would leave its folder, stops the run with the failure logged; the
// packages before it stay placed and recorded, nothing of it or after it is
// written or recorded, and the earlier files stay as they were.

#include <gmock/gmock.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../updater/BancoFinestra.h"
#include "DiscoPieno.h"
#include "ProvaOstile.h"
#include "platform/Percorsi.h"
#include "tests/support/AltroUtente.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/ServizioFiglio.h"
#include "updater/ScaricamentoAggiornamenti.h"

namespace orvane::test::ostile {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tervan::ElencoAggiornamenti;
using tervan::ScaricamentoAggiornamenti;
using tervan::test::Contenuto;
using ::testing::AllOf;
using ::testing::ElementsAreArray;
using ::testing::HasSubstr;
using ::testing::StartsWith;

constexpr const char* kDatiTarvik = R"(C:\ORVANE\TARVIK\DATI)";
// The package each case spoils; 1 comes before it and 3 after it.
constexpr int kVittima = 2;
const std::string kFuga = "orvane-fuga-" + std::to_string(::getpid());

// What the server sends for the spoiled package, made from the whole one.
using Guasto = std::function<std::string(const std::string& pacchetto)>;

std::string Risposta(int stato, std::string_view tipo, const std::string& corpo) {
  return Testa(stato, tipo, static_cast<long long>(corpo.size())) + "\r\n" + corpo;
}

// A zip of what `corpo` makes of the package, with its length declared.
Guasto Zip(std::function<std::string(std::string)> corpo) {
  return [corpo](const std::string& p) { return Risposta(200, "application/zip", corpo(p)); };
}

struct CasoTervan {
  const char* nome;
  std::string tipo = "TARVIK";  // the spoiled package's type, as JSON
  Guasto guasto = {};           // none: the package is served whole
  std::vector<int> posati = {1};
  bool servizioCade = false;
  bool discoPieno = false;
  // Cells of the spoiled package's row set straight in the list, by column:
  // a type that XML cannot carry, a size that is not the real one.
  std::map<int, std::string> celle = {};
  // The spoiled package's description as JSON, and the placed one's type.
  std::string filexx = "Pacchetto 2";
  std::string tipoPosato = "TARVIK";
  // What the log must say of a package that is not placed.
  std::string motivo = {};
};

void PrintTo(const CasoTervan& c, std::ostream* os) {
  *os << c.nome;
}

const std::vector<int> kTutti{1, 2, 3};
const std::string kTipoLungo(222, 'T');

const std::vector<CasoTervan> kCasiTervan{
    {.nome = "Intero", .posati = kTutti},
    {.nome = "Troncato",
     .guasto =
         [](const std::string& p) {
           return Testa(200, "application/zip", static_cast<long long>(p.size())) + "\r\n" +
                  p.substr(0, p.size() / 2);
         }},
    // The status alone tells a failure that brings the package's very bytes.
    {.nome = "Errore500ColPacchetto",
     .guasto = [](auto& p) { return Risposta(500, "application/zip", p); },
     .motivo = "HTTP 500"},
    {.nome = "PaginaHtmlDellaDimensioneAnnunciata",
     .guasto = Zip([](auto p) { return "<html>" + std::string(p.size() - 13, ' ') + "</html>"; })},
    {.nome = "PiuGrandeDelAnnunciato", .guasto = Zip([](auto p) { return p + "coda"; })},
    {.nome = "PiuPiccoloDelAnnunciato",
     .guasto = Zip([](auto p) { return p.substr(0, p.size() - 100); })},
    // Whole and sound, but not the size the list gives.
    {.nome = "ZipIntegroPiuPiccoloDelAnnunciato",
     .celle = {{ElencoAggiornamenti::kByte, "99999"}},
     .motivo = "byte invece di"},
    // Sizes no download can bring: refused before the fetch, named.
    {.nome = "DimensioneOltreIlLimite",
     .celle = {{ElencoAggiornamenti::kByte, "4294967296"}},
     .motivo =
         "Aggiornamento00002.zip: dimensione annunciata di 4294967296 byte, fuori dai limiti"},
    {.nome = "DimensioneNegativa",
     .celle = {{ElencoAggiornamenti::kByte, "-5"}},
     .motivo = "dimensione annunciata di -5 byte, fuori dai limiti"},
    // Only its end record, 22 bytes as the list says: no entry.
    {.nome = "ZipVuotoDellaDimensioneAnnunciata",
     .guasto = Zip([](auto) { return "PK\x05\x06" + std::string(18, '\0'); }),
     .celle = {{ElencoAggiornamenti::kByte, "22"}},
     .motivo = "non è un archivio zip integro"},
    // The first name in the central directory changed: every byte count
    // still agrees, the directory no longer matches its entry.
    {.nome = "DirectoryCentraleIncoerente", .guasto = Zip([](std::string z) {
                                              z[z.rfind(std::string("PK\x01\x02", 4)) + 46] ^= 0x20;
                                              return z;
                                            })},
    // The CRC of the first entry changed alike in the local header and the
    // central directory: the archive is consistent, its data fails the check.
    {.nome = "DatiCheFallisconoIlCrc", .guasto = Zip([](std::string z) {
                                         z[z.find(std::string("PK\x03\x04", 4)) + 14] ^= 0x01;
                                         z[z.rfind(std::string("PK\x01\x02", 4)) + 16] ^= 0x01;
                                         return z;
                                       })},
    {.nome = "TipoCheEsceDallaMacchina", .tipo = "../../../../../../../../../../tmp/" + kFuga},
    {.nome = "TipoConBarra", .tipo = "a/b"},
    {.nome = "TipoConBarraRovescia", .tipo = R"(a\\b)"},
    {.nome = "TipoPuntoPunto", .tipo = ".."},
    {.nome = "TipoConNul", .celle = {{ElencoAggiornamenti::kTipo, {"x\0y", 3}}}},
    {.nome = "TipoConCarattereDiControllo",
     .tipo = R"(x\u001by)",
     .motivo = R"(Nome di pacchetto non valido: x\x1by)"},
    // The refused name cannot forge a record of its own in the log.
    {.nome = "TipoConACapo",
     .tipo = R"(x\r\n--------\r\n Descrizione     : y)",
     .motivo = R"(non valido: x\x0d\x0a--------\x0d\x0a Descrizione     : y)"},
    {.nome = "TipoCheRiempieIlNome",
     .tipo = kTipoLungo,
     .posati = kTutti,
     .tipoPosato = kTipoLungo},
    {.nome = "TipoCheSuperaIlNome", .tipo = std::string(228, 'T'), .motivo = "troppo lungo"},
    {.nome = "DescrizioneConCarattereDiControllo",
     .posati = kTutti,
     .filexx = R"(Pacchetto\u00012)"},
    {.nome = "ServizioCadutoTraElencoEDownload", .posati = {}, .servizioCade = true},
    // The data folder's own small file system, full: the first package finds
    // no room.
    {.nome = "DiscoPieno", .posati = {}, .discoPieno = true, .motivo = "Disco pieno"},
};

// The regular files below `cartella` outside the "Aggiornamenti" folders
// and the program folder.
std::set<std::string> FuoriDaiPacchetti(const fs::path& cartella) {
  std::set<std::string> file;
  for (auto i = fs::recursive_directory_iterator(cartella); i != fs::recursive_directory_iterator();
       ++i) {
    const std::string nome = i->path().filename().string();
    if (i->is_directory() && (nome == "Aggiornamenti" || nome == "programma")) {
      i.disable_recursion_pending();
    } else if (!i->is_directory()) {
      file.insert(fs::relative(i->path(), cartella).string());
    }
  }
  return file;
}

// The update list of a fake machine filled from the reference service; the
// download run then fetches from a hostile server that serves the packages
// whole, or spoils one, while the records still go to the service.
class ScaricamentoTervanOstile : public ProvaOstile {
 protected:
  static constexpr const char* kSomigliante = ".TARVIK-2006-01-01-C-8.zip.Zz9Yy8";
  void Prepara(const std::string& tipo, const std::string& filexx = "Pacchetto 2") {
    servizio_ = std::make_unique<ServizioFiglio>(Catalogo(20000, false, tipo, filexx));
    banco_ = std::make_unique<tervan::test::BancoFinestra>();
    scarica_ = std::make_unique<ScaricamentoAggiornamenti>(banco_->stato, banco_->controlli,
                                                           banco_->elenco);
    banco_->macchina.Imposta("ORVANE_UPDATE_SERVER", servizio_->Server());
    dati_ = platform::PercorsoLocale(kDatiTarvik);
    aggiornamenti_ = dati_ / "Aggiornamenti";
    fs::create_directories(aggiornamenti_);
    // Earlier files: the previous download of package 3, an older package,
    // what runs killed while they wrote package 1 and a package no longer
    // listed left, and someone's hidden file that only looks alike.
    ScriviFile(aggiornamenti_ / Nome(3), "versione precedente di 3");
    ScriviFile(aggiornamenti_ / ("." + Nome(1) + ".a1B2c3"), "mezzo pacchetto");
    ScriviFile(aggiornamenti_ / ".TARVIK-2006-01-01-10-00-00-C-8.zip.Zz9Yy8", "mezzo pacchetto");
    ScriviFile(aggiornamenti_ / kSomigliante, "appunti");
    ScriviFile(aggiornamenti_ / "TARVIK-2007-01-01-10-00-00-C-9.zip", "pacchetto 9");
    banco_->Programma("TARVIK", "ROSSI", "00:00:30", "", kDatiTarvik);
    banco_->finestra.show();
    banco_->ciclo.Command_F4_Click();
  }

  // Serves every package whole from the service's files, and `guasto`'s
  // answer for the spoiled one.
  void Servi(const Guasto& guasto) {
    Server().Imposta([this, guasto](int s) {
      const std::string richiesta = ServerGrezzo::LeggiRichiesta(s);
      const auto inizio = richiesta.find("Aggiornamento");
      const std::string nome = inizio == std::string::npos
                                   ? ""
                                   : richiesta.substr(inizio, richiesta.find(' ', inizio) - inizio);
      // A request for no package (a connection closed unasked) has none.
      if (nome.empty()) return true;
      const std::string pacchetto = LeggiFile(servizio_->FilePacchetto(nome));
      const bool vittima = nome == ScaricamentoAggiornamenti::NomeDownload(kVittima);
      ServerGrezzo::Scrivi(
          s, vittima && guasto ? guasto(pacchetto) : Risposta(200, "application/zip", pacchetto));
      return true;
    });
  }

  // The run of every listed package, with the downloads (not the records)
  // going to `server`, and the time it took.
  std::chrono::steady_clock::duration Scarica(const std::string& server,
                                              const std::function<void()>& prima = {}) {
    banco_->ciclo.ImpostaScaricamento([&] {
      banco_->macchina.Imposta("ORVANE_UPDATE_SERVER", server);
      if (prima) prima();
      scarica_->ConnessioneAggiornamenti();
    });
    const auto inizio = std::chrono::steady_clock::now();
    banco_->ciclo.ConnessioneAggiornamenti("", tervan::ModoConnessione::Scaricamento);
    return std::chrono::steady_clock::now() - inizio;
  }

  // Gives the data folder a small file system of its own, with the earlier
  // files on it, and fills it up; false when there is none to be had.
  bool RiempiDisco() {
    const CartellaTemporanea salvati;
    fs::copy(dati_, salvati.Percorso(), fs::copy_options::recursive);
    disco_ = std::make_unique<DiscoPieno>(dati_);
    if (!disco_->Motivo().empty()) return false;
    fs::copy(salvati.Percorso(), dati_, fs::copy_options::recursive);
    disco_->Riempi();
    return true;
  }

  // Once a temporary file of package `codice` is in "Aggiornamenti", moves
  // `cartella` aside (to its name and ".vecchi") and puts a link to
  // `altrove` in its place, for as long as the object returned lives.
  std::unique_ptr<QObject> SpostaDuranteIlDownload(int codice, const fs::path& cartella,
                                                   const fs::path& altrove) {
    auto contesto = std::make_unique<QObject>();
    const fs::path spostata = cartella.string() + ".vecchi";
    const std::string temporaneo = "." + Nome(codice) + ".";
    QObject::connect(&banco_->controlli.vbalProg, &QProgressBar::valueChanged, contesto.get(),
                     [=, this] {
                       if (fs::exists(spostata) || !fs::is_directory(aggiornamenti_)) return;
                       for (const auto& voce : fs::directory_iterator(aggiornamenti_)) {
                         if (!voce.path().filename().string().starts_with(temporaneo)) continue;
                         fs::rename(cartella, spostata);
                         fs::create_directory_symlink(altrove, cartella);
                         return;
                       }
                     });
    return contesto;
  }

  std::unique_ptr<ServizioFiglio> servizio_;
  std::unique_ptr<tervan::test::BancoFinestra> banco_;
  std::unique_ptr<ScaricamentoAggiornamenti> scarica_;
  fs::path dati_;
  fs::path aggiornamenti_;
  std::unique_ptr<DiscoPieno> disco_;
};

class ScaricamentoTervanOstileTest : public ScaricamentoTervanOstile,
                                     public ::testing::WithParamInterface<CasoTervan> {};

TEST_P(ScaricamentoTervanOstileTest, StopsAtTheSpoiledPackageAndLeavesOnlyWholeFiles) {
  const CasoTervan& c = GetParam();
  Prepara(c.tipo, c.filexx);
  ASSERT_EQ(banco_->Elencati(), (std::vector<std::string>{"1/TARVIK", "2/TARVIK", "3/TARVIK"}));
  for (const auto& [colonna, testo] : c.celle) {
    banco_->grdAggior.item(2, colonna - 1)
        ->setText(QString::fromUtf8(testo.data(), static_cast<qsizetype>(testo.size())));
  }
  std::map<int, std::string> pacchetti;
  for (const int codice : kTutti)
    pacchetti[codice] =
        LeggiFile(servizio_->FilePacchetto(ScaricamentoAggiornamenti::NomeDownload(codice)));
  if (c.discoPieno && !RiempiDisco()) GTEST_SKIP() << disco_->Motivo();
  const auto fuori = FuoriDaiPacchetti(banco_->macchina.Percorso());
  const std::size_t log = orvane::test::RecordNelLog(MacchinaFinta::Log());
  Servi(c.guasto);
  const auto durata = Scarica(c.servizioCade ? servizio_->Server() : Server().Url(""), [&] {
    if (c.servizioCade) servizio_->Ferma();
  });

  EXPECT_LT(durata, 31s);
  const bool tutti = c.posati == kTutti;
  std::vector<std::string> attesi{"TARVIK-2007-01-01-10-00-00-C-9.zip", kSomigliante};
  std::vector<std::string> registrati;
  for (const int codice : c.posati) {
    const std::string nome = Nome(codice, codice == kVittima ? c.tipoPosato : "TARVIK");
    attesi.push_back(nome);
    registrati.push_back(std::to_string(codice));
    EXPECT_EQ(LeggiFile(aggiornamenti_ / nome), pacchetti[codice]) << codice;
  }
  if (!tutti) attesi.push_back(Nome(3));
  std::sort(attesi.begin(), attesi.end());
  EXPECT_THAT(Contenuto(aggiornamenti_), ElementsAreArray(attesi));
  if (!tutti) {
    EXPECT_EQ(LeggiFile(aggiornamenti_ / Nome(3)), "versione precedente di 3");
  }
  EXPECT_EQ(LeggiFile(aggiornamenti_ / "TARVIK-2007-01-01-10-00-00-C-9.zip"), "pacchetto 9");
  EXPECT_EQ(FuoriDaiPacchetti(banco_->macchina.Percorso()), fuori);
  EXPECT_FALSE(fs::exists(fs::path("/tmp") / (kFuga + "-2008-02-01-10-00-00-C-2.zip")));
  if (!c.servizioCade) {
    EXPECT_THAT(servizio_->CodiciRegistrati(), ElementsAreArray(registrati));
  }
  // A description XML cannot carry goes out with a blank in its place.
  if (tutti) {
    EXPECT_THAT(servizio_->Registrati().at(1), StartsWith("ROSSI|2|Pacchetto 2|"));
  }
  EXPECT_EQ(scarica_->CronologiaDaMostrare(), !c.posati.empty());
  EXPECT_EQ(orvane::test::RecordNelLog(MacchinaFinta::Log()), log + (tutti ? 0 : 1))
      << MacchinaFinta::Log();
  if (!tutti) {
    EXPECT_THAT(MacchinaFinta::Log(),
                AllOf(HasSubstr("CopiaAggiornamentiInServer"), HasSubstr(c.motivo)));
  }
}

INSTANTIATE_TEST_SUITE_P(Pacchetti, ScaricamentoTervanOstileTest, ::testing::ValuesIn(kCasiTervan),
                         [](const auto& caso) { return std::string(caso.param.nome); });

TEST_F(ScaricamentoTervanOstile, APackageNameOrAFolderThatIsALinkIsNeverWrittenThrough) {
  Prepara("TARVIK");
  const fs::path altrui = banco_->macchina.Percorso() / "altrui.txt";
  ScriviFile(altrui, "file di un altro utente");
  fs::create_symlink(altrui, aggiornamenti_ / Nome(1));
  Servi({});
  Scarica(Server().Url(""));
  // The link itself is replaced by the package; its target stays.
  EXPECT_EQ(LeggiFile(altrui), "file di un altro utente");
  EXPECT_FALSE(fs::is_symlink(aggiornamenti_ / Nome(1)));
  EXPECT_EQ(LeggiFile(aggiornamenti_ / Nome(1)),
            LeggiFile(servizio_->FilePacchetto(ScaricamentoAggiornamenti::NomeDownload(1))));

  // "Aggiornamenti" a link to another user's folder: nothing goes there.
  const fs::path altrove = banco_->macchina.Percorso() / "altrove";
  fs::create_directory(altrove);
  fs::remove_all(aggiornamenti_);
  fs::create_directory_symlink(altrove, aggiornamenti_);
  const std::size_t log = orvane::test::RecordNelLog(MacchinaFinta::Log());
  Scarica(Server().Url(""));
  EXPECT_THAT(Contenuto(altrove), ::testing::IsEmpty());
  EXPECT_THAT(servizio_->CodiciRegistrati(), ElementsAreArray({"1", "2", "3"}));
  EXPECT_EQ(orvane::test::RecordNelLog(MacchinaFinta::Log()), log + 1);

  // The data folder itself reached through another user's link, planted in
  // a folder others may write: nothing goes where it leads either.
  if (::geteuid() != 0) return;
  fs::remove_all(dati_);
  fs::create_directory_symlink(altrove, dati_);
  ASSERT_EQ(::lchown(dati_.c_str(), kUtenteNessuno, kUtenteNessuno), 0);
  Scarica(Server().Url(""));
  EXPECT_THAT(Contenuto(altrove), ::testing::IsEmpty());
  EXPECT_EQ(orvane::test::RecordNelLog(MacchinaFinta::Log()), log + 2);
}

// "Aggiornamenti" moved aside while a package arrives, a link to another
// folder put in its place: the package is neither placed nor recorded, in
// the folder moved away or where the link leads.
TEST_F(ScaricamentoTervanOstile, AFolderMovedAwayWhileAPackageArrivesGetsNothing) {
  Prepara("TARVIK");
  const fs::path spostata = dati_ / "Aggiornamenti.vecchi";
  const fs::path altrove = banco_->macchina.Percorso() / "altrove";
  fs::create_directory(altrove);
  const auto sposta = SpostaDuranteIlDownload(kVittima, aggiornamenti_, altrove);
  const std::size_t log = orvane::test::RecordNelLog(MacchinaFinta::Log());
  Servi({});
  Scarica(Server().Url(""));
  ASSERT_TRUE(fs::exists(spostata / Nome(1)));
  EXPECT_FALSE(fs::exists(spostata / Nome(kVittima)));
  EXPECT_THAT(Contenuto(altrove), ::testing::IsEmpty());
  EXPECT_THAT(servizio_->CodiciRegistrati(), ElementsAreArray({"1"}));
  EXPECT_EQ(orvane::test::RecordNelLog(MacchinaFinta::Log()), log + 1);
  EXPECT_THAT(MacchinaFinta::Log(), HasSubstr("spostata o sostituita durante il download"));
}

// The data folder moved aside while the first package arrives in an
// "Aggiornamenti" made for it, a link to another folder put in its place:
// the folder made goes from where it was made, and the file of that name
// where the link leads stays.
TEST_F(ScaricamentoTervanOstile, AFolderMadeForAPackageIsRemovedOnlyWhereItWasMade) {
  Prepara("TARVIK");
  fs::remove_all(aggiornamenti_);
  const fs::path spostata = dati_.string() + ".vecchi";
  const fs::path altrove = banco_->macchina.Percorso() / "altrove";
  ScriviFile(altrove / "Aggiornamenti", "file di un altro");
  const auto sposta = SpostaDuranteIlDownload(1, dati_, altrove);
  Servi({});
  Scarica(Server().Url(""));
  ASSERT_TRUE(fs::exists(spostata));
  EXPECT_EQ(LeggiFile(altrove / "Aggiornamenti"), "file di un altro");
  EXPECT_FALSE(fs::exists(spostata / "Aggiornamenti"));
  EXPECT_THAT(servizio_->CodiciRegistrati(), ::testing::IsEmpty());
}

}  // namespace
}  // namespace orvane::test::ostile
