#include <gmock/gmock.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Registro.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"
#include "tests/support/Processo.h"

namespace platform {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

using orvane::test::LeggiFile;
using orvane::test::MacchinaFinta;
using orvane::test::ScriviFile;

constexpr std::string_view kRun = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run";

class AutostartTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, kRun, 0, KEY_ALL_ACCESS, run_), ERROR_SUCCESS);
  }
  void TearDown() override { RegCloseKey(run_); }

  void Scrivi(std::string_view nome, const std::string& comando) const {
    const std::string dati = comando + '\0';
    ASSERT_EQ(
        RegSetValueEx(run_, nome, REG_SZ, dati.data(), static_cast<std::uint32_t>(dati.size())),
        ERROR_SUCCESS);
  }
  static std::optional<std::string> Leggi(std::string_view nome) {
    return orvane::test::LeggiTesto(HKEY_LOCAL_MACHINE, kRun, nome);
  }
  // The names of a key's values, in order.
  static std::vector<std::string> Nomi(HKEY h) {
    std::vector<std::string> nomi;
    std::string nome;
    for (std::uint32_t i = 0; RegEnumValue(h, i, nome, nullptr, nullptr) == ERROR_SUCCESS; ++i)
      nomi.push_back(nome);
    return nomi;
  }

  MacchinaFinta macchina_;
  HKEY run_ = 0;
};

TEST_F(AutostartTest, RunValueIsAQuotedXdgAutostartEntryThatReadsBackAndDeletesWithTheValue) {
  const std::string nome = "Orvane Software - Aggiornamenti automatici";
  Scrivi(nome, "/opt/orvane/Tervan VERIFICA");
  const auto file = macchina_.Autostart() / (nome + ".desktop");
  EXPECT_EQ(LeggiFile(file),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Orvane Software - Aggiornamenti automatici\n"
            "Comment=Cerca e scarica gli aggiornamenti dei programmi Orvane installati\n"
            "Icon=orvane-tervan\n"
            "Exec=/opt/orvane/Tervan VERIFICA\n"
            "X-GNOME-Autostart-enabled=true\n"
            "X-Orvane-Comando=/opt/orvane/Tervan VERIFICA\n");
  // Set again at every start: the same command leaves the file as it is
  // (an atomic rewrite would give it a new inode), another one rewrites it.
  const auto inode = [&] {
    struct stat st {};
    EXPECT_EQ(::stat(file.c_str(), &st), 0);
    return st.st_ino;
  };
  const auto prima = inode();
  Scrivi(nome, "/opt/orvane/Tervan VERIFICA");
  EXPECT_EQ(inode(), prima);
  // Quoted for the Exec key.
  const std::string comando = R"("/opt/Le Mie App/Tervan" VERIFICA 100% $HOME a\b)";
  Scrivi(nome, comando);
  EXPECT_NE(inode(), prima);
  const std::string testo = LeggiFile(file);
  EXPECT_THAT(testo, HasSubstr("\nExec=\"/opt/Le Mie App/Tervan\" VERIFICA 100%% \"\\\\$HOME\" "
                               "\"a\\\\\\\\b\"\n"))
      << testo;
  // The same command rewrites an entry that others may write, as its owner's only.
  std::filesystem::permissions(file, std::filesystem::perms::others_write,
                               std::filesystem::perm_options::add);
  Scrivi(nome, comando);
  EXPECT_EQ(std::filesystem::status(file).permissions(), std::filesystem::perms(0644));
  // Not in the registry file: the Run key exists without it.
  EXPECT_FALSE(std::filesystem::exists(macchina_.FileRadice("HKEY_LOCAL_MACHINE")));
  EXPECT_EQ(Leggi("orvane software - aggiornamenti automatici"), comando);

  // The user changed the command in the desktop's settings: that is the value now.
  const std::size_t inizio = testo.find("Exec=");
  ScriviFile(file, testo.substr(0, inizio) + "Exec=\"/opt/Altra App/Tervan\" LIVE" +
                       testo.substr(testo.find('\n', inizio)));
  EXPECT_EQ(Leggi(nome), "\"/opt/Altra App/Tervan\" LIVE");

  ASSERT_EQ(RegDeleteValue(run_, nome), ERROR_SUCCESS);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_EQ(RegDeleteValue(run_, nome), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Leggi(nome), std::nullopt);
}

TEST_F(AutostartTest, AMachineWideEntryIsHiddenPerUserAndShownAgainByTheSameCommand) {
  const std::string nome = "Orvane Software - Aggiornamenti automatici";
  const std::string nomeFile = nome + ".desktop";
  const std::string sistema = "/opt/orvane/tervan/Tervan VERIFICA";
  const std::string testoSistema = "[Desktop Entry]\nType=Application\nName=" + nome +
                                   "\nExec=" + sistema + "\nX-Orvane-Comando=" + sistema + "\n";
  ScriviFile(macchina_.AutostartSistema() / nomeFile, testoSistema);
  const auto utente = macchina_.Autostart() / nomeFile;
  EXPECT_EQ(Leggi(nome), sistema);
  EXPECT_EQ(Nomi(run_), std::vector<std::string>{nome});

  // Ticking the box writes nothing beside the machine-wide entry.
  Scrivi(nome, sistema);
  EXPECT_FALSE(std::filesystem::exists(utente));

  // Unticking it hides the entry for this user only.
  ASSERT_EQ(RegDeleteValue(run_, nome), ERROR_SUCCESS);
  EXPECT_THAT(LeggiFile(utente), HasSubstr("\nHidden=true\n"));
  EXPECT_EQ(LeggiFile(macchina_.AutostartSistema() / nomeFile), testoSistema);
  EXPECT_EQ(Leggi(nome), std::nullopt);
  EXPECT_TRUE(Nomi(run_).empty());

  // Ticking it again removes the override.
  Scrivi(nome, sistema);
  EXPECT_FALSE(std::filesystem::exists(utente));

  // Another Tervan of the user's own takes the entry's place under its name,
  // so only one of them starts, and gives it back when it is the same again.
  Scrivi(nome, "/home/anna/Tervan VERIFICA");
  EXPECT_EQ(Leggi(nome), "/home/anna/Tervan VERIFICA");
  EXPECT_THAT(LeggiFile(utente), Not(HasSubstr("Hidden")));
  Scrivi(nome, sistema);
  EXPECT_FALSE(std::filesystem::exists(utente));

  // What the administrator made of the entry, switched off or given other
  // arguments for the same program, stands at the program's next start.
  std::string conArgomento = testoSistema;
  conArgomento.insert(conArgomento.find('\n', conArgomento.find("Exec=")), " DEBUG");
  const std::string scrittoAMano =
      "[Desktop Entry]\nType=Application\nExec=" + sistema + "\nHidden=true\n";
  for (const std::string& modificato :
       {testoSistema + "Hidden=true\n", scrittoAMano, conArgomento}) {
    ScriviFile(macchina_.AutostartSistema() / nomeFile, modificato);
    Scrivi(nome, sistema);
    EXPECT_FALSE(std::filesystem::exists(utente)) << modificato;
  }
  EXPECT_EQ(Leggi(nome), sistema + " DEBUG");

  // A machine-wide entry that is not ours is not ours to hide.
  ScriviFile(macchina_.AutostartSistema() / "org.example.Sync.desktop",
             "[Desktop Entry]\nType=Application\nName=Sync\nExec=sync-client\n");
  EXPECT_EQ(Leggi("org.example.Sync"), "sync-client");
  EXPECT_EQ(RegDeleteValue(run_, "org.example.Sync"), ERROR_ACCESS_DENIED);
  EXPECT_FALSE(std::filesystem::exists(macchina_.Autostart() / "org.example.Sync.desktop"));
}

TEST_F(AutostartTest, UnsafeValueNamesNeverLeaveTheAutostartFolder) {
  const std::vector<std::string> nomi{"../../fuori", "a/b",       ".nascosto", "..", "",
                                      "100%",        "con\nriga", "Proprietà"};
  for (const auto& nome : nomi)
    Scrivi(nome, "/bin/true " + nome);

  // Each in a file of its own in the autostart folder, and nowhere else.
  const auto file = orvane::test::NomiInCartella(macchina_.Autostart());
  EXPECT_EQ(std::set<std::string>(file.begin(), file.end()),
            (std::set<std::string>{"%2E.%2F..%2Ffuori.desktop", "a%2Fb.desktop",
                                   "%2Enascosto.desktop", "%2E..desktop", "@.desktop",
                                   "100%25.desktop", "con%0Ariga.desktop", "Proprietà.desktop"}));
  EXPECT_FALSE(std::filesystem::exists(macchina_.Percorso() / "fuori.desktop"));
  const auto letti = Nomi(run_);
  EXPECT_EQ(std::set<std::string>(letti.begin(), letti.end()),
            std::set<std::string>(nomi.begin(), nomi.end()));
  for (const auto& n : nomi)
    EXPECT_EQ(Leggi(n), "/bin/true " + n);
}

TEST_F(AutostartTest, AnEntryThatCannotBeWrittenFailsTheValueAndIsReportedByName) {
  std::vector<std::string> segnalazioni;
  auto prima = ImpostaSegnalazioneRegistro(
      [&](const SegnalazioneRegistro& s) { segnalazioni.push_back(s.descrizione); });
  const auto file = macchina_.Autostart() / "Prova.desktop";
  std::filesystem::create_directories(file);
  const std::string dati = std::string("/opt/orvane/Tervan VERIFICA") + '\0';
  const LSTATUS esito =
      RegSetValueEx(run_, "Prova", REG_SZ, dati.data(), static_cast<std::uint32_t>(dati.size()));
  ImpostaSegnalazioneRegistro(std::move(prima));
  EXPECT_NE(esito, ERROR_SUCCESS);
  EXPECT_THAT(segnalazioni, ::testing::ElementsAre(HasSubstr("\"" + file.string() + "\"")));
  EXPECT_TRUE(std::filesystem::is_directory(file));
}

TEST_F(AutostartTest, OtherProgramsEntriesReadByNameButAreNeverListedNorDeleted) {
  const auto altrui = macchina_.Autostart() / "org.example.Sync.desktop";
  ScriviFile(altrui,
             "[Desktop Entry]\r\nName=Sync\r\nExec = sync-client --background\r\n"
             "[Desktop Action Nuova]\r\nExec=altro\r\n");
  ScriviFile(macchina_.Autostart() / "spento.desktop",
             "[Desktop Entry]\nType=Application\nExec=spento\nHidden=true\n");
  ScriviFile(macchina_.Autostart() / "appunti.txt", "non una voce");
  Scrivi("Nostro", "/bin/true");

  EXPECT_EQ(Leggi("ORG.EXAMPLE.SYNC"), "sync-client --background");
  EXPECT_EQ(Leggi("spento"), std::nullopt);
  EXPECT_EQ(Nomi(run_), std::vector<std::string>{"Nostro"});
  EXPECT_THAT(orvane::test::EsportaReg(HKEY_CURRENT_USER, kRun), Not(HasSubstr("sync")));
  EXPECT_EQ(RegDeleteValue(run_, "org.example.Sync"), ERROR_ACCESS_DENIED);
  const auto esito =
      orvane::test::Esegui(ORVANE_REG, {"delete", "HKCU\\" + std::string(kRun), "/va"});
  EXPECT_EQ(esito.codice, 0) << esito.err;
  EXPECT_FALSE(std::filesystem::exists(macchina_.Autostart() / "Nostro.desktop"));
  EXPECT_EQ(Leggi("org.example.Sync"), "sync-client --background");
  EXPECT_TRUE(std::filesystem::exists(altrui));
  // Setting a hidden entry's value brings it back in its own file.
  Scrivi("Spento", "acceso");
  EXPECT_EQ(Leggi("spento"), "acceso");
  EXPECT_FALSE(std::filesystem::exists(macchina_.Autostart() / "Spento.desktop"));
}

TEST_F(AutostartTest, RunKeyAlwaysExistsTakesOnlyStringsAndOutlivesTreeDeletion) {
  EXPECT_EQ(RegSetValueEx(run_, "numero", REG_DWORD, "\x01\0\0\0", 4), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegDeleteKey(HKEY_LOCAL_MACHINE, kRun), ERROR_ACCESS_DENIED);
  Scrivi("Resta", "/bin/true");
  orvane::test::ScriviTesto(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", "x", "y");
  HKEY x = 0;
  ASSERT_EQ(RegDeleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE"), ERROR_SUCCESS);
  EXPECT_EQ(RegOpenKeyEx(HKEY_LOCAL_MACHINE, "SOFTWARE\\Orvane", 0, KEY_READ, x),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(Leggi("Resta"), "/bin/true");
}

}  // namespace
}  // namespace platform
