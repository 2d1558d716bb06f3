// The site settings file: what a line may say, and how a broken one is told.
#include "platform/Impostazioni.h"

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>

#include "tests/support/MacchinaFinta.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

TEST(Impostazioni, AMalformedLineIsOneErrorNamingTheFileAndTheLine) {
  orvane::test::MacchinaFinta macchina;
  const fs::path file = macchina.Percorso() / "tervan.conf";
  using namespace std::string_view_literals;
  const struct {
    std::string_view testo;
    const char* errore;
  } casi[] = {
      {"# ok\nserver http://x:1\n", ", riga 2: attesa una riga chiave = valore"},
      {"server = http://x:1\nserver = http://y:1\n", ", riga 2: chiave \"server\" ripetuta"},
      {"server =\n", ", riga 1: indirizzo non valido per \"server\""},
      {"server = http://\n", ", riga 1: indirizzo non valido"},
      {"server = http://a b:1\n", ", riga 1: indirizzo non valido"},
      {"server = http://x:1/?a=1\n", ", riga 1: indirizzo non valido"},
      {"sito = http://x:1#a\n", ", riga 1: indirizzo non valido per \"sito\""},
      {"wineprefix = wine\n", ", riga 1: cartella non valida per \"wineprefix\""},
      {"wineprefix = ~utente/wine\n", ", riga 1: cartella non valida"},
      // Shown whole, a NUL or an escape as \xHH.
      {"server = http://x:1\0y\n"sv,
       ", riga 1: indirizzo non valido per \"server\": \"http://x:1\\x00y\" (atteso"},
      {"si\x1bto = http://x:1\n", ", riga 1: chiave sconosciuta \"si\\x1bto\""},
  };
  for (const auto& caso : casi) {
    orvane::test::ScriviFile(file, caso.testo);
    try {
      (void)LeggiFileImpostazioni(file);
      ADD_FAILURE() << "accettato: " << caso.testo;
    } catch (const ErroreImpostazioni& e) {
      EXPECT_THAT(e.what(), HasSubstr(file.string() + caso.errore)) << caso.testo;
    }
  }
}

TEST(Impostazioni, EachKeyComesFromTheFirstFileThatSetsItAndNoBrokenFileIsSkipped) {
  orvane::test::MacchinaFinta macchina;
  const fs::path sistema = macchina.Percorso() / "xdg";
  macchina.Imposta("XDG_CONFIG_DIRS",
                   "relativa:" + (sistema / "uno").string() + ":" + (sistema / "due").string());
  const fs::path utente = macchina.Configurazione() / "orvane/tervan.conf";
  EXPECT_EQ(FileImpostazioni(), (std::vector<fs::path>{utente, sistema / "uno/orvane/tervan.conf",
                                                       sistema / "due/orvane/tervan.conf"}));

  orvane::test::ScriviFile(sistema / "due/orvane/tervan.conf",
                           "server = http://sistema:1\nsito = http://sito-sistema:1\n");
  // Blanks around keys and values, comments, a byte order mark and CR LF
  // line ends are allowed.
  orvane::test::ScriviFile(utente,
                           "\xEF\xBB\xBF# impostazioni del sito\r\n\n"
                           "\t# server = http://commentato.example\n"
                           "  SITO =  https://sito.example:8081/  \r\n");
  orvane::test::ScriviFile(sistema / "uno/orvane/tervan.conf", "server = http://primo:1\n");
  ImpostazioniSito letto = LeggiImpostazioniSito();
  EXPECT_EQ(letto.server->valore, "http://primo:1");
  EXPECT_EQ(letto.server->riga, 1);
  EXPECT_EQ(letto.sito->valore, "https://sito.example:8081/");
  EXPECT_EQ(letto.sito->riga, 4);
  EXPECT_EQ(letto.sito->file, utente);

  orvane::test::ScriviFile(sistema / "uno/orvane/tervan.conf", "server: http://rotto:1\n");
  EXPECT_THROW((void)LeggiImpostazioniSito(), ErroreImpostazioni);
  fs::remove(sistema / "uno/orvane/tervan.conf");
  fs::create_directories(sistema / "uno/orvane/tervan.conf");
  EXPECT_THROW((void)LeggiImpostazioniSito(), ErroreImpostazioni);
}

// Whoever may change a settings file chooses the server for everyone who
// reads it; and a file that never ends or never opens must not hang a start.
TEST(Impostazioni, OnlyABoundedRegularFileThatNobodyElseMayChangeIsRead) {
  orvane::test::MacchinaFinta macchina;
  const fs::path cartella = macchina.ConfigurazioneSistema() / "orvane";
  const fs::path file = cartella / "tervan.conf";
  const bool root = ::getuid() == 0;
  // An administrator's grant, as setfacl(1) writes it.
  const auto acl = [](const std::string& voci, const fs::path& voce) {
    EXPECT_EQ(std::system(("setfacl -m " + voci + " '" + voce.string() + "'").c_str()), 0);
  };
  const struct {
    bool soloRoot;
    std::function<void()> prepara;
    std::string errore;  // empty: read
  } casi[] = {
      {false, [] {}, ""},
      {false, [&] { fs::remove(file), ::mkfifo(file.c_str(), 0644); },
       ": impossibile leggere il file: non è un file regolare"},
      {false, [&] { fs::remove(file), fs::create_symlink("/dev/zero", file); },
       ": impossibile leggere il file: non è un file regolare"},
      {false, [&] { orvane::test::ScriviFile(file, std::string(64 * 1024 + 1, '#')); },
       ": impossibile leggere il file: più grande di 64 KB"},
      {false, [&] { fs::permissions(file, fs::perms(0666)); },
       ": file rifiutato: è scrivibile da chiunque (permessi 0666)"},
      {false, [&] { fs::permissions(cartella, fs::perms(0777)); },
       ": file rifiutato: la cartella " + cartella.string() + " è scrivibile da chiunque"},
      {false, [&] { fs::permissions(cartella, fs::perms(01777)); }, ""},
      {true, [&] { EXPECT_EQ(::chown(file.c_str(), 65534, 0), 0); },
       ": file rifiutato: appartiene all'utente 65534, né a root né a chi legge"},
      {true, [&] { EXPECT_EQ(::chown(cartella.c_str(), 65534, 0), 0); },
       ": file rifiutato: la cartella " + cartella.string() + " appartiene all'utente 65534"},
      // Group write only through the owner's own group.
      {true,
       [&] {
         fs::permissions(file, fs::perms(0664));
         EXPECT_EQ(::chown(file.c_str(), 0, 0), 0);
       },
       ""},
      {true,
       [&] {
         fs::permissions(file, fs::perms(0664));
         EXPECT_EQ(::chown(file.c_str(), 0, 65534), 0);
       },
       ": file rifiutato: è scrivibile dal gruppo 65534 (permessi 0664)"},
      // Named entries of an access ACL, which the mode's group bits only mask.
      {true, [&] { acl("u:65534:rw", file); },
       ": file rifiutato: è scrivibile dall'utente 65534 per il suo ACL (permessi 0664)"},
      {true, [&] { acl("u:65534:r,g:65534:r", file); }, ""},
      {true, [&] { acl("u:65534:rw,m::r", file); }, ""},
      {true, [&] { acl("g:65534:rwx", cartella); },
       ": file rifiutato: la cartella " + cartella.string() +
           " è scrivibile dal gruppo 65534 per il suo ACL"},
  };
  for (const auto& caso : casi) {
    if (caso.soloRoot && !root) continue;
    fs::remove_all(cartella);
    orvane::test::ScriviFile(file, "server = http://sistema:1\n");
    fs::permissions(cartella, fs::perms(0755));
    fs::permissions(file, fs::perms(0644));
    caso.prepara();
    try {
      EXPECT_EQ(LeggiImpostazioniSito().server->valore, "http://sistema:1");
      EXPECT_EQ(caso.errore, "") << "accettato";
    } catch (const ErroreImpostazioni& e) {
      EXPECT_THAT(e.what(), HasSubstr(file.string() + caso.errore));
      EXPECT_NE(caso.errore, "") << e.what();
    }
  }
}

}  // namespace
}  // namespace platform
