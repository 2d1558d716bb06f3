// The download history page that Tervan opens, read in a real browser:
// Chromium in headless mode loads the page of a session whose downloads
// were recorded with Tervan's statement through Quomaro, and its rendered
// document shows every record's values as text.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "quomaro/clsCA.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"
#include "tests/support/ServizioFiglio.h"
#include "updater/ScaricamentoAggiornamenti.h"

namespace {

using ::testing::HasSubstr;
using ::testing::Not;

TEST(CronologiaBrowser, TheRenderedPageShowsTheSessionsDownloadsWithTheirMarkupAsText) {
  if (!orvane::test::NelPath("chromium")) {
    GTEST_SKIP() << "chromium is not installed (scripts/install-deps --browser installs it)";
  }
  orvane::test::MacchinaFinta macchina;
  orvane::test::ServizioFiglio servizio;
  macchina.Imposta("ORVANE_UPDATE_SERVER", servizio.Server());
  const std::string sessione = "{0E7A1C52-93B4-4F0D-8C21-5D6E7F809A1B}";
  {
    quomaro::clsCA ca;
    for (const auto& [codice, testo, session] :
         {std::tuple{42, "<b>Novità</b> dell'anno <script>alert(1)</script>", sessione},
          std::tuple{7, "Motore comune", sessione},
          std::tuple{5, "Di un'altra ricerca", std::string("{ALTRA}")}}) {
      ca.EseguiComandoSQL(tervan::ScaricamentoAggiornamenti::ComandoRegistrazione(
          "2026/12/07 10.00.00", "ROSSI", codice, testo, session));
    }
  }

  const orvane::test::CartellaTemporanea profilo;
  const auto esito = orvane::test::Esegui(
      "chromium",
      {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
       "--user-data-dir=" + profilo.Percorso().string(), "--dump-dom",
       servizio.Server() + "/cronologia.aspx?session=%7B0E7A1C52-93B4-4F0D-8C21-5D6E7F809A1B%7D"},
      {{"HOME", profilo.Percorso().string()}}, std::chrono::seconds(90));
  ASSERT_EQ(esito.codice, 0) << esito.err;
  const std::string& dom = esito.out;

  EXPECT_THAT(dom, HasSubstr("<title>Orvane Software</title>"));
  // The heading row and the session's two downloads, not the other one's.
  std::size_t righe = 0;
  for (auto i = dom.find("<tr>"); i != std::string::npos; i = dom.find("<tr>", i + 1))
    ++righe;
  EXPECT_EQ(righe, 3U) << dom;
  EXPECT_THAT(dom, HasSubstr("&lt;b&gt;Novità&lt;/b&gt; dell'anno "
                             "&lt;script&gt;alert(1)&lt;/script&gt;</td>"));
  EXPECT_THAT(dom, HasSubstr("<td>Motore comune</td>"));
  EXPECT_THAT(dom, Not(HasSubstr("altra ricerca")));
  // Nothing of the data became an element.
  EXPECT_THAT(dom, Not(HasSubstr("<script")));
  EXPECT_THAT(dom, Not(HasSubstr("<b>")));
}

}  // namespace
