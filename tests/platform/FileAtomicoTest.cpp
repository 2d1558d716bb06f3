// The atomic file write: what it leaves in its folder and the permissions
// it gives, whatever the writer's umask.
#include "platform/FileAtomico.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <system_error>

#include "tests/support/AltroUtente.h"
#include "tests/support/MacchinaFinta.h"

namespace platform {
namespace {

using orvane::test::CartellaTemporanea;
using orvane::test::kUtenteNessuno;
using orvane::test::LeggiFile;
using orvane::test::ScriviFile;

mode_t Permessi(const std::filesystem::path& file) {
  struct stat st {};
  return ::stat(file.c_str(), &st) == 0 ? st.st_mode & 07777U : 0U;
}

std::set<std::string> Voci(const std::filesystem::path& cartella) {
  const auto nomi = orvane::test::NomiInCartella(cartella);
  return {nomi.begin(), nomi.end()};
}

TEST(FileAtomico, OrphanCleanUpRemovesOnlyWhatAWriterNamesItsTemporariesUpToTheLengthLimit) {
  CartellaTemporanea cartella;
  const auto file = cartella / "HKEY_CURRENT_USER.reg";
  ScriviFile(file, "contenuto");
  // Neighbours that share the temporary prefix but are not temporaries.
  std::set<std::string> attese{
      ".HKEY_CURRENT_USER.reg.bak",     ".HKEY_CURRENT_USER.reg.1234567",
      ".HKEY_CURRENT_USER.reg.ab-d.f",  "HKEY_CURRENT_USER.reg.Ab12Cd",
      ".HKEY_CURRENT_USER.regX.Ab12Cd",
  };
  for (const auto& nome : attese)
    ScriviFile(cartella / nome, "vicino");
  std::filesystem::create_directory(cartella / ".HKEY_CURRENT_USER.reg.Dir123");
  attese.insert({"HKEY_CURRENT_USER.reg", ".HKEY_CURRENT_USER.reg.Dir123"});
  ScriviFile(cartella / ".HKEY_CURRENT_USER.reg.q8ZkP0", "orfano");
  RimuoviTemporaneiOrfani(file);
  EXPECT_EQ(Voci(cartella.Percorso()), attese);
  EXPECT_EQ(LeggiFile(file), "contenuto");

  // A bare file name is looked for in the current folder.
  ScriviFile(cartella / ".HKEY_CURRENT_USER.reg.q8ZkP1", "orfano");
  const auto prima = std::filesystem::current_path();
  std::filesystem::current_path(cartella.Percorso());
  RimuoviTemporaneiOrfani("HKEY_CURRENT_USER.reg");
  std::filesystem::current_path(prima);
  EXPECT_EQ(Voci(cartella.Percorso()), attese);

  // A name at the length limit is written, and its temporary's prefix cut short.
  const Descrittore fd = ApriCartella(cartella.Percorso());
  for (const std::size_t lunghezza : {kLunghezzaMassimaNome - 8, kLunghezzaMassimaNome}) {
    const std::string nome(lunghezza, 'T');
    ScriviFileAtomicoInCartella(fd.Fd(), nome, "contenuto");
    EXPECT_EQ(LeggiFile(cartella / nome), "contenuto");
    ScriviFile(cartella / ("." + nome.substr(0, kLunghezzaMassimaNome - 8) + ".Ab12Cd"), "orfano");
    RimuoviTemporaneiOrfaniInCartella(fd.Fd(), nome);
    attese.insert(nome);
    EXPECT_EQ(Voci(cartella.Percorso()), attese) << lunghezza;
  }
}

TEST(FileAtomico, PermissionsAreExactWhateverTheUmask) {
  orvane::test::MacchinaFinta macchina;
  // Under a umask that lets the group write, the registry's folder and the
  // autostart folder are still the user's alone.
  mode_t prima = ::umask(002);
  orvane::test::ScriviTesto(HKEY_CURRENT_USER, "Software\\Prova", "nome", "valore");
  orvane::test::ScriviTesto(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
                            "Prova", "/bin/true");
  // Nor may the group write a program's "Aggiornamenti" folder.
  (void)ApriSottocartella(ApriCartella(macchina.Percorso()).Fd(), "Aggiornamenti", true);
  ::umask(prima);
  EXPECT_EQ(Permessi(macchina.Percorso() / "Aggiornamenti"), 0755U);
  EXPECT_EQ(Permessi(macchina.Registro()), 0700U);
  EXPECT_EQ(Permessi(macchina.Configurazione()), 0700U);
  EXPECT_EQ(Permessi(macchina.Autostart()), 0700U);
  prima = ::umask(077);
  // The registry's own files, written through the registry.
  orvane::test::ScriviTesto(HKEY_CURRENT_USER, "Software\\Prova", "nome", "valore");
  // The copy of the last SOAP request that support staff read, and a file
  // whose permissions the umask decides.
  const auto soap = macchina.Percorso() / "SOAP.xml";
  ScriviFileAtomico(soap, "<a/>", 0644);
  ScriviFileAtomico(soap, "<b/>", 0644);
  ScriviFileAtomico(macchina.Percorso() / "libero.txt", "x");
  ::umask(prima);
  EXPECT_EQ(Permessi(macchina.FileRadice("HKEY_CURRENT_USER")), 0600U);
  EXPECT_EQ(Permessi(soap), 0644U);
  EXPECT_EQ(LeggiFile(soap), "<b/>");
  EXPECT_EQ(Permessi(macchina.Percorso() / "libero.txt"), 0600U);
}

TEST(FileAtomico, InAFolderOthersWriteNoLinkIsFollowed) {
  CartellaTemporanea cartella;
  const auto dentro = cartella / "Aggiornamenti";
  std::filesystem::create_directory(dentro);
  const auto altrui = cartella / "altrui.txt";
  ScriviFile(altrui, "file di un altro utente");
  std::filesystem::create_symlink(altrui, dentro / "pacchetto.zip");
  std::filesystem::create_symlink(cartella.Percorso(), cartella / "collegamento");
  const Descrittore radice = ApriCartella(cartella.Percorso());
  const Descrittore fd = ApriSottocartella(radice.Fd(), "Aggiornamenti", false);

  // The link is replaced by the file; what it pointed to stays as it was.
  ScriviFileAtomicoInCartella(fd.Fd(), "pacchetto.zip", "nuovo");
  EXPECT_FALSE(std::filesystem::is_symlink(dentro / "pacchetto.zip"));
  EXPECT_EQ(LeggiFile(dentro / "pacchetto.zip"), "nuovo");
  EXPECT_EQ(LeggiFile(altrui), "file di un altro utente");
  // A folder that is a link is refused, also when asked to create it.
  EXPECT_THROW((void)ApriSottocartella(radice.Fd(), "collegamento", true), std::system_error);
  EXPECT_THROW(ScriviFileAtomicoInCartella(fd.Fd(), "../fuori", "x"), std::system_error);
  // Where anyone may replace what is placed, nothing is; the sticky bit
  // keeps others' hands off.
  std::filesystem::permissions(dentro, std::filesystem::perms(0777));
  EXPECT_THROW((void)ApriSottocartella(radice.Fd(), "Aggiornamenti", false), std::system_error);
  std::filesystem::permissions(dentro, std::filesystem::perms(01777));
  (void)ApriSottocartella(radice.Fd(), "Aggiornamenti", false);
  // A folder in the file's place fails the rename, and so the write, which
  // leaves no temporary file behind.
  std::filesystem::create_directories(dentro / "cartella.zip" / "dentro");
  EXPECT_THROW(ScriviFileAtomicoInCartella(fd.Fd(), "cartella.zip", "x"), std::system_error);
  EXPECT_TRUE(std::filesystem::is_directory(dentro / "cartella.zip" / "dentro"));
  EXPECT_EQ(Voci(dentro), (std::set<std::string>{"pacchetto.zip", "cartella.zip"}));
  // Nor is a pipe replaced, named or reached through one's own link (as
  // /dev/null would be through `quomaro scarica URL /dev/null`).
  ASSERT_EQ(::mkfifo((dentro / "tubo").c_str(), 0600), 0);
  std::filesystem::create_symlink(dentro / "tubo", cartella / "al-tubo");
  EXPECT_THROW(ScriviFileAtomicoInCartella(fd.Fd(), "tubo", "x"), std::system_error);
  EXPECT_THROW(ScriviFileAtomico(cartella / "al-tubo", "x"), std::system_error);
  EXPECT_TRUE(std::filesystem::is_fifo(dentro / "tubo"));
}

TEST(FileAtomico, ALinkIsFollowedOnlyWhereItsOwnerCouldHaveWrittenTheFile) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to give files to another user";
  CartellaTemporanea cartella;
  const auto utente = cartella / "utente";
  std::filesystem::create_directory(utente);
  ASSERT_EQ(::chown(utente.c_str(), kUtenteNessuno, kUtenteNessuno), 0);
  ScriviFile(cartella / "di-root.txt", "di root");
  // Links as the other user would plant them in their own folder.
  const auto collegamento = [&](const std::string& nome, const std::filesystem::path& verso,
                                uid_t proprietario) {
    std::filesystem::create_symlink(verso, utente / nome);
    EXPECT_EQ(::lchown((utente / nome).c_str(), proprietario, proprietario), 0);
    return utente / nome;
  };
  std::filesystem::create_directory(utente / "sotto");
  ASSERT_EQ(::chown((utente / "sotto").c_str(), kUtenteNessuno, kUtenteNessuno), 0);
  struct Caso {
    std::string nome;
    std::filesystem::path verso;
    uid_t proprietario;
    bool seguito;
    std::string dentro;  // the name written below a link to a folder
  };
  for (const auto& [nome, verso, proprietario, seguito, dentro] : {
           // Root's own file, an existing one or one to be made.
           Caso{"esistente", cartella / "di-root.txt", kUtenteNessuno, false, ""},
           Caso{"nuovo", cartella / "nuovo.txt", kUtenteNessuno, false, ""},
           Caso{"catena", "esistente", kUtenteNessuno, false, ""},
           // Root's folder, through a link on the way, however it is chained.
           Caso{"cartella", cartella.Percorso(), kUtenteNessuno, false, "di-root.txt"},
           Caso{"cartella-catena", "cartella/.", kUtenteNessuno, false, "nuovo.txt"},
           // The user's own file or folder, and any file through root's link.
           Caso{"suo", utente / "suo.txt", kUtenteNessuno, true, ""},
           Caso{"sua-cartella", "sotto", kUtenteNessuno, true, "suo.txt"},
           Caso{"di-root", cartella / "tramite-root.txt", 0, true, ""},
       }) {
    const auto link = collegamento(nome, verso, proprietario);
    const auto file = dentro.empty() ? link : link / dentro;
    const auto bersaglio = verso.is_absolute() ? verso : utente / verso;
    const auto destinazione = dentro.empty() ? bersaglio : bersaglio / dentro;
    const std::string prima = std::filesystem::exists(destinazione) ? LeggiFile(destinazione) : "";
    if (seguito) {
      ScriviFileAtomico(file, "nuovo");
      EXPECT_EQ(LeggiFile(destinazione), "nuovo") << nome;
    } else {
      try {
        ScriviFileAtomico(file, "nuovo");
        ADD_FAILURE() << nome << " followed";
      } catch (const std::system_error& e) {
        EXPECT_EQ(e.code().value(), EACCES) << nome;
      }
      EXPECT_EQ(std::filesystem::exists(destinazione) ? LeggiFile(destinazione) : "", prima)
          << nome;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << nome;
  }
  // Nor are folders made where the user's link leads; what root makes in
  // the user's own folder is the user's.
  EXPECT_THROW(CreaCartellePrivate(utente / "cartella" / "nuova"), std::system_error);
  CreaCartellePrivate(utente / "nuova");
  ScriviFileAtomico(utente / "nuova" / "file.txt", "nuovo");
  for (const auto& fatto : {utente / "nuova", utente / "nuova" / "file.txt"}) {
    struct stat st {};
    EXPECT_EQ(::stat(fatto.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, kUtenteNessuno) << fatto;
  }
  // A second name of root's own link, put in the user's folder (hard links
  // to links are allowed where fs.protected_hardlinks is off), is the user's.
  std::filesystem::create_symlink(cartella / "di-root.txt", cartella / "di-root.lnk");
  std::filesystem::create_hard_link(cartella / "di-root.lnk", utente / "secondo-nome");
  EXPECT_THROW(ScriviFileAtomico(utente / "secondo-nome", "nuovo"), std::system_error);
  // Nor is the user's own link with a second name in a folder all may
  // write, such as /tmp, root's.
  const auto pubblica = cartella / "pubblica";
  std::filesystem::create_directory(pubblica);
  std::filesystem::permissions(pubblica, std::filesystem::perms(01777));
  std::filesystem::create_symlink(cartella / "di-root.txt", pubblica / "suo");
  ASSERT_EQ(::lchown((pubblica / "suo").c_str(), kUtenteNessuno, kUtenteNessuno), 0);
  std::filesystem::create_hard_link(pubblica / "suo", pubblica / "secondo");
  EXPECT_THROW(ScriviFileAtomico(pubblica / "suo", "nuovo"), std::system_error);
  EXPECT_EQ(LeggiFile(cartella / "di-root.txt"), "di root");
  // Nor is what root writes there handed to the user who put a file under
  // its name beforehand.
  ScriviFile(pubblica / "piantato", "suo");
  ASSERT_EQ(::chown((pubblica / "piantato").c_str(), kUtenteNessuno, kUtenteNessuno), 0);
  ScriviFileAtomico(pubblica / "piantato", "di root");
  struct stat piantato {};
  ASSERT_EQ(::lstat((pubblica / "piantato").c_str(), &piantato), 0);
  EXPECT_EQ(piantato.st_uid, 0U);
  // A user may write in a folder they may pass and write but not list.
  const auto cieca = cartella / "cieca";
  std::filesystem::create_directory(cieca);
  std::filesystem::permissions(cieca, std::filesystem::perms(0733));
  std::filesystem::permissions(cartella.Percorso(), std::filesystem::perms(0711));
  EXPECT_EQ(orvane::test::ComeAltroUtente([&] {
              ScriviFileAtomico(cieca / "x.txt", "nuovo");
              return 0;
            }),
            0);
  EXPECT_EQ(LeggiFile(cieca / "x.txt"), "nuovo");
  EXPECT_EQ(Voci(cartella.Percorso()),
            (std::set<std::string>{"utente", "di-root.txt", "di-root.lnk", "tramite-root.txt",
                                   "pubblica", "cieca"}));
}

TEST(FileAtomico, APieceByPieceWriteIsPlacedOnlyWholeAndOnlyFromItsOwnTemporary) {
  CartellaTemporanea cartella;
  ScriviFile(cartella / "pacchetto.zip", "precedente");
  const Descrittore fd = ApriCartella(cartella.Percorso());
  const mode_t prima = ::umask(0);
  {
    // Dropped before it is placed: nothing of it stays.
    FileAtomicoInCartella file(fd.Fd(), "pacchetto.zip");
    file.Scrivi("mezzo");
  }
  EXPECT_EQ(Voci(cartella.Percorso()), std::set<std::string>{"pacchetto.zip"});
  {
    // Read back before it is placed; placed without write for others.
    FileAtomicoInCartella file(fd.Fd(), "pacchetto.zip", std::nullopt, S_IWGRP | S_IWOTH);
    file.Scrivi("nuo");
    file.Scrivi("vo");
    std::string letto;
    LeggiDaCapo(file.Fd(), [&](std::string_view b) { letto += b; });
    EXPECT_EQ(letto, "nuovo");
    file.Consegna();
  }
  ::umask(prima);
  EXPECT_EQ(LeggiFile(cartella / "pacchetto.zip"), "nuovo");
  EXPECT_EQ(Permessi(cartella / "pacchetto.zip"), 0644U);
  EXPECT_EQ(Voci(cartella.Percorso()), std::set<std::string>{"pacchetto.zip"});

  // Another writer's clean-up (another session's, another user's) leaves a
  // temporary at work alone.
  {
    FileAtomicoInCartella file(fd.Fd(), "pacchetto.zip");
    file.Scrivi("in corso");
    RimuoviTemporaneiOrfaniInCartella(fd.Fd(), "pacchetto.zip");
    file.Consegna();
  }
  EXPECT_EQ(LeggiFile(cartella / "pacchetto.zip"), "in corso");

  // Someone who may write the folder swaps the temporary file for one of
  // theirs: it is neither placed nor removed.
  {
    FileAtomicoInCartella file(fd.Fd(), "pacchetto.zip");
    file.Scrivi("mio");
    std::filesystem::remove(cartella / file.Temporaneo());
    ScriviFile(cartella / file.Temporaneo(), "altrui");
    EXPECT_THROW(file.Consegna(), std::system_error);
  }
  EXPECT_EQ(LeggiFile(cartella / "pacchetto.zip"), "in corso");
  EXPECT_EQ(Voci(cartella.Percorso()).size(), 2U);
  std::filesystem::remove(cartella / *Voci(cartella.Percorso()).begin());

  // A program a library ends through exit() while it writes (Qt does when
  // the X server goes away) leaves nothing of the write behind.
  const pid_t figlio = ::fork();
  ASSERT_GE(figlio, 0);
  if (figlio == 0) {
    FileAtomicoInCartella file(fd.Fd(), "pacchetto.zip");
    file.Scrivi("mezzo");
    std::exit(3);  // NOLINT(concurrency-mt-unsafe): the child's only thread
  }
  int stato = 0;
  ASSERT_EQ(::waitpid(figlio, &stato, 0), figlio);
  EXPECT_TRUE(WIFEXITED(stato) && WEXITSTATUS(stato) == 3) << stato;
  EXPECT_EQ(Voci(cartella.Percorso()), std::set<std::string>{"pacchetto.zip"});
  EXPECT_EQ(LeggiFile(cartella / "pacchetto.zip"), "in corso");
}

}  // namespace
}  // namespace platform
