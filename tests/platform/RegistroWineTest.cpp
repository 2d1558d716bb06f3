// Round trips through Wine's registry editor, an implementation of the
// Windows registry file format that owes nothing to this one. One Wine
// prefix serves every test of this program; without Wine they are skipped.
#include <gmock/gmock.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace platform {
namespace {

using namespace std::string_literals;
using orvane::test::Esito;
using orvane::test::LeggiFile;
using orvane::test::MacchinaFinta;

// Every value of a key and of the keys below it: key path -> value name ->
// type and bytes.
using Valori = std::map<std::string, std::map<std::string, std::pair<std::uint32_t, std::string>>>;

void Raccogli(HKEY radice, const std::string& percorso, Valori& out) {
  HKEY h = 0;
  ASSERT_EQ(RegOpenKeyEx(radice, percorso, 0, KEY_READ, h), ERROR_SUCCESS) << percorso;
  auto& valori = out[percorso];
  std::string nome;
  std::uint32_t tipo = 0;
  std::string dati;
  for (std::uint32_t i = 0; RegEnumValue(h, i, nome, &tipo, &dati) == ERROR_SUCCESS; ++i)
    valori[nome] = {tipo, dati};
  std::vector<std::string> figli;
  for (std::uint32_t i = 0; RegEnumKeyEx(h, i, nome) == ERROR_SUCCESS; ++i)
    figli.push_back(nome);
  RegCloseKey(h);
  for (const auto& figlio : figli)
    Raccogli(radice, percorso + "\\" + figlio, out);
}

class RegistroWineTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!orvane::test::NelPath("wine")) return;
    prefisso_ = std::make_unique<orvane::test::CartellaTemporanea>();
    ambiente_ = {{"WINEPREFIX", (prefisso_->Percorso() / "wine").string()},
                 {"WINEDEBUG", "-all"},
                 // No display, no installers of optional parts, no menu entries.
                 {"DISPLAY", ""},
                 {"WAYLAND_DISPLAY", ""},
                 {"WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=d"}};
    const Esito e =
        orvane::test::Esegui("wine", {"wineboot", "--init"}, ambiente_, std::chrono::minutes(3));
    if (e.codice != 0) errore_ = "wineboot --init: " + std::to_string(e.codice) + " " + e.err;
    // wineboot returns while the services it started still fill the new
    // prefix; the first command must not race them.
    AttendiWine();
  }

  // Until every Wine process of the prefix has ended and its server has
  // written the registry out.
  static void AttendiWine() {
    (void)orvane::test::Esegui("wineserver", {"-w"}, ambiente_, std::chrono::minutes(1));
  }

  static void TearDownTestSuite() {
    if (!prefisso_) return;
    (void)orvane::test::Esegui("wineserver", {"-k"}, ambiente_);
    prefisso_.reset();
  }

  void SetUp() override {
    if (!prefisso_) {
      GTEST_SKIP() << "wine is not installed (Debian packages wine and wine64): the round trip "
                      "through Wine's registry editor is not tested";
    }
    ASSERT_TRUE(errore_.empty()) << errore_;
  }

  static void Wine(const std::vector<std::string>& argomenti) {
    Esito e = orvane::test::Esegui("wine", argomenti, ambiente_);
    // On a loaded machine Wine now and then fails to start one of its own
    // programs, silently (code 1) or with "ShellExecuteEx failed". That is
    // Wine's start, not the registry: once Wine has settled, the command
    // (each one here may run twice) is given once more, and a second
    // failure is the test's.
    if (e.codice != 0) {
      AttendiWine();
      e = orvane::test::Esegui("wine", argomenti, ambiente_);
    }
    EXPECT_EQ(e.codice, 0) << testing::PrintToString(argomenti) << e.out << e.err;
  }

  static void OrvaneReg(const std::vector<std::string>& argomenti) {
    const Esito e = orvane::test::Esegui(ORVANE_REG, argomenti);
    EXPECT_EQ(e.codice, 0) << testing::PrintToString(argomenti) << e.out << e.err;
  }

  static std::unique_ptr<orvane::test::CartellaTemporanea> prefisso_;
  static std::map<std::string, std::string> ambiente_;
  static std::string errore_;
  MacchinaFinta macchina_;
};

std::unique_ptr<orvane::test::CartellaTemporanea> RegistroWineTest::prefisso_;
std::map<std::string, std::string> RegistroWineTest::ambiente_;
std::string RegistroWineTest::errore_;

// What orvane-reg exports goes through Wine's editor and comes back the same.
TEST_F(RegistroWineTest, ValuesGoThroughWinesEditorBothWaysUnchanged) {
  std::string lungo;
  for (int i = 0; i < 300; ++i)
    lungo += static_cast<char>(i * 13);
  const std::vector<std::pair<std::string, std::pair<std::uint32_t, std::string>>> valori{
      {"nome è", {REG_SZ, "perché € 😀\0"s}},
      {"", {REG_SZ, "predefinito\0"s}},
      {"a \"b\" \\ c", {REG_SZ, "C:\\dati \"x\"\0"s}},
      {"espandi", {REG_EXPAND_SZ, "%X%\\è\0"s}},
      {"multi", {REG_MULTI_SZ, "uno\0due è\0\0"s}},
      {"numero", {REG_DWORD, "\x2a\0\0\x80"s}},
      {"grande", {REG_QWORD, "\x08\x07\x06\x05\x04\x03\x02\x01"}},
      {"binario", {REG_BINARY, lungo}},
      {"nessuno", {REG_NONE, ""}},
  };
  const std::string nostra = R"(Software\Orvane Prova\città)";
  for (const std::string& percorso : {nostra, nostra + R"(\Ünterschlüssel)"}) {
    HKEY h = 0;
    ASSERT_EQ(RegCreateKeyEx(HKEY_CURRENT_USER, percorso, 0, KEY_ALL_ACCESS, h), ERROR_SUCCESS);
    for (const auto& [nome, valore] : valori) {
      ASSERT_EQ(RegSetValueEx(h, nome, valore.first, valore.second.data(),
                              static_cast<std::uint32_t>(valore.second.size())),
                ERROR_SUCCESS);
    }
    RegCloseKey(h);
  }
  Valori prima;
  Raccogli(HKEY_CURRENT_USER, nostra, prima);

  const std::string andata = (macchina_.Percorso() / "andata.reg").string();
  const std::string ritorno = (macchina_.Percorso() / "ritorno.reg").string();
  OrvaneReg({"export", "HKCU\\" + nostra, andata});
  Wine({"regedit", "/S", andata});
  Wine({"regedit", "/E", ritorno, R"(HKEY_CURRENT_USER\Software\Orvane Prova)"});
  ASSERT_EQ(LeggiFile(ritorno).substr(0, 2), "\xFF\xFE");
  ASSERT_EQ(RegDeleteTree(HKEY_CURRENT_USER, R"(Software\Orvane Prova)"), ERROR_SUCCESS);
  OrvaneReg({"import", ritorno});

  Valori dopo;
  Raccogli(HKEY_CURRENT_USER, nostra, dopo);
  EXPECT_EQ(dopo, prima);
  EXPECT_EQ(dopo.size(), 2U);
}

}  // namespace
}  // namespace platform
