// Where the system's own files go: beside a program folder its user owns,
// in each user's own folders otherwise, never through a link or into a
// folder another user controls; and the single-instance lock as two users
// of one program folder meet it.
#include "platform/Collocazione.h"

#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <system_error>

#include "platform/BloccoIstanza.h"
#include "platform/Percorsi.h"
#include "tests/support/AltroUtente.h"
#include "tests/support/CartellaTemporanea.h"
#include "tests/support/MacchinaFinta.h"

namespace platform {
namespace {

namespace fs = std::filesystem;
using orvane::test::ComeAltroUtente;
using orvane::test::kUtenteNessuno;
using ::testing::HasSubstr;

class Collocazione : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::chmod(macchina_.Percorso().c_str(), 0755), 0);
    macchina_.Imposta("XDG_STATE_HOME", Stato().string());
    fs::create_directories(Programma());
    ASSERT_EQ(::chmod(Programma().c_str(), 0755), 0);
  }
  [[nodiscard]] fs::path Programma() const { return macchina_.Percorso() / "programma"; }
  [[nodiscard]] fs::path Stato() const { return macchina_.Percorso() / "stato"; }
  [[nodiscard]] fs::path Propria() const { return Stato() / "orvane" / "Tervan"; }

  orvane::test::MacchinaFinta macchina_;
};

mode_t Modo(const fs::path& p) {
  struct stat info {};
  return ::lstat(p.c_str(), &info) == 0 ? info.st_mode & 07777U : 0;
}

TEST_F(Collocazione, FilesStayBesideAProgramFolderOnlyItsUserAloneMayWrite) {
  for (const auto quale :
       {FileSistema::LogErrori, FileSistema::CopiaRichiesta, FileSistema::Archivio}) {
    EXPECT_EQ(PreparaPostoFile(quale, Programma()).parent_path(), Programma());
  }
  EXPECT_EQ(PostoFile(FileSistema::Archivio, Programma()), Programma() / "Tervan.mdb");
  EXPECT_FALSE(fs::exists(Propria()));

  // Shared with a group, the folder is nobody's own: not even its owner
  // writes there, so no member can plant a link for the owner to follow.
  ASSERT_EQ(::chmod(Programma().c_str(), 0775), 0);
  EXPECT_EQ(PreparaPostoFile(FileSistema::LogErrori, Programma()), Propria() / "Tarvik.Log");
  EXPECT_EQ(Modo(Propria()), 0700U);
  EXPECT_EQ(Modo(Stato() / "orvane"), 0700U);

  // A system install's folder stays as its package left it, also for its
  // owner (root): the store shipped there is the empty one every user copies.
  ASSERT_EQ(::chmod(Programma().c_str(), 0755), 0);
  orvane::test::ScriviFile(Programma() / kSegnoInstallazioneSistema, "");
  EXPECT_EQ(PostoFile(FileSistema::Archivio, Programma()), Propria() / "Tervan.mdb");

  // A relative HOME or XDG folder is no folder: nothing goes below the
  // working folder.
  for (const char* variabile : {"HOME", "XDG_STATE_HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME"})
    macchina_.Imposta(variabile, "relativo");
  for (const fs::path& cartella : {PostoFile(FileSistema::Archivio, Programma()),
                                   CartellaConfigurazioneUtente(), CartellaDatiUtente()})
    EXPECT_TRUE(cartella.is_absolute()) << cartella;
}

TEST_F(Collocazione, AStateFolderThatIsALinkOrOpenToOthersIsRefused) {
  ASSERT_EQ(::chmod(Programma().c_str(), 0775), 0);  // so the state folder is asked for
  const fs::path altrove = macchina_.Percorso() / "altrove";
  fs::create_directories(altrove);
  fs::create_directories(Stato() / "orvane");
  fs::permissions(Stato() / "orvane", fs::perms::owner_all);
  fs::create_directory_symlink(altrove, Propria());
  const auto motivo = [&] {
    try {
      (void)PreparaPostoFile(FileSistema::LogErrori, Programma());
    } catch (const std::system_error& e) {
      return std::string(e.what());
    }
    return std::string("accettata");
  };
  EXPECT_THAT(motivo(), HasSubstr(Propria().string() + ": non è una cartella"));

  fs::remove(Propria());
  fs::create_directory(Propria());
  ASSERT_EQ(::chmod(Propria().c_str(), 0770), 0);
  EXPECT_THAT(motivo(), HasSubstr("scrivibile da altri utenti"));

  if (::geteuid() == 0) {
    ASSERT_EQ(::chmod(Propria().c_str(), 0700), 0);
    ASSERT_EQ(::chown((Stato() / "orvane").c_str(), kUtenteNessuno, kUtenteNessuno), 0);
    EXPECT_THAT(motivo(), HasSubstr((Stato() / "orvane").string() + ": appartiene a un altro"));
  }
  EXPECT_TRUE(fs::is_empty(altrove));
}

TEST_F(Collocazione, TheLockAndSocketAreEachUsersAndSessionsOwn) {
  const fs::path esecuzione = macchina_.Esecuzione();
  macchina_.Imposta("WAYLAND_DISPLAY", std::nullopt);
  macchina_.Imposta("DISPLAY", ":1");
  const fs::path blocco = PreparaPostoFile(FileSistema::BloccoIstanza, Programma());
  const fs::path canale = PostoFile(FileSistema::CanaleIstanza, Programma());
  EXPECT_EQ(blocco.parent_path(), esecuzione / "orvane");
  EXPECT_EQ(canale.parent_path(), blocco.parent_path());
  EXPECT_NE(canale, blocco);
  EXPECT_EQ(Modo(esecuzione / "orvane"), 0700U);
  // Even where the user may write the program folder, nothing goes there.
  EXPECT_EQ(PostoFile(FileSistema::BloccoIstanza, Programma() / "."), blocco);
  // A link in the lock's place is never followed, even to a file yet to be made.
  fs::create_symlink(esecuzione / "altrove", blocco);
  EXPECT_THROW((void)BloccoIstanza::Acquisisci(blocco), std::system_error);
  EXPECT_FALSE(fs::exists(esecuzione / "altrove"));

  macchina_.Imposta("DISPLAY", ":2");
  EXPECT_NE(PostoFile(FileSistema::BloccoIstanza, Programma()), blocco);
  EXPECT_NE(PostoFile(FileSistema::BloccoIstanza, macchina_.Percorso() / "altro"),
            PostoFile(FileSistema::BloccoIstanza, Programma()));

  // A runtime folder another user owns or others may enter is not the
  // session's: the user's state folder takes its place.
  if (::geteuid() == 0) {
    ASSERT_EQ(::chown(esecuzione.c_str(), kUtenteNessuno, kUtenteNessuno), 0);
    EXPECT_EQ(PreparaPostoFile(FileSistema::BloccoIstanza, Programma()).parent_path(), Propria());
    ASSERT_EQ(::chown(esecuzione.c_str(), ::geteuid(), ::getegid()), 0);
  }
  ASSERT_EQ(::chmod(esecuzione.c_str(), 0755), 0);
  EXPECT_EQ(PreparaPostoFile(FileSistema::BloccoIstanza, Programma()).parent_path(), Propria());
}

TEST_F(Collocazione, AStoreCopyNeverReplacesWhatIsThere) {
  const fs::path vuoto = Programma() / "Tervan.mdb";
  orvane::test::ScriviFile(vuoto, "vuoto");
  const fs::path copia = Propria() / "Tervan.mdb";
  fs::create_directories(Propria());
  // What a start killed while it copied left, named as this process would
  // have named its own copy had it the same process id.
  orvane::test::ScriviFile(Propria() / ("Tervan.mdb." + std::to_string(::getpid()) + ".copia"), "");
  CopiaSeAssente(vuoto, copia);
  EXPECT_EQ(orvane::test::LeggiFile(copia), "vuoto");
  EXPECT_EQ(Modo(copia), 0600U);

  orvane::test::ScriviFile(copia, "righe dell'utente");
  CopiaSeAssente(vuoto, copia);
  EXPECT_EQ(orvane::test::LeggiFile(copia), "righe dell'utente");

  EXPECT_THROW(CopiaSeAssente(Programma() / "manca.mdb", Propria() / "altro.mdb"),
               std::system_error);
  EXPECT_FALSE(fs::exists(Propria() / "altro.mdb"));
}

// 0: another instance runs; 1: the lock was taken; 2: the file could not be used.
int Esito(const std::filesystem::path& file) {
  try {
    return BloccoIstanza::Acquisisci(file) ? 1 : 0;
  } catch (const std::system_error&) {
    return 2;
  }
}

TEST(BloccoIstanza, ALockFileAnotherUserCreatedGuardsEveryoneWhoCanReadIt) {
  if (::geteuid() != 0) GTEST_SKIP() << "acting as two users needs root";
  orvane::test::CartellaTemporanea cartella;
  ASSERT_EQ(::chmod(cartella.Percorso().c_str(), 0755), 0);
  const auto file = cartella / "Tervan.lock";
  {
    const auto primo = BloccoIstanza::Acquisisci(file);
    ASSERT_TRUE(primo);
    EXPECT_EQ(ComeAltroUtente([&] { return Esito(file); }), 0);
  }
  // With none running, the other user's instance holds the lock through a
  // read-only descriptor, and a second start of that user sees it.
  EXPECT_EQ(ComeAltroUtente([&] { return BloccoIstanza::Acquisisci(file) ? Esito(file) : 3; }), 0);
  // A lock file nobody else may read leaves that user's start to its caller.
  ASSERT_EQ(::chmod(file.c_str(), 0600), 0);
  EXPECT_EQ(ComeAltroUtente([&] { return Esito(file); }), 2);
}

}  // namespace
}  // namespace platform
