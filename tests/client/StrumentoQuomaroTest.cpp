// The support tool `quomaro`, run as a program against the reference service.

#include <gmock/gmock.h>

#include <filesystem>
#include <sstream>

#include "ProvaQuomaro.h"
#include "tests/support/Processo.h"

namespace quomaro::test {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
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

std::vector<std::string> Righe(const std::string& testo) {
  std::vector<std::string> righe;
  std::istringstream in(testo);
  for (std::string r; std::getline(in, r);)
    righe.push_back(r);
  return righe;
}

TEST_F(StrumentoQuomaroTest, ConnessionePrintsTheVerdictAndFailsWithoutAService) {
  const Esito abilitato = Quomaro({"connessione", "ROSSI"});
  EXPECT_EQ(abilitato.codice, 0);
  EXPECT_EQ(abilitato.out, "S: l'utente ROSSI è abilitato al servizio\n");
  EXPECT_THAT(Quomaro({"connessione", "VERDI"}).out, StartsWith("N: "));

  const Esito assente = Quomaro({"connessione", "ROSSI"}, UrlChiuso());
  EXPECT_EQ(assente.codice, 1);
  EXPECT_THAT(assente.err, HasSubstr("Connessione al server non disponibile"));
  EXPECT_THAT(assente.out, IsEmpty());
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

  const Esito rifiutato = Quomaro({"elenco", "VERDI", "TARVIK"});
  EXPECT_EQ(rifiutato.codice, 1);
  EXPECT_THAT(rifiutato.err, HasSubstr("Utente non abilitato al servizio"));
}

TEST_F(StrumentoQuomaroTest, SqlRecordsADownloadThatSelectShowsAndRefusalsFail) {
  const Esito inserito =
      Quomaro({"sql",
               "insert into download(dataxx, utente, codzip, descri, session) values('2024/05/06 "
               "07.08.09', 'ROSSI', '42', 'Più stampe', 'S9')"});
  EXPECT_EQ(inserito.codice, 0) << inserito.err;
  const Esito letto = Quomaro({"select", "select utente, descri from download where session='S9'"});
  EXPECT_EQ(letto.codice, 0) << letto.err;
  EXPECT_THAT(Righe(letto.out), ElementsAre("utente  descri", "------  ----------",
                                            "ROSSI   Più stampe", "(1 riga)"));

  const Esito rifiutato = Quomaro({"sql", "delete from download"});
  EXPECT_EQ(rifiutato.codice, 1);
  EXPECT_THAT(rifiutato.err, HasSubstr("Comando SQL non consentito"));
  EXPECT_EQ(Quomaro({"select", "delete from download"}).codice, 1);
  EXPECT_EQ(Righe(Quomaro({"select", "select count(*) as n from download"}).out)[2], "1");
}

TEST_F(StrumentoQuomaroTest, ScaricaWritesTheWholePackageOrLeavesTheFileAlone) {
  orvane::test::CartellaTemporanea cartella;
  const auto file = cartella / "pacchetto.zip";
  const Esito e = Quomaro({"scarica", UrlPacchetto("Aggiornamento00042.zip"), file.string()});
  EXPECT_EQ(e.codice, 0) << e.err;
  EXPECT_EQ(orvane::test::LeggiFile(file),
            orvane::test::LeggiFile(servizio_.FilePacchetto("Aggiornamento00042.zip")));
  EXPECT_THAT(e.err, IsEmpty());  // no progress bar off a terminal

  orvane::test::ScriviFile(file, "vecchio");
  const Esito assente = Quomaro({"scarica", UrlPacchetto("Aggiornamento09999.zip"), file.string()});
  EXPECT_EQ(assente.codice, 1);
  EXPECT_THAT(assente.err, HasSubstr("HTTP 404"));
  EXPECT_EQ(orvane::test::LeggiFile(file), "vecchio");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(cartella.Percorso()), {}), 1);
}

TEST_F(StrumentoQuomaroTest, ScaricaDrawsAProgressBarOnATerminal) {
  orvane::test::CartellaTemporanea cartella;
  // script(1) runs the tool on a terminal of its own and copies the screen.
  const Esito e = orvane::test::Esegui(
      "script",
      {"-qec",
       std::string(QUOMARO_STRUMENTO) + " scarica " + UrlPacchetto("Aggiornamento00007.zip") + " " +
           (cartella / "p.zip").string(),
       "/dev/null"},
      {{"ORVANE_UPDATE_SERVER", servizio_.Server()}, {"no_proxy", "*"}});
  EXPECT_EQ(e.codice, 0) << e.out << e.err;
  EXPECT_THAT(e.out, HasSubstr("\r[##############################] 100%"));
}

TEST_F(StrumentoQuomaroTest, BadUsageExitsWithTwoAndSendsNothing) {
  for (const auto& args : std::vector<std::vector<std::string>>{
           {}, {"cancella"}, {"elenco", "ROSSI"}, {"connessione", ""}, {"select", "select 1; x"}}) {
    const Esito e = Quomaro(args);
    EXPECT_EQ(e.codice, 2);
    EXPECT_THAT(e.err, HasSubstr("Uso:"));
  }
  EXPECT_THAT(Quomaro({"--help"}).out, HasSubstr("quomaro scarica URL FILE"));
  EXPECT_THAT(Log(), IsEmpty());
}

}  // namespace
}  // namespace quomaro::test
