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

namespace fs = std::filesystem;
using tervan::ScaricamentoAggiornamenti;
using ::testing::HasSubstr;
using ::testing::Not;

// Debian's browser, when it is installed.
fs::path Chromium() {
  for (const char* candidato : {"/usr/bin/chromium", "/usr/local/bin/chromium"}) {
    if (fs::exists(candidato)) return candidato;
  }
  return {};
}

// The document without the line breaks and indentation between elements.
std::string SenzaRientri(const std::string& testo) {
  std::string out;
  for (std::size_t i = 0; i < testo.size(); ++i) {
    if (testo[i] != '\n') {
      out += testo[i];
      continue;
    }
    while (i + 1 < testo.size() && (testo[i + 1] == ' ' || testo[i + 1] == '\n'))
      ++i;
  }
  return out;
}

std::size_t Conta(const std::string& testo, const std::string& cosa) {
  std::size_t n = 0;
  for (auto i = testo.find(cosa); i != std::string::npos; i = testo.find(cosa, i + 1))
    ++n;
  return n;
}

TEST(CronologiaBrowser, TheRenderedPageShowsTheSessionsDownloadsWithTheirMarkupAsText) {
  const fs::path chromium = Chromium();
  if (chromium.empty()) {
    GTEST_SKIP() << "chromium is not installed (scripts/install-deps --browser installs it)";
  }
  orvane::test::MacchinaFinta macchina;
  orvane::test::ServizioFiglio servizio;
  macchina.Imposta("ORVANE_UPDATE_SERVER", servizio.Server());

  const std::string sessione = "{0E7A1C52-93B4-4F0D-8C21-5D6E7F809A1B}";
  const std::string descrizione = "<b>Novità</b> dell'anno <script>alert(1)</script>";
  {
    quomaro::clsCA ca;
    for (const auto& [codice, testo, session] :
         {std::tuple{42, descrizione, sessione},
          std::tuple{7, std::string("Motore comune"), sessione},
          std::tuple{5, std::string("Di un'altra ricerca"), std::string("{ALTRA}")}}) {
      ca.EseguiComandoSQL(ScaricamentoAggiornamenti::ComandoRegistrazione(
          "2026/12/07 10.00.00", "ROSSI", codice, testo, session));
    }
  }

  const orvane::test::CartellaTemporanea profilo;
  const auto esito = orvane::test::Esegui(
      chromium,
      {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
       "--user-data-dir=" + profilo.Percorso().string(), "--dump-dom",
       servizio.Server() + "/cronologia.aspx?session=%7B0E7A1C52-93B4-4F0D-8C21-5D6E7F809A1B%7D"},
      {{"HOME", profilo.Percorso().string()}}, std::chrono::seconds(90));
  ASSERT_EQ(esito.codice, 0) << esito.err;
  const std::string dom = SenzaRientri(esito.out);

  EXPECT_THAT(dom, HasSubstr("<title>Orvane Software</title>"));
  // The heading row and the session's two downloads, not the other one's.
  EXPECT_EQ(Conta(dom, "<tr>"), 3U) << dom;
  EXPECT_THAT(dom, HasSubstr("<td>ROSSI</td><td>42</td><td>&lt;b&gt;Novità&lt;/b&gt; dell'anno "
                             "&lt;script&gt;alert(1)&lt;/script&gt;</td>"));
  EXPECT_THAT(dom, HasSubstr("<td>ROSSI</td><td>7</td><td>Motore comune</td>"));
  EXPECT_THAT(dom, Not(HasSubstr("altra ricerca")));
  // Nothing of the data became an element.
  EXPECT_THAT(dom, Not(HasSubstr("<script")));
  EXPECT_THAT(dom, Not(HasSubstr("<b>")));
}

}  // namespace
