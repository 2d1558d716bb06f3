#include <gmock/gmock.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/Registro.h"
#include "platform/RegistroFormato.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace orvane {
namespace {

using ::testing::HasSubstr;
using namespace std::string_view_literals;

using test::LeggiFile;
using test::MacchinaFinta;

// The support tool run as support staff run it.
class OrvaneRegTest : public ::testing::Test {
 protected:
  static test::Esito Esegui(const std::vector<std::string>& argomenti) {
    return test::Esegui(ORVANE_REG, argomenti);
  }
  MacchinaFinta macchina_;
};

TEST_F(OrvaneRegTest, SetsUpTheSettingsThatDiscoveryReadsAndShowsThem) {
  const std::string chiave = R"(HKCU\Software\VB and VBA Program Settings\Vuldra\Vestrum)";
  EXPECT_EQ(Esegui({"add", chiave, "/v", "nomexx", "/d", "CLIENTE-42"}).codice, 0);
  EXPECT_EQ(Esegui({"add", chiave, "/v", "datixx", "/d", R"(C:\ORVANE\SELVOR\DATI)"}).codice, 0);
  EXPECT_EQ(Esegui({"add", chiave, "/v", "Soglia", "/t", "REG_DWORD", "/d", "0x2A"}).codice, 0);

  const test::Esito q = Esegui({"query", chiave});
  EXPECT_EQ(q.codice, 0);
  EXPECT_EQ(q.out, chiave +
                       "\n    nomexx    REG_SZ    CLIENTE-42\n"
                       "    datixx    REG_SZ    C:\\ORVANE\\SELVOR\\DATI\n"
                       "    Soglia    REG_DWORD    0x2a\n\n");
  EXPECT_EQ(Esegui({"query", chiave, "/v", "NOMEXX"}).out,
            chiave + "\n    NOMEXX    REG_SZ    CLIENTE-42\n");

  // Exported as the Windows editor writes it, in UTF-16, to a file or out.
  const auto copia = macchina_.Percorso() / "copia.reg";
  EXPECT_EQ(
      Esegui({"export", R"(HKCU\Software\VB and VBA Program Settings)", copia.string()}).codice, 0);
  EXPECT_EQ(Esegui({"export", R"(HKEY_CURRENT_USER\Software\VB and VBA Program Settings)"}).out,
            LeggiFile(copia));
  EXPECT_EQ(LeggiFile(copia).rfind("\xFF\xFEW\0i\0n\0"sv, 0), 0U);
  EXPECT_THAT(platform::TestoUtf8DelFileRegistro(LeggiFile(copia)),
              HasSubstr("[HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\"
                        "Vuldra\\Vestrum]\r\n\"nomexx\"=\"CLIENTE-42\"\r\n"));
  // A type of another program's own is named by its number in hex.
  const auto strano = macchina_.Percorso() / "strano.reg";
  test::ScriviFile(strano,
                   "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\X]"
                   "\n\"strano\"=hex(ffff0001):01,02\n");
  EXPECT_EQ(Esegui({"import", strano.string()}).codice, 0);
  EXPECT_THAT(Esegui({"query", R"(HKCU\Software\X)"}).out, HasSubstr("REG_0xffff0001"));
  EXPECT_EQ(Esegui({"delete", chiave, "/f"}).codice, 0);
  EXPECT_EQ(Esegui({"query", chiave}).codice, 1);
}

// A text any program in the Wine prefix may write reaches a terminal with its
// control characters shown, by export as by query, never as escapes the
// terminal would run.
TEST_F(OrvaneRegTest, OnATerminalExportShowsControlCharactersAsQueryDoes) {
  if (!test::NelPath("script")) GTEST_SKIP() << "script (util-linux) is missing";
  ASSERT_EQ(Esegui({"add", R"(HKCU\Software\X)", "/v", "a\x1b[2J", "/d", "b\x1b]0;c\x07"}).codice,
            0);
  const test::Esito t =
      test::Esegui("script", {"-qec", "'" ORVANE_REG "' export 'HKCU\\Software\\X'", "/dev/null"});
  EXPECT_EQ(t.codice, 0) << t.err;
  EXPECT_THAT(t.out, HasSubstr(R"("a\x1b[2J"="b\x1b]0;c\x07")"));
  EXPECT_EQ(t.out.find('\x1b'), std::string::npos) << t.out;
}

TEST_F(OrvaneRegTest, BadArgumentsAndFailuresSayWhyAndExitNonZero) {
  const std::vector<std::pair<std::vector<std::string>, int>> casi{
      {{}, 2},
      {{"sposta", "HKCU\\Software"}, 2},
      {{"query"}, 2},
      {{"query", "HKXX\\Software"}, 2},
      {{"add", "HKCU\\Software\\X", "/v"}, 2},
      {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_DWORD", "/d", "dodici"}, 2},
      {{"add", "HKCU\\Software\\X", "/v", "n", "/t", "REG_PIPPO"}, 2},
      {{"delete", "HKCU\\Software\\X"}, 2},
      {{"query", "HKCU\\Software\\Mancante"}, 1},
      {{"delete", "HKCU\\Software", "/v", "mancante"}, 1},
      {{"import", (macchina_.Percorso() / "mancante.reg").string()}, 1},
      {{"import", macchina_.Percorso().string()}, 1},
      {{"import", "/dev/zero"}, 1},
  };
  for (const auto& [argomenti, codice] : casi) {
    const test::Esito e = Esegui(argomenti);
    EXPECT_EQ(e.codice, codice) << testing::PrintToString(argomenti);
    EXPECT_THAT(e.err, HasSubstr("orvane-reg: ")) << e.err;
  }
  test::ScriviFile(macchina_.Percorso() / "rotto.reg",
                   "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\A]\n"
                   "\"a\"=\"b\"\n\"c\"=dword:xyz\n");
  const test::Esito e = Esegui({"import", (macchina_.Percorso() / "rotto.reg").string()});
  EXPECT_EQ(e.codice, 1);
  EXPECT_THAT(e.err, HasSubstr("rotto.reg:5: numero dword non valido")) << e.err;
  EXPECT_EQ(Esegui({"query", "HKCU\\Software\\A"}).codice, 1);

  // Past the file size limit (ulimit -f) an export fails and leaves nothing
  // (standard error, a file here, is past the limit too).
  const test::CartellaTemporanea esportati;
  const test::Esito limite =
      test::Esegui("sh", {"-c", "ulimit -f 0 && exec \"$0\" export HKCU \"$1\"", ORVANE_REG,
                          (esportati / "tutto.reg").string()});
  EXPECT_EQ(limite.codice, 1) << limite.err;
  EXPECT_THAT(test::NomiInCartella(esportati.Percorso()), testing::IsEmpty());

  // A result that never reached standard output (a full disk, an output
  // closed by the caller) is a failure, said on standard error.
  for (const std::string uscita : {">/dev/full", ">&-"}) {
    const test::Esito perso =
        test::Esegui("sh", {"-c", "exec \"$0\" export HKCU " + uscita, ORVANE_REG});
    EXPECT_EQ(perso.codice, 1) << uscita;
    EXPECT_THAT(perso.err, HasSubstr("impossibile scrivere sull'uscita standard")) << uscita;
  }
}

// Which store and which Wine prefix the tool works on: a broken settings
// file or a relative folder stops it, naming the cause, rather than another
// prefix or a store below the working folder being used.
TEST_F(OrvaneRegTest, ABrokenSettingsFileOrARelativeFolderStopsItNamingTheCause) {
  const std::string chiave = R"(HKCU\Software\Orvane)";
  ASSERT_EQ(Esegui({"add", chiave, "/v", "n", "/d", "x"}).codice, 0);
  const auto conf = macchina_.Configurazione() / "orvane/tervan.conf";
  test::ScriviFile(conf, "wineprefix = /srv/pfx\nwineprefix = /srv/altro\n");
  test::Esito e = Esegui({"query", chiave});
  EXPECT_EQ(e.codice, 1);
  EXPECT_THAT(e.err, HasSubstr(conf.string() + ", riga 2: chiave \"wineprefix\" ripetuta"));
  std::filesystem::remove(conf);

  macchina_.Imposta("HOME", macchina_.Percorso().string());
  for (const std::string variabile : {"ORVANE_REGISTRY", "ORVANE_DRIVE_C"}) {
    macchina_.Imposta(variabile, "relativo");
    e = Esegui({"add", chiave, "/v", "n", "/d", "x"});
    EXPECT_EQ(e.codice, 1) << variabile;
    EXPECT_THAT(e.err, HasSubstr("variabile " + variabile + ": cartella non valida: \"relativo\""));
    macchina_.Imposta(variabile, std::nullopt);
  }
  macchina_.Imposta("ORVANE_REGISTRY", "~/altro");
  EXPECT_EQ(Esegui({"add", chiave, "/v", "n", "/d", "x"}).codice, 0);
  EXPECT_TRUE(std::filesystem::exists(macchina_.Percorso() / "altro/HKEY_CURRENT_USER.reg"));
}

}  // namespace
}  // namespace orvane
