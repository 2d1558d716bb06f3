#include "quomaro/Configurazione.h"

#include <gmock/gmock.h>

#include "tests/support/MacchinaFinta.h"

namespace quomaro {
namespace {

TEST(ConfigurazioneTest, EnvironmentThenUserFileThenSystemFileThenBuiltInValueEachSayingWhence) {
  orvane::test::MacchinaFinta macchina;
  // An empty variable counts as none.
  macchina.Imposta("ORVANE_UPDATE_SERVER", "");
  macchina.Imposta("ORVANE_WEB_SITE", std::nullopt);
  const auto sistema = macchina.Percorso() / "xdg/orvane/tervan.conf";
  const auto utente = macchina.Configurazione() / "orvane/tervan.conf";
  macchina.Imposta("XDG_CONFIG_DIRS", (macchina.Percorso() / "xdg").string());
  EXPECT_EQ(LeggiConfigurazione().server.origine, "predefinito di compilazione");
  EXPECT_TRUE(std::string(PREDEFINITO_SERVER).starts_with(ServerAggiornamenti()));
  EXPECT_TRUE(std::string(PREDEFINITO_SITO).starts_with(SitoWeb()));

  orvane::test::ScriviFile(sistema, "server = http://sistema:81\nsito = http://sito-sistema:81/\n");
  EXPECT_EQ(EndpointServizio(),
            "http://sistema:81/ServizioAggiornamenti/ServizioAggiornamenti.php");
  EXPECT_EQ(LeggiConfigurazione().server.origine, sistema.string() + ", riga 1");

  orvane::test::ScriviFile(utente, "# del singolo utente\nserver = http://utente:82/\n");
  ConfigurazioneServizio c = LeggiConfigurazione();
  EXPECT_EQ(c.server.valore, "http://utente:82");
  EXPECT_EQ(c.server.origine, utente.string() + ", riga 2");
  EXPECT_EQ(SitoWeb(), "http://sito-sistema:81");

  macchina.Imposta("ORVANE_UPDATE_SERVER", "http://ambiente:83//");
  c = LeggiConfigurazione();
  EXPECT_EQ(ServerAggiornamenti(), "http://ambiente:83");
  EXPECT_EQ(c.server.origine, "variabile ORVANE_UPDATE_SERVER");
  EXPECT_EQ(c.errore, "");
  // A variable is held to the files' rule, and stops everything likewise.
  macchina.Imposta("ORVANE_WEB_SITE", "127.0.0.1:8080");
  c = LeggiConfigurazione();
  EXPECT_THAT(c.errore, ::testing::StartsWith(
                            "variabile ORVANE_WEB_SITE: indirizzo non valido: \"127.0.0.1:8080\""));
  EXPECT_EQ(c.server.valore, "");
  macchina.Imposta("ORVANE_WEB_SITE", std::nullopt);

  // A broken file stops everything, the environment's value too: nothing
  // runs against an address the administrator did not mean.
  orvane::test::ScriviFile(sistema, "server = http://sistema:81\nporta = 81\n");
  c = LeggiConfigurazione();
  EXPECT_EQ(c.errore,
            sistema.string() +
                ", riga 2: chiave sconosciuta \"porta\" (ammesse: server, sito, wineprefix)");
  EXPECT_EQ(c.server.valore, "");
  EXPECT_THROW((void)ServerAggiornamenti(), std::exception);
  EXPECT_THROW((void)SitoWeb(), std::exception);
}

}  // namespace
}  // namespace quomaro
