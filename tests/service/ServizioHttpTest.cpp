#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <zip.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "service/CatalogoServizio.h"
#include "tests/service/ServizioProva.h"
#include "tests/support/CartellaTemporanea.h"

namespace orvane::servizio::test {
namespace {

// The entries of a zip archive held in memory, name by name.
std::vector<std::string> VociZip(const std::string& byte) {
  zip_error_t errore;
  zip_error_init(&errore);
  zip_source_t* sorgente = zip_source_buffer_create(byte.data(), byte.size(), 0, &errore);
  zip_t* archivio = sorgente ? zip_open_from_source(sorgente, ZIP_CHECKCONS, &errore) : nullptr;
  std::vector<std::string> voci;
  if (!archivio) {
    if (sorgente) zip_source_free(sorgente);
    return voci;
  }
  for (zip_int64_t i = 0; i < zip_get_num_entries(archivio, 0); ++i) {
    voci.emplace_back(zip_get_name(archivio, static_cast<zip_uint64_t>(i), 0));
  }
  zip_discard(archivio);
  return voci;
}

TEST(ServizioHttpTest, PackageFilesAreRealZipsServedByTheirCodeAndNothingElseIsServed) {
  ServizioProva servizio;
  const auto zip = servizio.Leggi("/ServizioAggiornamenti/download/Aggiornamento00042.zip");
  ASSERT_EQ(zip->status, 200);
  EXPECT_EQ(zip->get_header_value("Content-Type"), "application/zip");
  EXPECT_EQ(VociZip(zip->body), (std::vector<std::string>{"LEGGIMI.txt", "dati/tabella.sql"}));
  EXPECT_EQ(zip->body.size(),
            std::filesystem::file_size(servizio.Dati() / "download/Aggiornamento00042.zip"));

  for (const char* percorso : {"/ServizioAggiornamenti/download/Aggiornamento00043.zip",
                               "/ServizioAggiornamenti/download/Aggiornamento42.zip",
                               "/ServizioAggiornamenti/download/../servizio.sqlite",
                               "/ServizioAggiornamenti/download/%2e%2e/servizio.sqlite",
                               "/ServizioAggiornamenti/download/"}) {
    EXPECT_EQ(servizio.Leggi(percorso)->status, 404) << percorso;
  }
  // One log line per request.
  servizio.Ferma();
  const std::string log = servizio.Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 6) << log;
  EXPECT_NE(log.find(" 127.0.0.1 GET /ServizioAggiornamenti/download/Aggiornamento00042.zip 200 "),
            std::string::npos)
      << log;
}

TEST(ServizioHttpTest, TheHistoryPageListsTheSessionsDownloadsWithEveryValueEscaped) {
  ServizioProva servizio;
  for (const char* descri : {"Stampe <b>&</b> fatture", "Motore comune"}) {
    servizio.Soap(
        "EseguiComandoSQL",
        {{"strsql", std::string("insert into download(dataxx, utente, codzip, descri, "
                                "session) values('2008/03/05 14.30.00', 'ROSSI', '42', '") +
                        descri + "', '<script>alert(''x'')</script>')"}});
  }
  servizio.Soap("EseguiComandoSQL",
                {{"strsql",
                  "insert into download(dataxx, utente, codzip, descri, session) "
                  "values('x', 'ALTRO', '7', 'Di un altro', 'S2')"}});

  const auto pagina =
      servizio.Leggi("/cronologia.aspx?session=%3Cscript%3Ealert('x')%3C%2Fscript%3E");
  ASSERT_EQ(pagina->status, 200);
  EXPECT_EQ(pagina->get_header_value("Content-Type"), "text/html; charset=utf-8");
  const std::string& html = pagina->body;
  EXPECT_EQ(html.find("<script>"), std::string::npos) << html;
  EXPECT_NE(html.find("&lt;script&gt;alert('x')&lt;/script&gt;"), std::string::npos) << html;
  EXPECT_NE(html.find("<td>Stampe &lt;b&gt;&amp;&lt;/b&gt; fatture</td>"), std::string::npos);
  EXPECT_NE(html.find("<td>Motore comune</td>"), std::string::npos);
  EXPECT_EQ(html.find("Di un altro"), std::string::npos);
  EXPECT_NE(html.find("<title>Orvane Software</title>"), std::string::npos);

  for (const char* vuota : {"/cronologia.aspx?session=NESSUNA", "/cronologia.aspx"}) {
    const auto r = servizio.Leggi(vuota);
    EXPECT_EQ(r->status, 200);
    EXPECT_NE(r->body.find("Nessun download registrato per questa sessione."), std::string::npos);
  }
}

TEST(ServizioHttpTest, ABadCatalogueIsRefusedWithTheReason) {
  orvane::test::CartellaTemporanea cartella;
  const auto errore = [&](const std::string& json) -> std::string {
    orvane::test::ScriviFile(cartella / "c.json", json);
    try {
      (void)CatalogoServizio::Leggi(cartella / "c.json");
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "accettato";
  };
  const std::string cliente = R"({"clienti":[{"userid":"A","abilitato":"S"}],"pacchetti":[)";
  const std::string pacchetto =
      R"({"codice":1,"dataxx":"2024-01-01T00:00:00","progra":"TARVIK","TipoXx":"T",)"
      R"("Filexx":"F","contenuto":{"a.txt":"x"},"clienti":)";
  EXPECT_EQ(errore(cliente + pacchetto + R"(["A"]}]})"), "accettato");
  EXPECT_NE(errore("{").find("JSON non valido"), std::string::npos);
  EXPECT_NE(errore(cliente + pacchetto + R"(["B"]}]})").find("cliente sconosciuto B"),
            std::string::npos);
  EXPECT_NE(errore(cliente + pacchetto + R"(["A"]},)" + pacchetto + R"(["A"]}]})")
                .find("codice ripetuto 1"),
            std::string::npos);
  std::string fuori = cliente + pacchetto + R"(["A"]}]})";
  fuori.replace(fuori.find("a.txt"), 5, "../../evil");
  EXPECT_NE(errore(fuori).find("nome di voce non valido"), std::string::npos);
  std::string data = cliente + pacchetto + R"(["A"]}]})";
  data.replace(data.find("2024-01-01T00:00:00"), 19, "31/12/2024");
  EXPECT_NE(errore(data).find("pacchetti[0].dataxx"), std::string::npos);
}

// The program itself: started on a free port with the sample catalogue, it
// says where it listens, answers, and stops cleanly on SIGTERM.
TEST(ServizioHttpTest, TheProgramPrintsItsPortServesAndStopsCleanlyOnSigterm) {
  orvane::test::CartellaTemporanea cartella;
  const std::string uscita = (cartella / "uscita.txt").string();
  const std::string dati = (cartella / "dati").string();
  std::vector<std::string> argomenti{ORVANE_SERVICE, "--data", dati,           "--listen",
                                     "127.0.0.1:0",  "--seed", ORVANE_CATALOGO};
  std::vector<char*> argv;
  for (auto& a : argomenti)
    argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t azioni;
  posix_spawn_file_actions_init(&azioni);
  posix_spawn_file_actions_addopen(&azioni, 1, uscita.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  ASSERT_EQ(posix_spawn(&pid, ORVANE_SERVICE, &azioni, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&azioni);

  int porta = 0;
  for (int i = 0; i < 600 && porta == 0; ++i) {
    std::ifstream testo(uscita);
    for (std::string riga; std::getline(testo, riga);) {
      const std::string prefisso = "In ascolto su http://127.0.0.1:";
      if (riga.starts_with(prefisso)) porta = std::stoi(riga.substr(prefisso.size()));
    }
    if (porta == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_NE(porta, 0) << orvane::test::LeggiFile(uscita);
  httplib::Client client("127.0.0.1", porta);
  const auto zip = client.Get("/ServizioAggiornamenti/download/Aggiornamento00301.zip");
  ASSERT_TRUE(zip);
  EXPECT_EQ(zip->status, 200);
  EXPECT_EQ(VociZip(zip->body), (std::vector<std::string>{"LEGGIMI.txt", "listini/2024.csv"}));

  kill(pid, SIGTERM);
  int stato = 0;
  ASSERT_EQ(waitpid(pid, &stato, 0), pid);
  EXPECT_TRUE(WIFEXITED(stato));
  EXPECT_EQ(WEXITSTATUS(stato), 0);
  EXPECT_NE(orvane::test::LeggiFile(uscita).find("Servizio fermato"), std::string::npos);
}

}  // namespace
}  // namespace orvane::servizio::test
