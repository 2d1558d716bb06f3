// The support tool `quomaro`, run as a program against the reference service.

#include <gmock/gmock.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#include "ProvaQuomaro.h"
#include "tests/support/Minisign.h"
#include "tests/support/Processo.h"

namespace quomaro::test {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;

using orvane::test::Esito;

class StrumentoQuomaroTest : public ProvaQuomaro {
 protected:
  Esito Quomaro(const std::vector<std::string>& argomenti, const std::string& server = {}) {
    return orvane::test::Esegui(
        QUOMARO_STRUMENTO, argomenti,
        {{"ORVANE_UPDATE_SERVER", server.empty() ? servizio_.Server() : server},
         {"no_proxy", "*"}});
  }
  std::string UrlPacchetto(const std::string& nome) const {
    return servizio_.Server() + "/ServizioAggiornamenti/download/" + nome;
  }

  ServizioFiglio servizio_;
};

// A peer that answers every request with 200 and `corpo` as `tipo`.
std::function<bool(int)> Risponde(std::string tipo, std::string corpo) {
  return [tipo = std::move(tipo), corpo = std::move(corpo)](int s) {
    static_cast<void>(ServerGrezzo::LeggiRichiesta(s));
    ServerGrezzo::Scrivi(s, "HTTP/1.1 200 OK\r\nContent-Type: " + tipo + "\r\nContent-Length: " +
                                std::to_string(corpo.size()) + "\r\n\r\n" + corpo);
    return true;
  };
}

std::vector<std::string> Righe(const std::string& testo) {
  std::vector<std::string> righe;
  std::istringstream in(testo);
  for (std::string r; std::getline(in, r);)
    righe.push_back(r);
  return righe;
}

// What each command prints, and its exit code: 1 for a failure, 2 for a
// bad usage, which sends nothing.
TEST_F(StrumentoQuomaroTest, EachCommandPrintsItsResultOrWhyItFailsAndBadUsageExitsWithTwo) {
  struct Caso {
    std::vector<std::string> argomenti;
    int codice;
    std::string uscita;  ///< a part of what it prints, on standard error when it fails
    std::string server = {};
  };
  // A service whose host name is outside ASCII (an IDN), written in UTF-8,
  // is reached in the C locale too (curl takes any *.localhost for 127.0.0.1).
  std::string idn = servizio_.Server();
  idn.replace(idn.find("127.0.0.1"), 9, "città.localhost");
  const std::vector<Caso> casi{
      {{}, 2, "Uso:"},
      {{"cancella"}, 2, "Uso:"},
      {{"elenco", "ROSSI"}, 2, "Uso:"},
      {{"connessione", ""}, 2, "Uso:"},
      {{"select", "select 1; x"}, 2, "Uso:"},
      {{"scarica", "--chiave"}, 2, "Uso:"},
      {{"scarica", "--chiave", "k.pub", "url"}, 2, "Uso:"},
      {{"--help"}, 0, "quomaro scarica [--chiave PUB] URL FILE"},
      {{"connessione", "ROSSI"}, 0, "S: l'utente ROSSI è abilitato al servizio\n"},
      {{"connessione", "VERDI"}, 0, "N: "},
      {{"connessione", "ROSSI"}, 0, "S: l'utente ROSSI", idn},
      {{"connessione", "ROSSI"}, 1, "Connessione al server non disponibile", UrlChiuso()},
      {{"elenco", "VERDI", "TARVIK"}, 1, "Utente non abilitato al servizio"},
      // A program code with an apostrophe is quoted in the list's filter.
      {{"elenco", "ROSSI", "L'ARTE"}, 0, "(0 righe)\n"},
      {{"sql", "delete from download"}, 1, "Comando SQL non consentito"},
      {{"select", "delete from download"}, 1, "Interrogazione non consentita"},
      // A download recorded by one command is shown by the other.
      {{"sql",
        "insert into download(dataxx, utente, codzip, descri, session) values('2024/05/06 "
        "07.08.09', 'ROSSI', '42', 'Più stampe', 'S9')"},
       0,
       ""},
      {{"select", "select utente, descri from download where session='S9'"},
       0,
       "utente  descri\n------  ----------\nROSSI   Più stampe\n(1 riga)\n"},
  };
  for (const Caso& c : casi) {
    SCOPED_TRACE(testing::PrintToString(c.argomenti));
    const Esito e = Quomaro(c.argomenti, c.server);
    EXPECT_EQ(e.codice, c.codice) << e.err;
    EXPECT_THAT(c.codice == 0 ? e.out : e.err, HasSubstr(c.uscita));
    if (c.codice != 0) {
      EXPECT_THAT(e.out, IsEmpty());
    }
    if (c.codice == 2) {
      EXPECT_THAT(Log(), IsEmpty());
    }
  }

  // What the service says reaches the terminal without its escape
  // sequences, and not in megabytes.
  const std::string ostile = "\x1b]0;PWNED\x07\x1b[2J\xc2\x9bK" + std::string(1 << 20, 'x');
  const ServerGrezzo peer(Risponde("text/plain", ostile));
  const Esito strano = Quomaro({"connessione", "ROSSI"}, peer.Url(""));
  EXPECT_EQ(strano.codice, 1);
  EXPECT_THAT(strano.err, HasSubstr("]0;PWNED"));
  EXPECT_THAT(strano.err, Not(HasSubstr("\x1b")));
  EXPECT_THAT(strano.err, Not(HasSubstr("\xc2\x9b")));
  EXPECT_LT(strano.err.size(), 4096U);
  // Nor do the column names of a recordset it sends.
  const ServerGrezzo colonne(Risponde(
      "text/xml",
      "<E><B><return>&lt;xml xmlns:s=\"uuid:BDC6E3F0-6DA3-11d1-A2A3-00AA00C14882\" "
      "xmlns:rs=\"urn:schemas-microsoft-com:rowset\" xmlns:z=\"#RowsetSchema\"&gt;&lt;s:Schema "
      "id=\"RowsetSchema\"&gt;&lt;s:ElementType name=\"row\"&gt;&lt;s:AttributeType name=\"a\" "
      "rs:name=\"x&amp;#27;]0;PWNED&amp;#7;\"/&gt;&lt;/s:ElementType&gt;&lt;/s:Schema&gt;"
      "&lt;rs:data&gt;&lt;z:row a=\"v\"/&gt;&lt;/rs:data&gt;&lt;/xml&gt;</return></B></E>"));
  const Esito nomi = Quomaro({"select", "select a from t"}, colonne.Url(""));
  EXPECT_EQ(nomi.codice, 0);
  EXPECT_THAT(nomi.out, StartsWith("x ]0;PWNED\n"));

  // A library failure is said to be in the log only when the log took it.
  std::filesystem::remove(CartellaLibreria() / "SOAP.xml");
  std::filesystem::create_directory(CartellaLibreria() / "SOAP.xml");
  for (const bool logScrivibile : {true, false}) {
    if (!logScrivibile) {
      std::filesystem::remove(CartellaLibreria() / "Tarvik.Log");
      std::filesystem::create_directory(CartellaLibreria() / "Tarvik.Log");
    }
    const Esito copiaMancata = Quomaro({"connessione", "ROSSI"});
    EXPECT_EQ(copiaMancata.codice, 0);
    EXPECT_THAT(copiaMancata.err, HasSubstr("(passo 80): Impossibile scrivere la copia"));
    EXPECT_EQ(copiaMancata.err.find("[registrato in Tarvik.Log]") != std::string::npos,
              logScrivibile)
        << copiaMancata.err;
  }
}

TEST_F(StrumentoQuomaroTest, ElencoPrintsOnlyThatProgramsPackagesAsAnAlignedTable) {
  const Esito e = Quomaro({"elenco", "ROSSI", "TARVIK"});
  EXPECT_EQ(e.codice, 0) << e.err;
  const auto righe = Righe(e.out);
  ASSERT_EQ(righe.size(), 5U) << e.out;
  // Oldest first; each column starts where its header does.
  EXPECT_THAT(righe[2], StartsWith("2008-01-10T09:00:00       7  TARVIK  ORVANE  Motore comune"));
  EXPECT_THAT(righe[3],
              StartsWith("2008-03-05T14:30:00      42  TARVIK  TARVIK  Stampe & <fatture>"));
  EXPECT_EQ(righe[0].find("Filexx"), righe[2].find("Motore comune"));
  EXPECT_EQ(righe[0].find("notexx"), righe[3].find("Prima riga seconda riga"));
  EXPECT_EQ(righe[4], "(2 righe)");
}

TEST_F(StrumentoQuomaroTest, ScaricaWithAKeyWritesOnlyAPackageSignedForItsName) {
  orvane::test::CartellaTemporanea cartella;
  const orvane::test::ChiaviMinisign maker;
  maker.Firma(servizio_.FilePacchetto("Aggiornamento00042.zip"));
  const auto file = cartella / "pacchetto.zip";
  const std::string chiave = maker.Pubblica().string();

  const Esito firmato =
      Quomaro({"scarica", "--chiave", chiave, UrlPacchetto("Aggiornamento00042.zip"), file});
  EXPECT_EQ(firmato.codice, 0) << firmato.err;
  EXPECT_THAT(firmato.out, HasSubstr("firma verificata"));
  EXPECT_EQ(orvane::test::LeggiFile(file),
            orvane::test::LeggiFile(servizio_.FilePacchetto("Aggiornamento00042.zip")));

  // Unsigned, or with a key file that is not there: nothing is written.
  std::filesystem::remove(file);
  const Esito senzaFirma =
      Quomaro({"scarica", "--chiave", chiave, UrlPacchetto("Aggiornamento00007.zip"), file});
  EXPECT_EQ(senzaFirma.codice, 1);
  EXPECT_THAT(senzaFirma.err, HasSubstr("Aggiornamento00007.zip non accettato: firma mancante"));
  const Esito senzaChiave = Quomaro({"scarica", "--chiave", (cartella / "no.pub").string(),
                                     UrlPacchetto("Aggiornamento00042.zip"), file});
  EXPECT_EQ(senzaChiave.codice, 1);
  EXPECT_THAT(senzaChiave.err, HasSubstr("no.pub inesistente"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cartella.Percorso()), {}), 0);
}

// The largest resident size a run of the tool that ended with `codice`
// reached, in bytes, as its /proc entry tells while it runs (the rusage of a
// child also counts what its parent held when it was started).
std::optional<std::size_t> PiccoDiMemoria(const std::vector<std::string>& argomenti,
                                          const std::string& server = {}, int codice = 0) {
  orvane::test::Processo tool(QUOMARO_STRUMENTO, argomenti,
                              {{"no_proxy", "*"}, {"ORVANE_UPDATE_SERVER", server}});
  const auto status = "/proc/" + std::to_string(tool.Pid()) + "/status";
  std::size_t picco = 0;
  while (tool.InEsecuzione()) {
    std::ifstream in(status);
    for (std::string riga; std::getline(in, riga);) {
      if (riga.starts_with("VmHWM:")) picco = std::max(picco, std::stoul(riga.substr(6)) * 1024);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (tool.Attendi(std::chrono::milliseconds(0)) != codice) return std::nullopt;
  return picco;
}

// A failed download leaves the file as it was (see the hostile suite); any
// run removes the temporaries that killed runs left of the same file.
TEST_F(StrumentoQuomaroTest, ScaricaWritesThePackageClearsKilledRunsAndDrawsProgressOnATerminal) {
  orvane::test::CartellaTemporanea cartella;
  const auto file = cartella / "pacchetto.zip";
  const auto orfano = cartella / ".pacchetto.zip.Ab12Cd";
  const auto vicini = {cartella / ".pacchetto.zip.nota", cartella / ".altro.zip.Ab12Cd"};
  for (const auto& v : vicini)
    orvane::test::ScriviFile(v, "altrui");
  for (const auto& [nome, codice] :
       {std::pair{"Aggiornamento09999.zip", 1}, std::pair{"Aggiornamento00042.zip", 0}}) {
    SCOPED_TRACE(nome);
    orvane::test::ScriviFile(orfano, std::string(100000, 'z'));
    const Esito e = Quomaro({"scarica", UrlPacchetto(nome), file.string()});
    EXPECT_EQ(e.codice, codice);
    // Only the failure speaks: no progress bar off a terminal.
    EXPECT_EQ(e.err.empty(), codice == 0) << e.err;
    EXPECT_FALSE(std::filesystem::exists(orfano));
    for (const auto& v : vicini)
      EXPECT_TRUE(std::filesystem::exists(v)) << v;
  }
  EXPECT_EQ(orvane::test::LeggiFile(file),
            orvane::test::LeggiFile(servizio_.FilePacchetto("Aggiornamento00042.zip")));

  // Past the file size limit (ulimit -f) the download fails and the file stays.
  const Esito limite = orvane::test::Esegui(
      "sh",
      {"-c", "ulimit -f 0 && exec \"$0\" scarica \"$1\" \"$2\"", QUOMARO_STRUMENTO,
       UrlPacchetto("Aggiornamento00007.zip"), file.string()},
      {{"ORVANE_UPDATE_SERVER", servizio_.Server()}, {"no_proxy", "*"}});
  EXPECT_EQ(limite.codice, 1) << limite.err;
  EXPECT_EQ(orvane::test::LeggiFile(file),
            orvane::test::LeggiFile(servizio_.FilePacchetto("Aggiornamento00042.zip")));
  EXPECT_EQ(orvane::test::NomiInCartella(cartella.Percorso()).size(), 3U);

  // On a terminal it draws its progress. script(1) runs the tool on a
  // terminal of its own and copies the screen. Its command is shell text:
  // the paths, which may hold blanks, go to it through the environment.
  const Esito terminale = orvane::test::Esegui(
      "script", {"-qec", R"("$STRUMENTO" scarica "$INDIRIZZO" "$DESTINAZIONE")", "/dev/null"},
      {{"ORVANE_UPDATE_SERVER", servizio_.Server()},
       {"no_proxy", "*"},
       {"STRUMENTO", QUOMARO_STRUMENTO},
       {"INDIRIZZO", UrlPacchetto("Aggiornamento00007.zip")},
       {"DESTINAZIONE", file.string()}});
  EXPECT_EQ(terminale.codice, 0) << terminale.out << terminale.err;
  EXPECT_THAT(terminale.out, HasSubstr("\r[##############################] 100%"));
}

TEST_F(StrumentoQuomaroTest, MemoryStaysBoundedForAHugePackageAndForAnAnswerOfCountlessElements) {
#if defined(ORVANE_SANITIZER)
  GTEST_SKIP() << "the sanitizer's quarantine keeps freed memory";
#endif
  constexpr std::size_t kDimensione = std::size_t{130} << 20U;
  static const std::string blocco(std::size_t{1} << 20U, 'x');
  ServerHttp server;
  server.Server().Get(R"(/(.+))", [](const httplib::Request& req, auto& res) {
    const auto fornisci = [](std::size_t inizio, httplib::DataSink& sink) {
      if (inizio < kDimensione)
        return sink.write(blocco.data(), std::min(blocco.size(), kDimensione - inizio));
      sink.done();
      return true;
    };
    if (req.matches[1] == "a-pezzi") {
      res.set_chunked_content_provider("application/zip", fornisci);
    } else {
      res.set_content_provider(kDimensione, "application/zip",
                               [fornisci](std::size_t inizio, std::size_t, auto& sink) {
                                 return fornisci(inizio, sink);
                               });
    }
  });
  server.Avvia();
  orvane::test::CartellaTemporanea cartella;
  for (const char* percorso : {"/dichiarato", "/a-pezzi"}) {
    SCOPED_TRACE(percorso);
    const std::optional<std::size_t> picco =
        PiccoDiMemoria({"scarica", server.Url(percorso), (cartella / "p.zip").string()});
    ASSERT_TRUE(picco.has_value());
    EXPECT_LT(*picco, kDimensione + (std::size_t{64} << 20U));
    EXPECT_EQ(std::filesystem::file_size(cartella / "p.zip"), kDimensione);
  }

  // The answer the library refused for its countless elements is not parsed
  // whole by the tool's diagnosis either.
  std::string corpo = "<E>";
  for (int i = 0; i < 4 << 20; ++i)
    corpo += "<a/>";
  corpo += "</E>";
  const ServerGrezzo peer(Risponde("text/xml", std::move(corpo)));
  const std::optional<std::size_t> diagnosi =
      PiccoDiMemoria({"connessione", "ROSSI"}, peer.Url(""), 1);
  ASSERT_TRUE(diagnosi.has_value());
  EXPECT_LT(*diagnosi, std::size_t{120} << 20U);
}

}  // namespace
}  // namespace quomaro::test
