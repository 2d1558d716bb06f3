#include "quomaro/Configurazione.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace quomaro {
namespace {

TEST(ConfigurazioneTest, EnvironmentOrBuiltInValueChoosesTheServersWithoutDoubleSlashes) {
  ::setenv("ORVANE_UPDATE_SERVER", "http://aggiornamenti.example:8081//", 1);
  ::setenv("ORVANE_WEB_SITE", "https://sito.example/", 1);
  EXPECT_EQ(ServerAggiornamenti(), "http://aggiornamenti.example:8081");
  EXPECT_EQ(EndpointServizio(),
            "http://aggiornamenti.example:8081/ServizioAggiornamenti/ServizioAggiornamenti.php");
  EXPECT_EQ(SitoWeb(), "https://sito.example");

  // An empty or missing variable falls back to the value fixed at build time.
  ::setenv("ORVANE_UPDATE_SERVER", "", 1);
  ::unsetenv("ORVANE_WEB_SITE");
  std::string server = PREDEFINITO_SERVER;
  while (server.ends_with('/'))
    server.pop_back();
  EXPECT_EQ(EndpointServizio(), server + "/ServizioAggiornamenti/ServizioAggiornamenti.php");
  EXPECT_TRUE(std::string(PREDEFINITO_SITO).starts_with(SitoWeb()));
  ::unsetenv("ORVANE_UPDATE_SERVER");
}

}  // namespace
}  // namespace quomaro
